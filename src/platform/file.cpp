#include "platform/file.h"

// What a File does the same way on every system; the calls to the system are in posix/ and
// windows/.
namespace leafward::platform {

File::~File() {
  close();
}

File::File(File&& other) noexcept
    : handle_(other.handle_), path_(std::move(other.path_)), locked_(other.locked_) {
  other.handle_ = -1;
  other.locked_ = false;
}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    close();
    handle_ = other.handle_;
    path_ = std::move(other.path_);
    locked_ = other.locked_;
    other.handle_ = -1;
    other.locked_ = false;
  }
  return *this;
}

}  // namespace leafward::platform
