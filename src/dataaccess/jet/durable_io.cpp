#include "dataaccess/jet/durable_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "dataaccess/errors.h"

namespace leafward::jet {
namespace {

[[noreturn]] void fail(const std::string& what, const std::string& path, int error) {
  throw dataaccess::DataAccessError(what + " " + path + ": " + std::strerror(error));
}

}  // namespace

bool readFully(int fd, std::span<std::uint8_t> bytes, std::uint64_t offset,
               const std::string& path) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n =
        ::pread(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      fail("cannot read", path, errno);
    }
    if (n == 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

void writeFully(int fd, std::span<const std::uint8_t> bytes, std::uint64_t offset,
                const std::string& path) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n =
        ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      fail("cannot write", path, errno);
    }
    done += static_cast<std::size_t>(n);
  }
}

void syncFile(int fd, const std::string& path, DurabilityStats& stats) {
  while (::fsync(fd) != 0) {
    if (errno != EINTR) fail("cannot flush", path, errno);
  }
  ++stats.fsyncs;
}

std::string parentFolder(const std::string& path) {
  auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

void syncParentFolder(const std::string& path, DurabilityStats& stats) {
  std::string folder = parentFolder(path);
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) fail("cannot open folder", folder, errno);
  int result;
  while ((result = ::fsync(fd)) != 0 && errno == EINTR) {
  }
  int error = errno;
  ::close(fd);
  if (result != 0) fail("cannot flush folder", folder, error);
  ++stats.fsyncs;
}

}  // namespace leafward::jet
