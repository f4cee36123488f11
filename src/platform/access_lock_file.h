#pragma once

#include <string>

namespace leafward::platform {

enum class AccessLockFile {
  Absent,  // no lock file
  Unused,  // a lock file left behind, which no program holds
  Held,    // a program (Access, or another Jet program) holds the lock file
};

// Looks at Access's lock file (`x.ldb` beside `x.mdb`) without waiting on it. Throws
// SystemError (Failure::NotRegular) when something other than a regular file has its name.
AccessLockFile probeAccessLockFile(const std::string& lockFilePath);

}  // namespace leafward::platform
