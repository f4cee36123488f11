#pragma once

#include <string>

// The system's own halves (posix/file.cpp, windows/file.cpp) of the free file operations that
// file.cpp wraps. Only the platform layer includes this.
namespace leafward::platform::system_calls {

bool removeFile(const std::string& path);
void syncFolder(const std::string& folder);

}  // namespace leafward::platform::system_calls
