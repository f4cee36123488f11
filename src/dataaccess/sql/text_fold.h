#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace leafward::sql {

// Text is UTF-8, one character being one code point. A byte that does not begin a well-formed
// sequence counts as a character of its own (kRawByteBase + the byte), so malformed text still
// compares and matches predictably and is written back unchanged.
inline constexpr char32_t kRawByteBase = 0x110000;

// Decodes the character that starts at `pos` (< text.size()) and moves `pos` past it.
char32_t nextCharacter(std::string_view text, std::size_t& pos);

// The case folding behind every text comparison and LIKE: upper-case letters of ASCII,
// Latin-1, Latin Extended-A, Greek, Cyrillic and the full-width Latin forms become lower-case.
// Every other character (CJK included) compares exactly. Folding a folded character changes
// nothing.
char32_t foldCase(char32_t c);

// Appends one character in UTF-8 (a raw byte as itself).
void appendCharacter(std::string& out, char32_t c);
// Appends the text with every character folded.
void appendFolded(std::string& out, std::string_view text);

// Orders texts by their folded characters; 0 when they are equal without regard to case.
int compareFolded(std::string_view a, std::string_view b);
inline bool equalFolded(std::string_view a, std::string_view b) {
  return compareFolded(a, b) == 0;
}
// A hash that agrees with equalFolded.
std::uint64_t hashFolded(std::string_view text);

std::size_t characterCount(std::string_view text);

}  // namespace leafward::sql
