#include "dataaccess/jet/jet_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "dataaccess/errors.h"

namespace leafward::jet {
namespace {

using dataaccess::DataAccessError;

std::string reasonOf(int error) {
  return std::strerror(error);
}

// Reads up to `length` bytes at `offset`, retrying interrupted and partial reads. Returns the
// number of bytes read (short only at the end of the file) or -1 with errno set.
ssize_t readAt(int fd, std::uint8_t* buffer, std::size_t length, off_t offset) {
  std::size_t done = 0;
  while (done < length) {
    const ssize_t got =
        ::pread(fd, buffer + done, length - done, offset + static_cast<off_t>(done));
    if (got < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return static_cast<ssize_t>(done);
}

}  // namespace

JetFile::JetFile(const std::string& path) : path_(path) {
  const std::string file = "The file " + path;
  if (path.empty()) throw DataAccessError("No file name was given");
  // O_NONBLOCK keeps a named pipe from blocking the open; it means nothing for regular files.
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd_ < 0) {
    const int error = errno;
    if (error == ENOENT || error == ENOTDIR) throw DataAccessError(file + " does not exist");
    throw DataAccessError(file + " cannot be opened: " + reasonOf(error));
  }
  try {
    struct stat status {};
    if (::fstat(fd_, &status) != 0) {
      throw DataAccessError(file + " cannot be opened: " + reasonOf(errno));
    }
    if (S_ISDIR(status.st_mode)) {
      throw DataAccessError("The path " + path + " is a folder, not an Access database");
    }
    if (!S_ISREG(status.st_mode)) {
      throw DataAccessError("The path " + path + " is not a regular file");
    }
    const auto fileSize = static_cast<std::uint64_t>(status.st_size);
    std::vector<std::uint8_t> first(std::min<std::uint64_t>(fileSize, 4096));
    const ssize_t got = readAt(fd_, first.data(), first.size(), 0);
    if (got < 0) throw DataAccessError(file + " cannot be read: " + reasonOf(errno));
    first.resize(static_cast<std::size_t>(got));
    header_ = inspectHeader(first, fileSize, path);
  } catch (...) {
    ::close(fd_);
    throw;
  }
}

JetFile::~JetFile() {
  if (fd_ >= 0) ::close(fd_);
}

void JetFile::readPage(std::uint64_t number, std::span<std::uint8_t> buffer) const {
  if (number >= pageCount()) {
    truncated("page " + std::to_string(number) + " lies past the end of the file");
  }
  const std::size_t size = pageSize();
  const ssize_t got = readAt(fd_, buffer.data(), size,
                             static_cast<off_t>(number * static_cast<std::uint64_t>(size)));
  if (got < 0) {
    throw DataAccessError("The file " + path_ + " cannot be read: " + reasonOf(errno));
  }
  if (static_cast<std::size_t>(got) != size) {
    truncated("page " + std::to_string(number) + " could not be read whole");
  }
}

void JetFile::damaged(const std::string& what) const {
  throw DataAccessError("The file " + path_ + " is damaged: " + what);
}

void JetFile::truncated(const std::string& what) const {
  throw DataAccessError("The file " + path_ + " is truncated: " + what);
}

}  // namespace leafward::jet
