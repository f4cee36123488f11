#pragma once

#include <stdexcept>
#include <string>

namespace leafward::platform {

// Why an operating-system call failed, as far as callers need to tell the cases apart.
enum class Failure {
  NotFound,       // no such file or folder
  AccessDenied,   // no permission, or a read-only file, folder or medium
  InUse,          // another program holds the file in a way that excludes us
  AlreadyExists,  // a file that was to be created new exists already
  NotRegular,     // a folder, pipe, device or other special file where a file was expected
  NameTooLong,    // a name longer than the file system allows
  Other,
};

// A failed operating-system call. The message names what failed and why, for a person.
class SystemError : public std::runtime_error {
 public:
  SystemError(Failure failure, const std::string& message)
      : std::runtime_error(message), failure_(failure) {}
  Failure failure() const { return failure_; }

 private:
  Failure failure_;
};

}  // namespace leafward::platform
