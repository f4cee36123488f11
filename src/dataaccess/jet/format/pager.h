#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "dataaccess/jet/format/header.h"
#include "platform/file.h"

namespace leafward::jet {

// An .mdb file seen as numbered pages: the one way every part of the provider reads or writes
// the file. Opening checks that the path names a regular file holding a whole Jet 3 or Jet 4
// database. Every failure is a DataAccessError with a reason meant for a person, naming the
// file as the user gave it.
class Pager {
 public:
  enum class Access { Read, ReadWrite };

  // `path` is the file to open; `displayName`, when given, is how messages name it.
  Pager(const std::string& path, Access access, const std::string& displayName = {});

  const std::string& path() const { return file_.path(); }
  const std::string& displayName() const { return displayName_; }
  const JetFormat& format() const { return header_.format; }
  const JetHeader& header() const { return header_; }
  std::uint32_t pageCount() const { return header_.pageCount; }
  std::size_t pageSize() const { return header_.format.pageSize; }
  std::uint64_t fileSize() const { return std::uint64_t{header_.pageCount} * pageSize(); }

  // Reads one whole page into `into` (pageSize() bytes). A page past the end of the file means
  // the file was cut short.
  void readPage(std::uint32_t number, std::span<std::uint8_t> into) const;
  std::vector<std::uint8_t> readPage(std::uint32_t number) const;
  // Reads into.size() / pageSize() consecutive pages from `first` on, in one read.
  void readPages(std::uint32_t first, std::span<std::uint8_t> into) const;
  // Overwrites one existing page in place.
  void writePage(std::uint32_t number, std::span<const std::uint8_t> image);
  // Overwrites images.size() / pageSize() consecutive existing pages from `first` on, in one
  // write.
  void writePages(std::uint32_t first, std::span<const std::uint8_t> images);
  void sync();

  // Takes the file's size anew, as another program may have grown it since it was opened.
  void refreshSize();

  // The open file, for locking.
  platform::File& file() { return file_; }

  // Throw DataAccessError: "The file ... is damaged: <what>" / "... is truncated: <what>".
  [[noreturn]] void damaged(const std::string& what) const;
  [[noreturn]] void truncated(const std::string& what) const;
  // Throws DataAccessError: "The file ... <what>: <the system's reason>".
  [[noreturn]] void failed(const std::string& what, const platform::SystemError& error) const;

 private:
  std::string displayName_;
  platform::File file_;
  JetHeader header_;
};

}  // namespace leafward::jet
