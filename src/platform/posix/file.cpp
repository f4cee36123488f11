#include "platform/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/posix/errors.h"
#include "platform/system_file_calls.h"

namespace leafward::platform {
namespace {

// The byte Leafward's readers and writer lock: far past the end of any database, where no Jet
// engine (which locks below 4 GiB) ever locks. A writer's claim is a lock on the byte after it:
// readers take that byte shared for the moment they take their own lock, so a writer holding it
// lets none in.
constexpr off_t kLockByte = off_t{1} << 62;
constexpr off_t kClaimByte = kLockByte + 1;

int fdOf(std::intptr_t handle) {
  return static_cast<int>(handle);
}

struct flock lockRange(short type, off_t start, off_t length) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = start;
  lock.l_len = length;
  return lock;
}

// Open-file-description locks where the kernel has them: they belong to one open of the file,
// so two opens of the same file in one process exclude each other as two programs would.
int setLock(int fd, struct flock lock) {
  int result = ::fcntl(fd, F_OFD_SETLK, &lock);
  if (result != 0 && errno == EINVAL) result = ::fcntl(fd, F_SETLK, &lock);
  return result;
}

// Takes a lock without waiting: false when another holder is in the way.
bool takeLock(int fd, struct flock lock, const std::string& path) {
  if (setLock(fd, lock) == 0) return true;
  if (errno == EACCES || errno == EAGAIN) return false;
  failWith("cannot lock", path, errno);
}

// Where a stat call failed because nothing is there under that name.
bool nothingThere(int error) {
  return error == ENOENT || error == ENOTDIR || error == ENAMETOOLONG;
}

}  // namespace

File File::systemOpen(const std::string& path, FileAccess access) {
  const int flags = (access == FileAccess::ReadWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK;
  const int fd = ::open(path.c_str(), flags);
  if (fd < 0) failWith("cannot open", path, errno);
  // Not blocking mattered for the open itself; reads of a regular file never block anyway.
  const int status = ::fcntl(fd, F_GETFL);
  if (status >= 0) ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
  return File(fd, path);
}

File File::systemCreateNew(const std::string& path, const File* permissionsOf) {
  mode_t mode = 0600;
  if (permissionsOf && permissionsOf->isOpen()) {
    struct stat info {};
    if (::fstat(fdOf(permissionsOf->handle_), &info) == 0) mode = (info.st_mode & 0666) | 0600;
  }
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
  if (fd < 0) failWith("cannot create", path, errno);
  // The process's umask has cut the bits: whoever may change the file may have to undo a
  // statement through this one, so it gets exactly the file's.
  if (::fchmod(fd, mode) != 0) {
    const int error = errno;
    ::close(fd);
    ::unlink(path.c_str());
    failWith("cannot set the permissions of", path, error);
  }
  return File(fd, path);
}

bool File::isOpen() const {
  return handle_ >= 0;
}

bool File::isRegular() const {
  struct stat info {};
  if (::fstat(fdOf(handle_), &info) != 0) failWith("cannot examine", path_, errno);
  return S_ISREG(info.st_mode);
}

std::uint64_t File::systemSize() const {
  struct stat info {};
  if (::fstat(fdOf(handle_), &info) != 0) failWith("cannot examine", path_, errno);
  return static_cast<std::uint64_t>(info.st_size);
}

std::uint64_t File::linkCount() const {
  struct stat info {};
  if (::fstat(fdOf(handle_), &info) != 0) failWith("cannot examine", path_, errno);
  return static_cast<std::uint64_t>(info.st_nlink);
}

std::size_t File::systemReadAt(std::uint64_t offset, std::span<std::uint8_t> into) const {
  std::size_t done = 0;
  while (done < into.size()) {
    const ssize_t got = ::pread(fdOf(handle_), into.data() + done, into.size() - done,
                                static_cast<off_t>(offset + done));
    if (got < 0) {
      if (errno == EINTR) continue;
      failWith("cannot read", path_, errno);
    }
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

void File::systemWriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t wrote = ::pwrite(fdOf(handle_), bytes.data() + done, bytes.size() - done,
                                   static_cast<off_t>(offset + done));
    if (wrote < 0) {
      if (errno == EINTR) continue;
      failWith("cannot write", path_, errno);
    }
    done += static_cast<std::size_t>(wrote);
  }
}

void File::systemSync() {
  while (::fsync(fdOf(handle_)) != 0) {
    if (errno != EINTR) failWith("cannot flush", path_, errno);
  }
}

void File::systemResize(std::uint64_t size) {
  while (::ftruncate(fdOf(handle_), static_cast<off_t>(size)) != 0) {
    if (errno != EINTR) failWith("cannot resize", path_, errno);
  }
}

bool File::systemTryLock(LockKind kind) {
  const int fd = fdOf(handle_);
  if (kind == LockKind::Shared) {
    if (!takeLock(fd, lockRange(F_RDLCK, kClaimByte, 1), path_)) return false;
    locked_ = takeLock(fd, lockRange(F_RDLCK, kLockByte, 1), path_);
    setLock(fd, lockRange(F_UNLCK, kClaimByte, 1));
    return locked_;
  }
  if (!claimed_) claimed_ = takeLock(fd, lockRange(F_WRLCK, kClaimByte, 1), path_);
  // Exclusive takes the whole file and beyond, so that a lock any other program holds anywhere
  // in it is in the way too.
  if (claimed_) locked_ = takeLock(fd, lockRange(F_WRLCK, 0, 0), path_);
  return locked_;
}

void File::unlock() {
  if (!locked_ && !claimed_) return;
  setLock(fdOf(handle_), lockRange(F_UNLCK, 0, 0));
  locked_ = false;
  claimed_ = false;
}

void File::close() {
  if (handle_ < 0) return;
  unlock();
  ::close(fdOf(handle_));
  handle_ = -1;
}

std::string canonicalPath(const std::string& path) {
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (!resolved) failWith("cannot find", path, errno);
  std::string result(resolved);
  std::free(resolved);
  return result;
}

EntryKind entryKind(const std::string& path, FinalLink link) {
  struct stat info {};
  const int result =
      link == FinalLink::Follow ? ::stat(path.c_str(), &info) : ::lstat(path.c_str(), &info);
  if (result != 0) {
    if (nothingThere(errno)) return EntryKind::None;
    failWith("cannot examine", path, errno);
  }
  if (S_ISREG(info.st_mode)) return EntryKind::File;
  return S_ISDIR(info.st_mode) ? EntryKind::Folder : EntryKind::Other;
}

namespace system_calls {

bool removeFile(const std::string& path) {
  if (::unlink(path.c_str()) == 0) return true;
  if (errno == ENOENT) return false;
  failWith("cannot remove", path, errno);
}

void syncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) failWith("cannot open the folder", folder, errno);
  int result;
  while ((result = ::fsync(fd)) != 0 && errno == EINTR) {
  }
  const int error = errno;
  ::close(fd);
  if (result != 0) failWith("cannot flush the folder", folder, error);
}

}  // namespace system_calls

bool markedReadOnly(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) failWith("cannot examine", path, errno);
  return (info.st_mode & 0222) == 0;
}

std::string parentFolder(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string fileName(const std::string& path) {
  return path.substr(path.find_last_of('/') + 1);
}

std::string nativePath(std::string utf8Path) {
  return utf8Path;
}

}  // namespace leafward::platform
