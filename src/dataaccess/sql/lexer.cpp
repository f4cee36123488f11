#include "dataaccess/sql/lexer.h"

#include "dataaccess/sql/engine.h"
#include "dataaccess/sql/text_fold.h"

namespace leafward::sql {
namespace {

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}
// Names may hold letters of any script, so every non-ASCII byte counts as a letter.
bool isNameStart(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}
bool isNamePart(char c) {
  return isNameStart(c) || isDigit(c);
}

[[noreturn]] void fail(std::string_view statement, std::size_t offset, const std::string& what) {
  throw SqlError("Syntax error at position " +
                 std::to_string(characterPosition(statement, offset)) + ": " + what);
}

}  // namespace

std::size_t characterPosition(std::string_view statement, std::size_t offset) {
  return characterCount(statement.substr(0, offset)) + 1;
}

std::vector<Token> tokenize(std::string_view statement) {
  std::vector<Token> tokens;
  std::size_t pos = 0;
  const std::size_t size = statement.size();
  while (true) {
    while (pos < size && isSpace(statement[pos])) ++pos;
    Token token;
    token.offset = pos;
    if (pos == size) {
      tokens.push_back(std::move(token));
      return tokens;
    }
    const char c = statement[pos];
    if (isNameStart(c)) {
      const std::size_t start = pos;
      while (pos < size && isNamePart(statement[pos])) ++pos;
      token.kind = TokenKind::Word;
      token.text = statement.substr(start, pos - start);
    } else if (isDigit(c) || (c == '.' && pos + 1 < size && isDigit(statement[pos + 1]))) {
      const std::size_t start = pos;
      while (pos < size && isDigit(statement[pos])) ++pos;
      if (pos < size && statement[pos] == '.') {
        ++pos;
        while (pos < size && isDigit(statement[pos])) ++pos;
      }
      token.kind = TokenKind::Number;
      token.text = statement.substr(start, pos - start);
    } else if (c == '[') {
      const std::size_t close = statement.find(']', pos + 1);
      if (close == std::string_view::npos) fail(statement, pos, "the name in [ ] is not closed");
      if (close == pos + 1) fail(statement, pos, "empty name []");
      token.kind = TokenKind::BracketedName;
      token.text = statement.substr(pos + 1, close - pos - 1);
      pos = close + 1;
    } else if (c == '\'' || c == '"') {
      // A quote inside is written twice.
      token.kind = TokenKind::String;
      std::size_t i = pos + 1;
      for (;;) {
        if (i >= size) fail(statement, pos, "the text in quotes is not closed");
        if (statement[i] == c) {
          if (i + 1 < size && statement[i + 1] == c) {
            token.text.push_back(c);
            i += 2;
            continue;
          }
          break;
        }
        token.text.push_back(statement[i++]);
      }
      pos = i + 1;
    } else {
      static constexpr std::string_view kPairs[] = {"<>", "<=", ">="};
      static constexpr std::string_view kSingles = "(),.*+-=<>;";
      token.kind = TokenKind::Symbol;
      for (std::string_view pair : kPairs) {
        if (statement.substr(pos, 2) == pair) token.text = pair;
      }
      if (token.text.empty()) {
        if (kSingles.find(c) == std::string_view::npos) {
          fail(statement, pos, "unexpected character '" + std::string(1, c) + "'");
        }
        token.text = std::string(1, c);
      }
      pos += token.text.size();
    }
    tokens.push_back(std::move(token));
  }
}

}  // namespace leafward::sql
