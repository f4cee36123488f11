#include "dataaccess/connection_string.h"

#include "dataaccess/ascii.h"
#include "dataaccess/errors.h"

namespace leafward::dataaccess {
namespace {

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trim(std::string_view text) {
  while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
  return text;
}

[[noreturn]] void fail(std::string_view what, std::size_t position) {
  throw DataAccessError("Malformed connection string: " + std::string(what) + " at position " +
                        std::to_string(position + 1));
}

}  // namespace

ConnectionString ConnectionString::parse(std::string_view text) {
  ConnectionString result;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && (isSpace(text[i]) || text[i] == ';')) ++i;
    if (i >= text.size()) break;
    const std::size_t keyStart = i;
    while (i < text.size() && text[i] != '=' && text[i] != ';') ++i;
    if (i >= text.size() || text[i] != '=') fail("an entry without '='", keyStart);
    const std::string_view key = trim(text.substr(keyStart, i - keyStart));
    if (key.empty()) fail("an entry without a key", keyStart);
    ++i;  // '='
    while (i < text.size() && isSpace(text[i])) ++i;
    std::string value;
    if (i < text.size() && (text[i] == '\'' || text[i] == '"')) {
      const char quote = text[i];
      const std::size_t open = i++;
      bool closed = false;
      while (i < text.size()) {
        if (text[i] == quote) {
          if (i + 1 < text.size() && text[i + 1] == quote) {
            value += quote;
            i += 2;
            continue;
          }
          ++i;
          closed = true;
          break;
        }
        value += text[i++];
      }
      if (!closed) fail("an unterminated quoted value", open);
      while (i < text.size() && isSpace(text[i])) ++i;
      if (i < text.size() && text[i] != ';') fail("text after a quoted value", i);
    } else {
      const std::size_t valueStart = i;
      while (i < text.size() && text[i] != ';') ++i;
      value = std::string(trim(text.substr(valueStart, i - valueStart)));
    }
    result.entries_.emplace_back(std::string(key), std::move(value));
  }
  return result;
}

std::optional<std::string> ConnectionString::get(std::string_view key) const {
  for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
    if (equalsIgnoringCase(it->first, key)) return it->second;
  }
  return std::nullopt;
}

std::string ConnectionString::quoteValue(std::string_view value) {
  const bool hasSingle = value.find('\'') != std::string_view::npos;
  const bool hasDouble = value.find('"') != std::string_view::npos;
  const char quote = hasSingle && !hasDouble ? '"' : '\'';
  std::string quoted(1, quote);
  for (char c : value) {
    quoted += c;
    if (c == quote) quoted += c;
  }
  quoted += quote;
  return quoted;
}

}  // namespace leafward::dataaccess
