#pragma once

#include <string>

#include "platform/system_error.h"

namespace leafward::platform {

// The failure kind of an errno value.
Failure failureOfErrno(int error);

// Throws SystemError "<what> <path>: <the system's reason>".
[[noreturn]] void failWith(const std::string& what, const std::string& path, int error);

}  // namespace leafward::platform
