#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "dataaccess/jet/jet_format.h"

namespace leafward::jet {

// An .mdb file seen as numbered pages, for writing: 2048 bytes in Jet 3, 4096 in Jet 4. Owns the
// file descriptor. Every failure throws DataAccessError with a message naming the file.
class PageFile {
 public:
  enum class Access { ReadOnly, ReadWrite };

  // Opens the file and checks page 0: a Jet 3 or Jet 4 database whose size is a whole number
  // of pages. Opening for writing fails when the file cannot be opened that way.
  PageFile(std::string path, Access access);
  ~PageFile();
  PageFile(const PageFile&) = delete;
  PageFile& operator=(const PageFile&) = delete;

  const std::string& path() const { return path_; }
  int fd() const { return fd_; }
  JetVersion version() const { return version_; }
  std::size_t pageSize() const { return pageSize_; }
  std::uint32_t pageCount() const { return pageCount_; }
  std::uint64_t fileSize() const { return static_cast<std::uint64_t>(pageCount_) * pageSize_; }

  // Reads one page; the page must exist.
  std::vector<std::uint8_t> readPage(std::uint32_t page) const;
  void readPage(std::uint32_t page, std::span<std::uint8_t> into) const;

  // Overwrites one existing page in place.
  void writePage(std::uint32_t page, std::span<const std::uint8_t> image);

 private:
  void checkPageNumber(std::uint32_t page) const;

  std::string path_;
  int fd_ = -1;
  JetVersion version_ = JetVersion::Jet4;
  std::size_t pageSize_ = 4096;
  std::uint32_t pageCount_ = 0;
};

}  // namespace leafward::jet
