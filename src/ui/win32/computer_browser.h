#pragma once

#include <windows.h>

#include <string>

namespace leafward::ui::win32 {

// The shell's own folder browser, restricted to computers and rooted at the network folder
// (at the desktop when the shell has none), modal to `owner`: the chosen computer's name as the
// browser shows it, or "" when the user cancelled.
std::string browseForComputer(HWND owner);

}  // namespace leafward::ui::win32
