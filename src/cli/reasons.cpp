#include "cli/reasons.h"

#include <ostream>

namespace leafward::cli {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

std::string hexEscape(const char* prefix, unsigned char code) {
  return std::string(prefix) + kHexDigits[code >> 4] + kHexDigits[code & 0xF];
}

}  // namespace

std::string escapeControlCharacters(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte == '\n') {
      escaped += "\\n";
    } else if (byte == '\r') {
      escaped += "\\r";
    } else if (byte == '\t') {
      escaped += "\\t";
    } else if (byte < 0x20 || byte == 0x7F) {
      escaped += hexEscape("\\x", byte);
    } else if (byte == 0xC2 && i + 1 < text.size() &&
               static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
      escaped += hexEscape("\\u00", static_cast<unsigned char>(text[++i]));
    } else {
      escaped += text[i];
    }
  }
  return escaped;
}

void writeReason(std::ostream& err, std::string_view reason) {
  err << "leafward-cli: " << escapeControlCharacters(reason) << "\n";
}

}  // namespace leafward::cli
