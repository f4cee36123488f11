#include "dataaccess/jet/page_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "dataaccess/errors.h"
#include "dataaccess/jet/durable_io.h"
#include "dataaccess/jet/write_refusal.h"

namespace leafward::jet {
namespace {

using dataaccess::DataAccessError;

constexpr std::size_t kVersionOffset = 0x14;
constexpr std::string_view kJetSignature{"Standard Jet DB\0", 16};
constexpr std::string_view kAceSignature{"Standard ACE DB\0", 16};

}  // namespace

PageFile::PageFile(std::string path, Access access) : path_(std::move(path)) {
  int flags = (access == Access::ReadWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC;
  fd_ = ::open(path_.c_str(), flags);
  if (fd_ < 0) {
    int error = errno;
    if (access == Access::ReadWrite && (error == EACCES || error == EROFS || error == EPERM)) {
      throw WriteRefused(WriteRefused::Reason::ReadOnly,
                         "the file " + path_ + " is read-only: " + std::strerror(error));
    }
    throw DataAccessError("cannot open " + path_ + ": " + std::strerror(error));
  }
  try {
    struct stat info {};
    if (::fstat(fd_, &info) != 0) {
      throw DataAccessError("cannot examine " + path_ + ": " + std::strerror(errno));
    }
    if (!S_ISREG(info.st_mode)) throw DataAccessError(path_ + " is not a regular file");

    std::array<std::uint8_t, 0x20> header{};
    if (!readFully(fd_, header, 0, path_)) {
      throw DataAccessError(path_ + " is too short to be an Access database");
    }
    std::string_view signature(reinterpret_cast<const char*>(header.data()) + 4, 16);
    if (header[0] != 0 || (signature != kJetSignature && signature != kAceSignature)) {
      throw DataAccessError(path_ + " is not an Access database");
    }
    switch (header[kVersionOffset]) {
      case 0:
        version_ = JetVersion::Jet3;
        pageSize_ = 2048;
        break;
      case 1:
        version_ = JetVersion::Jet4;
        pageSize_ = 4096;
        break;
      default:
        throw DataAccessError(path_ +
                              " is an Access 2007 or later database; only Access 97 and "
                              "Access 2000-2003 files are supported");
    }
    auto size = static_cast<std::uint64_t>(info.st_size);
    if (size % pageSize_ != 0 || size / pageSize_ > 0xFFFFFFu) {
      throw DataAccessError(path_ + " is damaged: its size is not a whole number of pages");
    }
    pageCount_ = static_cast<std::uint32_t>(size / pageSize_);
  } catch (...) {
    ::close(fd_);
    throw;
  }
}

PageFile::~PageFile() {
  if (fd_ >= 0) ::close(fd_);
}

void PageFile::checkPageNumber(std::uint32_t page) const {
  if (page >= pageCount_) {
    throw DataAccessError(path_ + " is damaged: page " + std::to_string(page) +
                          " lies beyond the end of the file");
  }
}

std::vector<std::uint8_t> PageFile::readPage(std::uint32_t page) const {
  std::vector<std::uint8_t> image(pageSize_);
  readPage(page, image);
  return image;
}

void PageFile::readPage(std::uint32_t page, std::span<std::uint8_t> into) const {
  checkPageNumber(page);
  if (into.size() != pageSize_ ||
      !readFully(fd_, into, static_cast<std::uint64_t>(page) * pageSize_, path_)) {
    throw DataAccessError("cannot read page " + std::to_string(page) + " of " + path_);
  }
}

void PageFile::writePage(std::uint32_t page, std::span<const std::uint8_t> image) {
  checkPageNumber(page);
  if (image.size() != pageSize_) {
    throw DataAccessError("internal error: page image of the wrong size for " + path_);
  }
  writeFully(fd_, image, static_cast<std::uint64_t>(page) * pageSize_, path_);
}

}  // namespace leafward::jet
