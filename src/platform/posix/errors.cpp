#include "platform/posix/errors.h"

#include <cerrno>
#include <cstring>

namespace leafward::platform {

Failure failureOfErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return Failure::NotFound;
    case EACCES:
    case EPERM:
    case EROFS:
      return Failure::AccessDenied;
    case EEXIST:
      return Failure::AlreadyExists;
    case EISDIR:
    case ENXIO:
    case ELOOP:
      return Failure::NotRegular;
    case EAGAIN:
    case ETXTBSY:
      return Failure::InUse;
    case ENAMETOOLONG:
      return Failure::NameTooLong;
    default:
      return Failure::Other;
  }
}

void failWith(const std::string& what, const std::string& path, int error) {
  throw SystemError(failureOfErrno(error), what + " " + path + ": " + std::strerror(error));
}

}  // namespace leafward::platform
