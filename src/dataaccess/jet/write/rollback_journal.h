#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "platform/file.h"

namespace leafward::jet {

// Bits flipped in one byte of a page.
struct ByteChange {
  std::uint16_t offset = 0;
  std::uint8_t mask = 0;  // the bits that change
  bool operator==(const ByteChange&) const = default;
};

// One page a statement changes: its image before, and the bytes that change.
struct PageChange {
  std::uint32_t page = 0;
  std::vector<std::uint8_t> original;
  std::vector<ByteChange> changes;  // by offset, each offset once

  // Whether `current` equals the original image apart from the bits this change flips (so a
  // page caught halfway between the two still qualifies).
  bool onlyChangedBitsDiffer(const std::vector<std::uint8_t>& current) const;
};

// What making a change durable cost: the benchmark reports these. The syncs are counted by the
// platform layer, where they are made.
struct DurabilityStats {
  unsigned fsyncs = 0;
  std::uint64_t journalBytes = 0;
};

// The journal beside a database, named after the file's canonical path, so that every path
// that leads to the file finds the same journal: `x.mdb` -> `x.mdb.leafward-journal`. The
// name cannot be mistaken for Access's own `x.ldb` lock file.
std::string journalPathFor(const std::string& canonicalDatabasePath);

// Removes the journal and syncs its folder. Throws DataAccessError when the journal cannot be
// removed. Returns why when it was removed but its folder could not be synced, so that the
// removal may not be durable; empty when it is.
std::string removeJournal(const std::string& journalPath);

// The version of a journal that carries Leafward's magic in a layout this program does not
// read; nothing for any other journal.
std::optional<std::uint32_t> otherLayoutOf(const platform::File& journal);

// A journal's header, when it reads back whole.
struct JournalHeader {
  std::uint32_t pageSize = 0;
  std::uint64_t fileSize = 0;
  std::uint32_t records = 0;
  bool committed = false;
  std::uint64_t length = 0;  // where the commit block starts
};
std::optional<JournalHeader> readJournalHeader(const platform::File& journal);

// A journal's commit block, when a whole one lies at `at`.
struct CommitBlock {
  std::uint32_t records = 0;
  std::uint64_t digest = 0;
};
std::optional<CommitBlock> readCommitBlock(const platform::File& journal, std::uint64_t at);

// Writes a journal (see journal_format.h) a batch of records at a time, so that the original
// images of a statement's pages never need to be in memory all at once.
class JournalWriter {
 public:
  // Creates the journal (it must not exist yet) for `records` records of `recordBytes` bytes in
  // all (journal::recordSize each). The journal gets the permissions of `database`. A journal
  // that cannot be created refuses the statement as read-only (or, when its name would be too
  // long, as NameTooLong).
  JournalWriter(const std::string& journalPath, const platform::File& database,
                std::uint32_t pageSize, std::uint64_t fileSize, std::uint32_t records,
                std::uint64_t recordBytes);
  // A journal that was not committed is removed again where it can be: one left behind is
  // torn, or complete for a file still untouched, and the next open deals with either.
  ~JournalWriter();
  JournalWriter(const JournalWriter&) = delete;
  JournalWriter& operator=(const JournalWriter&) = delete;

  // Adds the record of one page: its image before the statement and the bytes that change, by
  // offset, each offset once. The records must come as many as announced, in the order in
  // which they are to be read back.
  void add(std::uint32_t page, std::span<const std::uint8_t> original,
           std::span<const ByteChange> changes);

  // Writes what is left, syncs the journal and its folder, then commits it: once this returns,
  // the pages may be overwritten.
  void commit(DurabilityStats& stats);
  bool committed() const { return committed_; }

 private:
  void writeBatch();
  [[noreturn]] void failed(const platform::SystemError& error);

  std::string path_;
  platform::File file_;
  JournalHeader header_;
  std::vector<std::uint8_t> batch_;  // encoded, not yet written, from offset written_ on
  std::uint64_t written_ = 0;
  std::uint32_t added_ = 0;
  std::uint64_t digest_ = 0;
  bool committed_ = false;
};

// Reads a journal's records one at a time, each checked whole before it is handed out, so that
// memory never depends on the journal's size.
class JournalRecords {
 public:
  // `length`: the journal's length as its header gives it (it seeds the digest).
  JournalRecords(const platform::File& journal, std::size_t pageSize, std::uint32_t pageCount,
                 std::uint64_t length);

  // The next record that reads back whole. A record whose bytes are all there but fail their
  // checksum is skipped (and counted); nothing at the end of the file or at a record that
  // cannot be told apart from noise (its length runs past the end, it names a page outside
  // the database or one met before, or its changes are not single flag bits in order).
  std::optional<PageChange> next();
  std::size_t skipped() const { return skipped_; }
  // The number (from 1) of the first record that did not read back whole, skipped or where
  // reading stopped; 0 while there is none.
  std::size_t firstUnreadable() const { return firstUnreadable_; }

  // Where the next record would start.
  std::uint64_t position() const { return position_; }
  // The digest of the records read so far, as a commit block records it.
  std::uint64_t digest() const { return digest_; }

 private:
  const platform::File& journal_;
  std::size_t pageSize_;
  std::uint32_t pageCount_;
  std::uint64_t position_;
  std::uint64_t digest_;
  std::size_t skipped_ = 0;
  std::size_t firstUnreadable_ = 0;
  std::set<std::uint32_t> seen_;
};

}  // namespace leafward::jet
