#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace leafward::odbc {

// UTF-16 code units (as ODBC's SQLWCHAR carries them) to UTF-8. A lone surrogate becomes
// U+FFFD, so that any driver output gives valid text.
std::string utf8FromUtf16(std::u16string_view text);

// UTF-8 to UTF-16; invalid bytes become U+FFFD.
std::u16string utf16FromUtf8(std::string_view text);

}  // namespace leafward::odbc
