#include "dataaccess/jet/rollback_journal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <set>
#include <string_view>

#include "dataaccess/jet/byte_order.h"
#include "dataaccess/jet/checksum.h"
#include "dataaccess/jet/write_hooks.h"
#include "dataaccess/jet/write_refusal.h"

namespace leafward::jet {
namespace {

// Layout: a header, then one record per page.
//   header: magic[8] version:u32 pageSize:u32 fileSize:u64 records:u32 reserved:u32
//           checksum:u64 (of the 32 bytes before it)
//   record: page:u32 changes:u16 reserved:u16, changes x (offset:u16 mask:u8 0:u8),
//           original image[pageSize], checksum:u64 (of the record bytes before it)
constexpr std::string_view kMagic{"LWJRNL\r\n", 8};
constexpr std::uint32_t kVersion = 1;
constexpr std::size_t kHeaderSize = 40;
constexpr std::size_t kRecordHead = 8;
constexpr std::size_t kChangeSize = 4;

std::size_t recordSize(std::size_t pageSize, std::size_t changes) {
  return kRecordHead + changes * kChangeSize + pageSize + 8;
}

std::vector<std::uint8_t> encodeHeader(std::uint32_t pageSize, std::uint64_t fileSize,
                                       std::uint32_t records) {
  std::vector<std::uint8_t> header(kHeaderSize);
  std::memcpy(header.data(), kMagic.data(), kMagic.size());
  writeU32(header, 8, kVersion);
  writeU32(header, 12, pageSize);
  writeU64(header, 16, fileSize);
  writeU32(header, 24, records);
  writeU64(header, 32, checksum64(std::span(header).first(32)));
  return header;
}

std::vector<std::uint8_t> encodeRecord(const PageChange& page) {
  std::vector<std::uint8_t> record(recordSize(page.original.size(), page.changes.size()));
  writeU32(record, 0, page.page);
  writeU16(record, 4, static_cast<std::uint16_t>(page.changes.size()));
  std::size_t at = kRecordHead;
  for (const auto& change : page.changes) {
    writeU16(record, at, change.offset);
    record[at + 2] = change.mask;
    at += kChangeSize;
  }
  std::memcpy(record.data() + at, page.original.data(), page.original.size());
  at += page.original.size();
  writeU64(record, at, checksum64(std::span(record).first(at)));
  return record;
}

std::string describe(int error) {
  return std::strerror(error);
}

}  // namespace

std::vector<std::uint8_t> PageChange::changedImage() const {
  std::vector<std::uint8_t> image = original;
  for (const auto& change : changes) image[change.offset] ^= change.mask;
  return image;
}

bool PageChange::onlyChangedBitsDiffer(const std::vector<std::uint8_t>& current) const {
  if (current.size() != original.size()) return false;
  std::size_t next = 0;
  for (std::size_t i = 0; i < current.size(); ++i) {
    std::uint8_t allowed = 0;
    if (next < changes.size() && changes[next].offset == i) allowed = changes[next++].mask;
    if ((current[i] ^ original[i]) & ~allowed) return false;
  }
  return true;
}

std::string journalPathFor(const std::string& databasePath) {
  return databasePath + ".leafward-journal";
}

void writeJournal(const std::string& journalPath, std::uint32_t pageSize, std::uint64_t fileSize,
                  const std::vector<PageChange>& pages, unsigned mode, DurabilityStats& stats) {
  int fd = ::open(journalPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd < 0) {
    int error = errno;
    if (error == EEXIST) {
      throw WriteRefused(WriteRefused::Reason::PendingRollback,
                         "a rollback journal " + journalPath + " already exists");
    }
    throw WriteRefused(WriteRefused::Reason::ReadOnly,
                       "cannot create the rollback journal " + journalPath +
                           " (the folder must be writable): " + describe(error));
  }
  try {
    auto header = encodeHeader(pageSize, fileSize, static_cast<std::uint32_t>(pages.size()));
    writeFully(fd, header, 0, journalPath);
    std::uint64_t at = header.size();
    for (std::size_t i = 0; i < pages.size(); ++i) {
      auto record = encodeRecord(pages[i]);
      writeFully(fd, record, at, journalPath);
      at += record.size();
      reachedWriteStep(WriteStep::JournalRecordWritten, i + 1);
    }
    syncFile(fd, journalPath, stats);
    stats.journalBytes += at;
  } catch (...) {
    ::close(fd);
    ::unlink(journalPath.c_str());
    throw;
  }
  ::close(fd);
  try {
    syncParentFolder(journalPath, stats);
  } catch (...) {
    ::unlink(journalPath.c_str());
    throw;
  }
  reachedWriteStep(WriteStep::JournalSynced, 0);
}

std::optional<JournalContents> readJournal(const std::string& journalPath) {
  int fd = ::open(journalPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    throw dataaccess::DataAccessError("cannot read the rollback journal " + journalPath + ": " +
                                      describe(errno));
  }
  std::vector<std::uint8_t> bytes;
  struct stat info {};
  bool readable = ::fstat(fd, &info) == 0;
  if (readable) {
    bytes.resize(static_cast<std::size_t>(info.st_size));
    readable = readFully(fd, bytes, 0, journalPath);
  }
  ::close(fd);
  if (!readable) return std::nullopt;

  std::span<const std::uint8_t> all(bytes);
  if (all.size() < kHeaderSize || std::memcmp(all.data(), kMagic.data(), kMagic.size()) != 0 ||
      readU64(all, 32) != checksum64(all.first(32)) || readU32(all, 8) != kVersion) {
    return std::nullopt;
  }
  JournalContents contents;
  contents.pageSize = readU32(all, 12);
  contents.fileSize = readU64(all, 16);
  std::uint32_t records = readU32(all, 24);
  if ((contents.pageSize != 2048 && contents.pageSize != 4096) ||
      contents.fileSize % contents.pageSize != 0 ||
      records > contents.fileSize / contents.pageSize) {
    return std::nullopt;
  }

  std::size_t at = kHeaderSize;
  std::set<std::uint32_t> seen;
  for (std::uint32_t r = 0; r < records; ++r) {
    if (all.size() - at < kRecordHead) return std::nullopt;
    PageChange page;
    page.page = readU32(all, at);
    std::size_t changes = readU16(all, at + 4);
    std::size_t size = recordSize(contents.pageSize, changes);
    if (all.size() - at < size) return std::nullopt;
    auto record = all.subspan(at, size);
    if (readU64(record, size - 8) != checksum64(record.first(size - 8))) return std::nullopt;
    if (static_cast<std::uint64_t>(page.page) * contents.pageSize >= contents.fileSize ||
        !seen.insert(page.page).second) {
      return std::nullopt;
    }
    std::size_t c = kRecordHead;
    for (std::size_t i = 0; i < changes; ++i, c += kChangeSize) {
      ByteChange change{readU16(record, c), record[c + 2]};
      if (change.offset >= contents.pageSize || change.mask == 0 ||
          (!page.changes.empty() && change.offset <= page.changes.back().offset)) {
        return std::nullopt;
      }
      page.changes.push_back(change);
    }
    page.original.assign(record.begin() + c, record.begin() + c + contents.pageSize);
    contents.pages.push_back(std::move(page));
    at += size;
  }
  return contents;
}

void removeJournal(const std::string& journalPath, DurabilityStats& stats) {
  if (::unlink(journalPath.c_str()) != 0 && errno != ENOENT) {
    throw dataaccess::DataAccessError("cannot remove the rollback journal " + journalPath + ": " +
                                      describe(errno));
  }
  reachedWriteStep(WriteStep::JournalRemoved, 0);
  syncParentFolder(journalPath, stats);
}

}  // namespace leafward::jet
