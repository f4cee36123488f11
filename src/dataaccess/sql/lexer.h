#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace leafward::sql {

enum class TokenKind { Word, BracketedName, Number, String, Symbol, End };

struct Token {
  TokenKind kind = TokenKind::End;
  // Word, Number, Symbol: as written; BracketedName: the name inside the brackets; String:
  // the text with its quotes undone.
  std::string text;
  std::size_t offset = 0;  // byte offset of the token in the statement
};

// Splits a statement into tokens, the last one being End. Throws SqlError for an unterminated
// string or bracketed name and for a character that starts no token.
std::vector<Token> tokenize(std::string_view statement);

// The 1-based character position of a byte offset, as error messages give it.
std::size_t characterPosition(std::string_view statement, std::size_t offset);

}  // namespace leafward::sql
