#pragma once

#include <windows.h>

#include <string>

#include "platform/system_error.h"

namespace leafward::platform {

// The failure kind of a Windows error code (GetLastError()).
Failure failureOfWindowsError(DWORD error);

// The system's own text for an error code, in English where Windows has it, on one line.
std::string windowsErrorText(DWORD error);

// Throws SystemError "<what> <path>: <the system's reason>".
[[noreturn]] void failWith(const std::string& what, const std::string& path, DWORD error);

}  // namespace leafward::platform
