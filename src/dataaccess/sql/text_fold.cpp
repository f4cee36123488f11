#include "dataaccess/sql/text_fold.h"

#include "common/fnv1a.h"

namespace leafward::sql {

char32_t nextCharacter(std::string_view text, std::size_t& pos) {
  const auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byteAt(pos);
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  const char32_t raw = kRawByteBase + lead;
  std::size_t length = 0;
  char32_t code = 0;
  char32_t smallest = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, code = lead & 0x1F, smallest = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, code = lead & 0x0F, smallest = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, code = lead & 0x07, smallest = 0x10000;
  } else {
    ++pos;
    return raw;
  }
  if (text.size() - pos < length) {
    ++pos;
    return raw;
  }
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned char next = byteAt(pos + i);
    if ((next & 0xC0) != 0x80) {
      ++pos;
      return raw;
    }
    code = (code << 6) | (next & 0x3F);
  }
  if (code < smallest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
    ++pos;
    return raw;
  }
  pos += length;
  return code;
}

char32_t foldCase(char32_t c) {
  if (c < 0x80) return c >= 'A' && c <= 'Z' ? c + 32 : c;
  if (c < 0xC0) return c;
  if (c <= 0xDE) return c == 0xD7 ? c : c + 32;  // Latin-1 capitals, except the multiplication sign
  if (c >= 0x100 && c <= 0x17F) {
    // Latin Extended-A pairs capitals with the next code point; the pairing changes parity
    // between the two runs, and a few letters have no partner.
    if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
    if (c == 0x178) return 0xFF;
    const bool oddRun = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    return (c % 2 == 1) == oddRun ? c + 1 : c;
  }
  if (c >= 0x391 && c <= 0x3AB) return c == 0x3A2 ? c : c + 32;  // Greek
  if (c >= 0x400 && c <= 0x40F) return c + 80;                   // Cyrillic Ѐ..Џ
  if (c >= 0x410 && c <= 0x42F) return c + 32;                   // Cyrillic А..Я
  if (c >= 0xFF21 && c <= 0xFF3A) return c + 32;                 // full-width Ａ..Ｚ
  return c;
}

void appendCharacter(std::string& out, char32_t c) {
  if (c >= kRawByteBase) {
    out.push_back(static_cast<char>(c - kRawByteBase));
  } else if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

void appendFolded(std::string& out, std::string_view text) {
  // Copied in one go and lowered in place for as long as the text is ASCII, often to the end.
  const std::size_t start = out.size();
  out.append(text);
  char* const copy = out.data() + start;
  std::size_t pos = 0;
  for (; pos < text.size(); ++pos) {
    const char c = copy[pos];
    if (static_cast<unsigned char>(c) >= 0x80) break;
    if (c >= 'A' && c <= 'Z') copy[pos] = static_cast<char>(c + 32);
  }
  if (pos == text.size()) return;
  out.resize(start + pos);
  while (pos < text.size()) {
    const char c = text[pos];
    if (static_cast<unsigned char>(c) < 0x80) {
      out.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c);
      ++pos;
    } else {
      appendCharacter(out, foldCase(nextCharacter(text, pos)));
    }
  }
}

int compareFolded(std::string_view a, std::string_view b) {
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    const char32_t x = foldCase(nextCharacter(a, i));
    const char32_t y = foldCase(nextCharacter(b, j));
    if (x != y) return x < y ? -1 : 1;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

std::uint64_t hashFolded(std::string_view text) {
  Fnv1a64 hash;  // over the folded characters, each as one unit
  std::size_t pos = 0;
  while (pos < text.size()) hash.addUnit(foldCase(nextCharacter(text, pos)));
  return hash.value();
}

std::size_t characterCount(std::string_view text) {
  std::size_t count = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    nextCharacter(text, pos);
    ++count;
  }
  return count;
}

}  // namespace leafward::sql
