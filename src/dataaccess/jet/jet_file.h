#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "dataaccess/jet/jet_header.h"

namespace leafward::jet {

// An .mdb file opened for reading pages. Opening checks that the path names a readable,
// whole Jet 3 or Jet 4 database; every failure is a DataAccessError with a reason meant for a
// person.
class JetFile {
 public:
  explicit JetFile(const std::string& path);
  ~JetFile();
  JetFile(const JetFile&) = delete;
  JetFile& operator=(const JetFile&) = delete;

  const std::string& path() const { return path_; }
  const JetFormat& format() const { return header_.format; }
  const JetHeader& header() const { return header_; }
  std::uint64_t pageCount() const { return header_.pageCount; }
  std::size_t pageSize() const { return header_.format.pageSize; }

  // Reads one whole page into `buffer` (at least pageSize() bytes). A page past the end of the
  // file means the file was cut short.
  void readPage(std::uint64_t number, std::span<std::uint8_t> buffer) const;

  // Throw DataAccessError: "The file ... is damaged: <what>" / "... is truncated: <what>".
  [[noreturn]] void damaged(const std::string& what) const;
  [[noreturn]] void truncated(const std::string& what) const;

 private:
  std::string path_;
  int fd_ = -1;
  JetHeader header_;
};

}  // namespace leafward::jet
