#pragma once

#include <cstdint>
#include <string>

#include "dataaccess/jet/jet_format.h"

namespace leafward::jet {

// Turns stored text into UTF-8. Jet 4 stores UTF-16 (little-endian), optionally "compressed":
// after the marker FF FE, a zero byte switches between one byte per character (the low byte,
// the high byte being zero) and two bytes per character. Jet 3 stores text in the database's
// code page (Windows-1252 when the code page is one this system cannot convert).
class TextDecoder {
 public:
  TextDecoder(JetVersion version, std::uint16_t codePage);
  ~TextDecoder();
  TextDecoder(const TextDecoder&) = delete;
  TextDecoder& operator=(const TextDecoder&) = delete;

  // Appends the text of `bytes` to `out`.
  void append(Bytes bytes, std::string& out);

 private:
  void appendCodePage(Bytes bytes, std::string& out);

  JetVersion version_;
  void* converter_ = nullptr;  // iconv_t for Jet 3 text, when the code page is known
};

// Whether Jet 3 text in this Windows code page can be converted.
bool knownCodePage(std::uint16_t codePage);

// Appends UTF-16LE code units as UTF-8; a lone surrogate becomes U+FFFD. A trailing odd byte
// is ignored.
void appendUtf16(Bytes bytes, std::string& out);

// Appends Jet 4 text (compressed or not) as UTF-8.
void appendJet4Text(Bytes bytes, std::string& out);

}  // namespace leafward::jet
