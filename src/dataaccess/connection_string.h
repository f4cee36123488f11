#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace leafward::dataaccess {

// An OLE DB connection string: `key=value` pairs separated by `;`. Keys are case-insensitive
// and trimmed; a value is either bare (trimmed) or enclosed in single or double quotes, with
// the quote character doubled to stand for itself inside.
class ConnectionString {
 public:
  // Throws DataAccessError on a malformed string (an unterminated quote, text after a closing
  // quote, an entry without `=`), naming the position.
  static ConnectionString parse(std::string_view text);

  // The value of the last entry with this key, or nothing.
  std::optional<std::string> get(std::string_view key) const;

  const std::vector<std::pair<std::string, std::string>>& entries() const { return entries_; }

  // A value written so that parse() gives it back unchanged, whatever it holds: in single
  // quotes, or in double quotes when it holds a single quote and no double quote; the chosen
  // quote is doubled inside.
  static std::string quoteValue(std::string_view value);

 private:
  std::vector<std::pair<std::string, std::string>> entries_;
};

}  // namespace leafward::dataaccess
