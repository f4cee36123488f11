#include "dataaccess/jet/write/rollback_journal.h"

#include "common/invariant.h"

#include <cstring>

#include "dataaccess/errors.h"
#include "dataaccess/jet/format/byte_order.h"
#include "dataaccess/jet/format/jet_format.h"
#include "dataaccess/jet/write/checksum.h"
#include "dataaccess/jet/write/journal_format.h"
#include "dataaccess/jet/write/write_hooks.h"

namespace leafward::jet {
namespace {

using dataaccess::DataAccessError;
using dataaccess::ErrorKind;
namespace layout = journal;

std::vector<std::uint8_t> encodeHeader(const JournalHeader& header) {
  std::vector<std::uint8_t> bytes(layout::kHeaderSize);
  std::memcpy(bytes.data(), layout::kMagic.data(), layout::kMagic.size());
  writeU32(bytes, layout::kVersionAt, layout::kVersion);
  writeU32(bytes, layout::kPageSizeAt, header.pageSize);
  writeU64(bytes, layout::kFileSizeAt, header.fileSize);
  writeU32(bytes, layout::kRecordsAt, header.records);
  writeU32(bytes, layout::kCommittedAt, header.committed ? 1 : 0);
  writeU64(bytes, layout::kLengthAt, header.length);
  writeU64(bytes, layout::kHeaderChecksumAt,
           checksum64(std::span(bytes).first(layout::kHeaderChecked)));
  return bytes;
}

// Appends the record of one page to `out`; returns its checksum.
std::uint64_t appendRecord(std::vector<std::uint8_t>& out, std::uint32_t page,
                           std::span<const std::uint8_t> original,
                           std::span<const ByteChange> changes) {
  const std::size_t start = out.size();
  out.resize(start + layout::recordSize(original.size(), changes.size()));
  const std::span<std::uint8_t> record = std::span(out).subspan(start);
  writeU32(record, layout::kRecordPageAt, page);
  writeU16(record, layout::kRecordChangesAt, static_cast<std::uint16_t>(changes.size()));
  std::size_t at = layout::kRecordHead;
  for (const auto& change : changes) {
    writeU16(record, at + layout::kChangeOffsetAt, change.offset);
    record[at + layout::kChangeMaskAt] = change.mask;
    at += layout::kChangeSize;
  }
  std::memcpy(record.data() + at, original.data(), original.size());
  at += original.size();
  const std::uint64_t checksum = checksum64(record.first(at));
  writeU64(record, at, checksum);
  return checksum;
}

// The digest a commit block records: the journal's length and the checksum of every record,
// folded one after the other.
std::uint64_t foldDigest(std::uint64_t digest, std::uint64_t checksum) {
  std::uint8_t bytes[16];
  writeU64(bytes, 0, digest);
  writeU64(bytes, 8, checksum);
  return checksum64(bytes);
}

std::vector<std::uint8_t> encodeCommit(std::uint32_t records, std::uint64_t digest) {
  std::vector<std::uint8_t> bytes(layout::kCommitSize);
  std::memcpy(bytes.data(), layout::kCommitMagic.data(), layout::kCommitMagic.size());
  writeU32(bytes, layout::kCommitRecordsAt, records);
  writeU64(bytes, layout::kCommitDigestAt, digest);
  writeU64(bytes, layout::kCommitChecksumAt,
           checksum64(std::span(bytes).first(layout::kCommitChecksumAt)));
  return bytes;
}

// Reads exactly bytes.size() bytes at `at`; false when the file ends first.
bool readExactly(const platform::File& file, std::uint64_t at, std::span<std::uint8_t> bytes) {
  return file.readAt(at, bytes) == bytes.size();
}

void syncFolderOf(const std::string& path) {
  platform::syncFolder(platform::parentFolder(path));
}

// Records are written this many bytes at a time, or more when one record is larger.
constexpr std::size_t kBatchBytes = 256 * 1024;

}  // namespace

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

std::string journalPathFor(const std::string& canonicalDatabasePath) {
  return canonicalDatabasePath + ".leafward-journal";
}

JournalWriter::JournalWriter(const std::string& journalPath, const platform::File& database,
                             std::uint32_t pageSize, std::uint64_t fileSize, std::uint32_t records,
                             std::uint64_t recordBytes)
    : path_(journalPath) {
  try {
    file_ = platform::File::createNew(journalPath, &database);
  } catch (const platform::SystemError& error) {
    if (error.failure() == platform::Failure::AlreadyExists) {
      throw DataAccessError("a rollback journal " + journalPath + " already exists",
                            ErrorKind::PendingRollback);
    }
    if (error.failure() == platform::Failure::NameTooLong) {
      throw DataAccessError("the file's name is too long for the name of its rollback journal " +
                                journalPath +
                                ", which the change needs; give the file a shorter "
                                "name: " +
                                error.what(),
                            ErrorKind::NameTooLong);
    }
    throw DataAccessError("cannot create the rollback journal " + journalPath +
                              " (the folder must be writable): " + error.what(),
                          ErrorKind::ReadOnly);
  }
  header_.pageSize = pageSize;
  header_.fileSize = fileSize;
  header_.records = records;
  header_.length = layout::kHeaderSize + recordBytes;
  batch_ = encodeHeader(header_);
  batch_.reserve(kBatchBytes + layout::recordSize(pageSize, pageSize));
  digest_ = foldDigest(0, header_.length);
}

JournalWriter::~JournalWriter() {
  if (committed_ || !file_.isOpen()) return;
  file_.close();
  try {
    platform::removeFile(path_);
  } catch (const platform::SystemError&) {
  }
}

void JournalWriter::failed(const platform::SystemError& error) {
  throw DataAccessError("cannot write the rollback journal " + path_ + ": " + error.what());
}

void JournalWriter::add(std::uint32_t page, std::span<const std::uint8_t> original,
                        std::span<const ByteChange> changes) {
  if (added_ == header_.records || original.size() != header_.pageSize) {
    throw DataAccessError("internal error: a record the journal " + path_ + " was not made for");
  }
  digest_ = foldDigest(digest_, appendRecord(batch_, page, original, changes));
  ++added_;
  if (batch_.size() >= kBatchBytes) writeBatch();
}

void JournalWriter::writeBatch() {
  try {
    file_.writeAt(written_, batch_);
  } catch (const platform::SystemError& error) {
    failed(error);
  }
  written_ += batch_.size();
  batch_.clear();
  reachedWriteStep(WriteStep::JournalRecordWritten, added_);
}

void JournalWriter::commit(DurabilityStats& stats) {
  if (added_ != header_.records || written_ + batch_.size() != header_.length) {
    throw DataAccessError("internal error: the journal " + path_ + " is not whole");
  }
  if (!batch_.empty()) writeBatch();
  // J1: every record written, then the journal and its name made durable, before the commit.
  LEAFWARD_INVARIANT("J1", added_ == header_.records && written_ == header_.length);
  try {
    file_.sync();
    syncFolderOf(path_);
    reachedWriteStep(WriteStep::JournalSynced, 0);

    file_.writeAt(written_, encodeCommit(header_.records, digest_));
    header_.committed = true;
    file_.writeAt(0, encodeHeader(header_));
    file_.sync();
  } catch (const platform::SystemError& error) {
    failed(error);
  }
  stats.journalBytes += written_ + layout::kCommitSize;
  committed_ = true;
  file_.close();
  reachedWriteStep(WriteStep::JournalCommitted, 0);
}

std::string removeJournal(const std::string& journalPath) {
  try {
    platform::removeFile(journalPath);
  } catch (const platform::SystemError& error) {
    throw DataAccessError("cannot remove the rollback journal " + journalPath + ": " +
                          error.what());
  }
  reachedWriteStep(WriteStep::JournalRemoved, 0);
  try {
    syncFolderOf(journalPath);
  } catch (const platform::SystemError& error) {
    return error.what();
  }
  return {};
}

std::optional<std::uint32_t> otherLayoutOf(const platform::File& journal) {
  std::uint8_t bytes[layout::kVersionAt + 4];
  if (!readExactly(journal, 0, bytes) ||
      std::memcmp(bytes, layout::kMagic.data(), layout::kMagic.size()) != 0) {
    return std::nullopt;
  }
  const std::uint32_t version = readU32(bytes, layout::kVersionAt);
  if (version == layout::kVersion) return std::nullopt;
  return version;
}

std::optional<JournalHeader> readJournalHeader(const platform::File& journal) {
  std::vector<std::uint8_t> bytes(layout::kHeaderSize);
  if (!readExactly(journal, 0, bytes) ||
      std::memcmp(bytes.data(), layout::kMagic.data(), layout::kMagic.size()) != 0 ||
      readU32(bytes, layout::kVersionAt) != layout::kVersion ||
      readU64(bytes, layout::kHeaderChecksumAt) !=
          checksum64(std::span(bytes).first(layout::kHeaderChecked))) {
    return std::nullopt;
  }
  JournalHeader header;
  header.pageSize = readU32(bytes, layout::kPageSizeAt);
  header.fileSize = readU64(bytes, layout::kFileSizeAt);
  header.records = readU32(bytes, layout::kRecordsAt);
  const std::uint32_t committed = readU32(bytes, layout::kCommittedAt);
  header.committed = committed == 1;
  header.length = readU64(bytes, layout::kLengthAt);
  if ((header.pageSize != kJet3PageSize && header.pageSize != kJet4PageSize) || committed > 1 ||
      header.fileSize % header.pageSize != 0 ||
      header.records > header.fileSize / header.pageSize || header.length < layout::kHeaderSize) {
    return std::nullopt;
  }
  return header;
}

std::optional<CommitBlock> readCommitBlock(const platform::File& journal, std::uint64_t at) {
  std::vector<std::uint8_t> bytes(layout::kCommitSize);
  if (!readExactly(journal, at, bytes) ||
      std::memcmp(bytes.data(), layout::kCommitMagic.data(), layout::kCommitMagic.size()) != 0 ||
      readU64(bytes, layout::kCommitChecksumAt) !=
          checksum64(std::span(bytes).first(layout::kCommitChecksumAt))) {
    return std::nullopt;
  }
  return CommitBlock{readU32(bytes, layout::kCommitRecordsAt),
                     readU64(bytes, layout::kCommitDigestAt)};
}

JournalRecords::JournalRecords(const platform::File& journal, std::size_t pageSize,
                               std::uint32_t pageCount, std::uint64_t length)
    : journal_(journal),
      pageSize_(pageSize),
      pageCount_(pageCount),
      position_(layout::kHeaderSize),
      digest_(foldDigest(0, length)) {}

std::optional<PageChange> JournalRecords::next() {
  const auto unreadable = [this] {
    if (firstUnreadable_ == 0) firstUnreadable_ = seen_.size() + skipped_ + 1;
    return std::nullopt;
  };
  // A journal holds at most one record per page of the database; reading stops there.
  while (seen_.size() + skipped_ < pageCount_) {
    std::uint8_t head[layout::kRecordHead];
    if (!readExactly(journal_, position_, head)) return unreadable();
    const std::size_t changes = readU16(head, layout::kRecordChangesAt);
    if (changes > pageSize_) return unreadable();
    std::vector<std::uint8_t> record(layout::recordSize(pageSize_, changes));
    if (!readExactly(journal_, position_, record)) return unreadable();
    const std::size_t checked = record.size() - layout::kChecksumSize;
    const std::uint64_t checksum = readU64(record, checked);
    if (checksum != checksum64(std::span(record).first(checked))) {
      // Damaged in place: the records after it may still be whole.
      unreadable();
      position_ += record.size();
      ++skipped_;
      continue;
    }

    PageChange page;
    page.page = readU32(record, layout::kRecordPageAt);
    if (page.page == 0 || page.page >= pageCount_ || seen_.contains(page.page)) {
      return unreadable();
    }
    std::size_t at = layout::kRecordHead;
    for (std::size_t i = 0; i < changes; ++i, at += layout::kChangeSize) {
      const ByteChange change{readU16(record, at + layout::kChangeOffsetAt),
                              record[at + layout::kChangeMaskAt]};
      // A statement flips one flag bit per row, and rows never share a byte of their masks.
      const bool oneBit = change.mask != 0 && (change.mask & (change.mask - 1)) == 0;
      if (change.offset >= pageSize_ || !oneBit ||
          (!page.changes.empty() && change.offset <= page.changes.back().offset)) {
        return unreadable();
      }
      page.changes.push_back(change);
    }
    page.original.assign(record.begin() + static_cast<std::ptrdiff_t>(at),
                         record.begin() + static_cast<std::ptrdiff_t>(at + pageSize_));
    seen_.insert(page.page);
    digest_ = foldDigest(digest_, checksum);
    position_ += record.size();
    return page;
  }
  return unreadable();
}

}  // namespace leafward::jet
