#pragma once

#include <string>
#include <string_view>

namespace leafward::platform {

// UTF-8 <-> UTF-16 for the wide Windows calls. Every text crosses to Windows this way, never
// through the ANSI code page. Invalid UTF-8 or lone surrogates become U+FFFD.
std::wstring wideFromUtf8(std::string_view utf8);
std::string utf8FromWide(std::wstring_view wide);

}  // namespace leafward::platform
