#include "dataaccess/jet/file_lock.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "dataaccess/jet/write_refusal.h"

namespace leafward::jet {
namespace {

struct flock wholeFile(short type) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 0;  // to the end of the file and beyond
  return lock;
}

[[noreturn]] void refuseInUse(const std::string& path, const std::string& detail) {
  throw WriteRefused(WriteRefused::Reason::Locked,
                     "the file " + path + " is in use by another program" + detail);
}

// Whether another program holds a lock anywhere in the Access lock file.
bool accessLockFileHeld(const std::string& path) {
  std::string lockFile = accessLockFilePath(path);
  int fd = ::open(lockFile.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct flock probe = wholeFile(F_WRLCK);
  int result = ::fcntl(fd, F_OFD_GETLK, &probe);
  if (result != 0 && errno == EINVAL) {
    probe = wholeFile(F_WRLCK);
    result = ::fcntl(fd, F_GETLK, &probe);
  }
  ::close(fd);
  return result == 0 && probe.l_type != F_UNLCK;
}

}  // namespace

std::string accessLockFilePath(const std::string& path) {
  auto slash = path.find_last_of('/');
  auto dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
    return path + ".ldb";
  }
  return path.substr(0, dot) + ".ldb";
}

FileWriteLock::FileWriteLock(int fd, const std::string& path) : fd_(fd), command_(F_OFD_SETLK) {
  struct flock lock = wholeFile(F_WRLCK);
  int result = ::fcntl(fd_, command_, &lock);
  if (result != 0 && errno == EINVAL) {
    command_ = F_SETLK;
    lock = wholeFile(F_WRLCK);
    result = ::fcntl(fd_, command_, &lock);
  }
  if (result != 0) {
    if (errno == EACCES || errno == EAGAIN) refuseInUse(path, "");
    throw WriteRefused(WriteRefused::Reason::Locked,
                       "cannot lock the file " + path + ": " + std::strerror(errno));
  }
  if (accessLockFileHeld(path)) {
    struct flock unlock = wholeFile(F_UNLCK);
    ::fcntl(fd_, command_, &unlock);
    refuseInUse(path, " (Access holds its lock file " + accessLockFilePath(path) + ")");
  }
}

FileWriteLock::~FileWriteLock() {
  struct flock unlock = wholeFile(F_UNLCK);
  ::fcntl(fd_, command_, &unlock);
}

}  // namespace leafward::jet
