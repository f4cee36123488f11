#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "dataaccess/jet/format/byte_order.h"
#include "dataaccess/jet/format/jet_format.h"

namespace leafward::platform {
class CodePageDecoder;
}

namespace leafward::jet {

// Turns stored text, names included, into UTF-8. Jet 4 stores UTF-16 (little-endian),
// optionally "compressed": after the marker FF FE, a zero byte switches between one byte per
// character (the low byte, the high byte being zero) and two bytes per character. Jet 3 stores
// text in a code page: the database's own, or the one the user names for a file whose header
// names the wrong one.
class TextDecoder {
 public:
  TextDecoder(JetVersion version, std::uint16_t codePage);
  ~TextDecoder();
  TextDecoder(const TextDecoder&) = delete;
  TextDecoder& operator=(const TextDecoder&) = delete;

  // Appends the text of `bytes` to `out`.
  void append(Bytes bytes, std::string& out);
  std::string decode(Bytes bytes) {
    std::string out;
    append(bytes, out);
    return out;
  }

 private:
  JetVersion version_;
  std::unique_ptr<platform::CodePageDecoder> codePage_;  // Jet 3 only
};

// Appends UTF-16LE code units as UTF-8; a lone surrogate becomes U+FFFD. A trailing odd byte
// is ignored.
void appendUtf16(Bytes bytes, std::string& out);

// Appends Jet 4 text (compressed or not) as UTF-8.
void appendJet4Text(Bytes bytes, std::string& out);

}  // namespace leafward::jet
