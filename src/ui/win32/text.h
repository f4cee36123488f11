#pragma once

#include <string>
#include <string_view>

#include "platform/windows/wide_text.h"

namespace leafward::ui::win32 {

// Leafward's texts are UTF-8; the window's controls take and give UTF-16.
inline std::wstring wide(std::string_view utf8) {
  return platform::wideFromUtf8(utf8);
}
inline std::string utf8(std::wstring_view text) {
  return platform::utf8FromWide(text);
}

}  // namespace leafward::ui::win32
