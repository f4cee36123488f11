#include "platform/access_lock_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/errors.h"

namespace leafward::platform {

AccessLockFile probeAccessLockFile(const std::string& lockFilePath) {
  // Never waits: a named pipe under the lock file's name must not hang the caller.
  const int fd = ::open(lockFilePath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    if (errno == ENOENT) return AccessLockFile::Absent;
    failWith("cannot look at the Access lock file", lockFilePath, errno);
  }
  struct stat info {};
  const bool examined = ::fstat(fd, &info) == 0;
  const int error = errno;
  if (!examined || !S_ISREG(info.st_mode)) {
    ::close(fd);
    if (!examined) failWith("cannot examine the Access lock file", lockFilePath, error);
    throw SystemError(Failure::NotRegular,
                      "the Access lock file " + lockFilePath + " is not a regular file");
  }
  struct flock probe {};
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;
  int result = ::fcntl(fd, F_OFD_GETLK, &probe);
  if (result != 0 && errno == EINVAL) {
    probe = {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    result = ::fcntl(fd, F_GETLK, &probe);
  }
  ::close(fd);
  return result == 0 && probe.l_type != F_UNLCK ? AccessLockFile::Held : AccessLockFile::Unused;
}

}  // namespace leafward::platform
