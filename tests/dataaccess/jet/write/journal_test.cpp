// The rollback journal: what a crash, a damaged or hostile journal, and readers meeting a writer
// leave a user with. A session's open (or a statement) must see the old file or the new one,
// never half a statement, and must never throw away a journal that may still be needed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>

#include "dataaccess/jet/format/byte_order.h"
#include "dataaccess/jet/jet_session.h"
#include "dataaccess/jet/write/checksum.h"
#include "dataaccess/jet/write/journal_format.h"
#include "platform/file.h"
#include "platform/file_faults.h"
#include "writer_test_support.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace leafward::jet {
namespace {

using dataaccess::DataAccessError;
using dataaccess::ErrorKind;
using testing::fileExists;
using testing::readBytes;
using testing::writeBytes;
namespace fs = std::filesystem;

using Bytes = std::vector<std::uint8_t>;
using Edit = std::function<void(Bytes&)>;

// Where a record starts in a journal, how long it is, the page it holds and its changes.
struct RecordAt {
  std::size_t at = 0, size = 0;
  std::uint32_t page = 0;
  std::size_t changes = 0;
};

// The fold of a commit block's digest: the checksum of the digest so far followed by the next
// value, each eight bytes little-endian.
std::uint64_t fold(std::uint64_t digest, std::uint64_t value) {
  std::uint8_t bytes[16];
  writeU64(bytes, 0, digest);
  writeU64(bytes, 8, value);
  return checksum64(bytes);
}

class JournalTest : public testing::StatementTest {
 protected:
  // The journal's bytes with the header edited and its checksum made good again.
  static Bytes withHeader(Bytes bytes, const Edit& edit) {
    edit(bytes);
    writeU64(bytes, journal::kHeaderChecksumAt,
             checksum64(std::span(bytes).first(journal::kHeaderChecked)));
    return bytes;
  }

  // The records up to the length the header gives.
  static std::vector<RecordAt> recordsOf(const Bytes& journal) {
    std::vector<RecordAt> records;
    for (std::size_t at = journal::kHeaderSize; at < readU64(journal, journal::kLengthAt);) {
      RecordAt record{at, 0, readU32(journal, at + journal::kRecordPageAt),
                      readU16(journal, at + journal::kRecordChangesAt)};
      record.size = journal::recordSize(4096, record.changes);
      records.push_back(record);
      at += record.size;
    }
    return records;
  }

  // The journal edited, then every record's checksum, the commit block and the header made good
  // again: nothing but what the edit meant is wrong with it.
  static Bytes sealed(Bytes bytes, const Edit& edit) {
    edit(bytes);
    const std::uint64_t length = readU64(bytes, journal::kLengthAt);
    std::uint64_t digest = fold(0, length);
    for (const RecordAt& record : recordsOf(bytes)) {
      const std::size_t checked = record.size - journal::kChecksumSize;
      const std::uint64_t checksum = checksum64(std::span(bytes).subspan(record.at, checked));
      writeU64(bytes, record.at + checked, checksum);
      digest = fold(digest, checksum);
    }
    writeU64(bytes, length + journal::kCommitDigestAt, digest);
    writeU64(bytes, length + journal::kCommitChecksumAt,
             checksum64(std::span(bytes).subspan(length, journal::kCommitChecksumAt)));
    return withHeader(std::move(bytes), [](Bytes&) {});
  }

  // Expects the open refused, as an interrupted change it cannot undo, with `reason`; the file
  // is left as `file` and the journal as `journal`.
  void expectKept(const Bytes& file, const Bytes& journal, const std::string& reason) {
    ErrorKind kind = ErrorKind::General;
    EXPECT_THAT(openFailure(&kind), ::testing::HasSubstr(reason));
    EXPECT_EQ(kind, ErrorKind::PendingRollback);
    EXPECT_TRUE(readBytes(path_) == file);
    EXPECT_EQ(readBytes(journal_), journal);
  }
};

// How the journal is laid out on the disk, byte by byte (see journal_format.h), read here with
// numbers of its own: a slip that the writer and the reader share would otherwise go unseen,
// and a journal left by one version must be read by the next.
// The journal's checksum gives its known answers: a change to it would take every journal a
// crash left behind for damaged.
TEST(JournalChecksumTest, GivesTheKnownAnswers) {
  EXPECT_EQ(checksum64({}), 0x5e0058f39fb5d4f3ull);
  const std::string word = "leafward";
  EXPECT_EQ(checksum64({reinterpret_cast<const std::uint8_t*>(word.data()), word.size()}),
            0x54646a2df67bfcb6ull);
  std::uint8_t counting[13];
  for (std::uint8_t i = 0; i < 13; ++i) counting[i] = i;
  EXPECT_EQ(checksum64(counting), 0xe64651d1cfbb5204ull);
}

TEST_F(JournalTest, TheJournalIsLaidOutAsDocumented) {
  testing::crashAt(path_, changes_, WriteStep::JournalCommitted, 0);
  const Bytes bytes = readBytes(journal_);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 8), "LWJRNL\r\n");
  EXPECT_EQ(readU32(bytes, 8), 2u);
  EXPECT_EQ(readU32(bytes, 12), 4096u);
  EXPECT_EQ(readU64(bytes, 16), original_.size());
  EXPECT_EQ(readU32(bytes, 28), 1u);
  EXPECT_EQ(readU64(bytes, 56), checksum64(std::span(bytes).first(56)));
  const std::uint64_t length = readU64(bytes, 32);
  std::uint64_t digest = fold(0, length);
  std::size_t at = 64;
  std::uint32_t records = 0;
  std::size_t changes = 0;
  for (; at < length; ++records) {
    const std::uint32_t page = readU32(bytes, at);
    const std::size_t count = readU16(bytes, at + 4);
    EXPECT_EQ(readU16(bytes, at + 6), 0u);
    for (std::size_t i = 0; i < count; ++i) {
      const std::size_t offset = readU16(bytes, at + 8 + 4 * i);
      EXPECT_EQ(original_[page * 4096 + offset] ^ changed_[page * 4096 + offset],
                bytes[at + 10 + 4 * i]);
      EXPECT_EQ(bytes[at + 11 + 4 * i], 0u);
    }
    const std::size_t image = at + 8 + 4 * count;
    EXPECT_TRUE(std::equal(bytes.begin() + image, bytes.begin() + image + 4096,
                           original_.begin() + page * 4096));
    EXPECT_EQ(readU64(bytes, image + 4096),
              checksum64(std::span(bytes).subspan(at, image + 4096 - at)));
    digest = fold(digest, readU64(bytes, image + 4096));
    changes += count;
    at = image + 4096 + 8;
  }
  EXPECT_EQ(at, length);
  EXPECT_EQ(changes, changes_.size());
  EXPECT_EQ(readU32(bytes, 24), records);
  EXPECT_EQ(std::string(bytes.begin() + at, bytes.begin() + at + 8), "LWCOMMIT");
  EXPECT_EQ(readU32(bytes, at + 8), records);
  EXPECT_EQ(readU32(bytes, at + 12), 0u);
  EXPECT_EQ(readU64(bytes, at + 16), digest);
  EXPECT_EQ(readU64(bytes, at + 24), checksum64(std::span(bytes).subspan(at, 24)));
  EXPECT_EQ(bytes.size(), at + 32);
}

// So is one whose header lost its committed mark while its commit block is whole.
TEST_F(JournalTest, ACompleteJournalIsRolledBackAtTheNextOpen) {
  struct Crash {
    WriteStep step;
    std::size_t count = 0;
    bool markLost = false;
  };
  for (const Crash& crash : {Crash{WriteStep::JournalCommitted},
                             {WriteStep::PageWritten, 1},
                             {WriteStep::PageWritten, 5},
                             {WriteStep::FileSynced},
                             {WriteStep::PageWritten, 3, true}}) {
    writeBytes(path_, original_);
    testing::crashAt(path_, changes_, crash.step, crash.count);
    ASSERT_TRUE(fileExists(journal_));
    if (crash.markLost) {
      writeBytes(journal_, withHeader(readBytes(journal_),
                                      [](Bytes& b) { writeU32(b, journal::kCommittedAt, 0); }));
    }
    EXPECT_EQ(openFailure(), "");
    EXPECT_FALSE(fileExists(journal_));
    EXPECT_TRUE(readBytes(path_) == original_);
  }
  // The next statement rolls a leftover journal back first, then finds its rows as they were.
  testing::crashAt(path_, changes_, WriteStep::FileSynced, 0);
  EXPECT_TRUE(readBytes(path_) == changed_);
  EXPECT_EQ(testing::writeFlagsOf(path_, changes_).rowsChanged, changes_.size());
  EXPECT_TRUE(readBytes(path_) == changed_);
  EXPECT_FALSE(fileExists(journal_));
}

// A journal that was never committed belongs to a statement that never wrote: it is thrown
// away and the file is left as it is. So is one whose header says it is committed without the
// commit block that the same sync should have made durable, as a power loss then may leave.
TEST_F(JournalTest, ATornJournalIsDiscardedWithoutTouchingTheFile) {
  testing::crashAt(path_, changes_, WriteStep::JournalCommitted, 0);
  const auto committed = readBytes(journal_);
  const auto uncommitted = withHeader(committed, [](auto& b) { b[journal::kCommittedAt] = 0; });
  const auto commitAt = static_cast<std::ptrdiff_t>(committed.size() - journal::kCommitSize);
  for (const auto& torn : std::vector<std::vector<std::uint8_t>>{
           {},
           {committed.begin(), committed.begin() + 40},
           {uncommitted.begin(), uncommitted.begin() + commitAt / 2},
           {uncommitted.begin(), uncommitted.begin() + commitAt},
           {committed.begin(), committed.begin() + commitAt},
           {committed.begin(), committed.end() - 1}}) {
    SCOPED_TRACE("journal of " + std::to_string(torn.size()) + " bytes");
    writeBytes(journal_, torn);
    EXPECT_EQ(openFailure(), "");
    EXPECT_FALSE(fileExists(journal_));
    EXPECT_EQ(readBytes(path_), original_);
  }
  // Once any one page holds part of the statement, a committed mark without its commit block is
  // no longer torn: the page is put back and the journal kept.
  const Bytes noCommit(committed.begin(), committed.begin() + commitAt);
  for (const RecordAt& record : recordsOf(committed)) {
    auto partly = original_;
    for (const auto& difference : testing::differences(original_, changed_)) {
      if (difference.offset / 4096 == record.page) partly[difference.offset] ^= difference.bits;
    }
    writeBytes(path_, partly);
    writeBytes(journal_, noCommit);
    expectKept(original_, noCommit, "its end does not match its header");
  }
}

// A committed journal that does not read back whole may belong to a statement that wrote some
// pages: what its intact records prove is rolled back, the open is refused and the journal kept.
TEST_F(JournalTest, ADamagedJournalIsRolledBackAsFarAsItGoesAndKept) {
  testing::crashAt(path_, changes_, WriteStep::PageWritten, 3);
  const auto halfway = readBytes(path_);
  const auto journal = readBytes(journal_);
  const std::vector<RecordAt> records = recordsOf(journal);
  const std::string all = std::to_string(records.size());
  std::set<std::uint32_t> pages;
  for (const RecordAt& record : records) pages.insert(record.page);
  const RecordAt &first = records[0], &second = records[1];
  const std::size_t length = readU64(journal, journal::kLengthAt);

  struct Damage {
    std::string what;
    Bytes bytes;
    std::set<std::uint32_t> mayStayNew;  // pages whose records cannot be read back
    std::string reason;
  };
  const auto edited = [&](const Edit& edit) {
    Bytes bytes = journal;
    edit(bytes);
    return bytes;
  };
  std::vector<Damage> damages = {
      {"a flipped bit in a record",
       edited([&](Bytes& b) { b[second.at + 500] ^= 0x10; }),
       {second.page},
       "its record 2 of " + all + " does not read back whole"},
      {"a flipped bit in the commit block",
       edited([&](Bytes& b) { b[length + 12] ^= 0x01; }),
       {},
       "its end does not match its header"},
      {"only its commit block",
       {journal.end() - journal::kCommitSize, journal.end()},
       pages,
       "its header is damaged"},
      {"a cut end",
       {journal.begin(), journal.end() - journal::kCommitSize - 100},
       {},
       "is damaged"},
      {"no commit block, the header committed",
       {journal.begin(), journal.begin() + length},
       {},
       "its end does not match its header"},
      // Two whole records in another order than the commit's.
      {"two records swapped",
       edited([&](Bytes& b) {
         std::copy(journal.begin() + second.at, journal.begin() + second.at + second.size,
                   b.begin() + first.at);
         std::copy(journal.begin() + first.at, journal.begin() + second.at,
                   b.begin() + first.at + second.size);
       }),
       {},
       "its end does not match its header"},
      {"a record of the page past the end",
       sealed(journal,
              [&](Bytes& b) {
                writeU32(b, second.at, static_cast<std::uint32_t>(original_.size() / 4096));
              }),
       {std::next(pages.begin()), pages.end()},
       std::to_string(records.size() - 1) + " of its " + all +
           " records do not read back whole, the first of them record 2"}};
  // The last byte a record's checksum covers, where that is not a whole number of words.
  const auto odd = std::find_if(records.begin(), records.end(),
                                [](const RecordAt& record) { return record.changes % 2 == 1; });
  ASSERT_NE(odd, records.end());
  damages.push_back({"the last byte a record's checksum covers",
                     edited([&](Bytes& b) { b[odd->at + odd->size - 9] ^= 0x01; }),
                     {odd->page},
                     "its record " + std::to_string(odd - records.begin() + 1) + " of " + all});
  // A flipped bit in each field of the header, and fields no writer writes.
  for (const std::size_t at : {12, 16, 24, 28, 32, 40, 55, 56}) {
    damages.push_back({"a flipped bit at " + std::to_string(at),
                       edited([&](Bytes& b) { b[at] ^= 0x01; }),
                       {},
                       "its header is damaged"});
  }
  for (const auto& [what, edit] : std::vector<std::pair<std::string, Edit>>{
           {"committed neither 0 nor 1", [](Bytes& b) { writeU32(b, journal::kCommittedAt, 2); }},
           {"a length inside the header", [](Bytes& b) { writeU64(b, journal::kLengthAt, 32); }},
           {"more records than the file has pages", [&](Bytes& b) {
              writeU32(b, journal::kRecordsAt,
                       static_cast<std::uint32_t>(original_.size() / 4096 + 1));
            }}}) {
    damages.push_back({what, withHeader(journal, edit), {}, "its header is damaged"});
  }
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.what);
    writeBytes(path_, halfway);
    writeBytes(journal_, damage.bytes);
    ErrorKind kind = ErrorKind::General;
    EXPECT_THAT(openFailure(&kind), ::testing::HasSubstr(damage.reason));
    EXPECT_EQ(kind, ErrorKind::PendingRollback);
    EXPECT_EQ(readBytes(journal_), damage.bytes);
    for (const auto& difference : testing::differences(original_, readBytes(path_))) {
      EXPECT_TRUE(damage.mayStayNew.contains(static_cast<std::uint32_t>(difference.offset / 4096)))
          << "offset " << difference.offset;
    }
  }
}

// Records no statement writes are refused even with every checksum good (as a bug or a forger
// would make them), and so are pages that are no longer what the journal says: nothing is
// written and the journal stays. So is a committed header without its commit block whose
// record cannot be read back: its page is not proved untouched.
TEST_F(JournalTest, WhatNoStatementWritesIsRefusedWhateverItsChecksums) {
  testing::crashAt(path_, changes_, WriteStep::JournalCommitted, 0);
  const auto journal = readBytes(journal_);
  const std::vector<RecordAt> records = recordsOf(journal);
  ASSERT_GT(records.size(), 2u);
  const RecordAt &first = records[0], &second = records[1];
  ASSERT_GE(second.changes, 2u);
  const std::size_t length = readU64(journal, journal::kLengthAt);
  // Offsets in the second record: its first and last change, its image.
  const std::size_t change = second.at + journal::kRecordHead;
  const std::size_t lastChange = change + (second.changes - 1) * journal::kChangeSize;
  const std::size_t image = change + second.changes * journal::kChangeSize;
  auto grown = original_;
  grown.resize(grown.size() + 4096);
  auto noLongerData = original_;
  noLongerData[second.page * 4096] ^= 0x02;

  struct Forgery {
    std::string what;
    Bytes journal;
    Bytes file;
    std::string reason;
  };
  const auto forged = [&](const std::string& what, const Edit& edit,
                          const std::string& reason = "the first of them record 2") {
    return Forgery{what, sealed(journal, edit), original_, reason};
  };
  // The first change names the page's first byte, where a data page says what it is.
  const Edit typeByte = [&](Bytes& b) {
    writeU16(b, change, 0);
    b[change + journal::kChangeMaskAt] = 0x02;
  };
  const std::vector<Forgery> forgeries = {
      forged("a record of page 0", [&](Bytes& b) { writeU32(b, second.at, 0); }),
      forged("two records of one page", [&](Bytes& b) { writeU32(b, second.at, first.page); }),
      forged("a change at the page's end", [&](Bytes& b) { writeU16(b, lastChange, 4096); }),
      forged("a change naming a byte twice",
             [&](Bytes& b) { writeU16(b, change + journal::kChangeSize, readU16(b, change)); }),
      forged("a change of no bit", [&](Bytes& b) { b[change + journal::kChangeMaskAt] = 0; }),
      forged(
          "a saved original that is not a data page",
          [&](Bytes& b) {
            typeByte(b);
            b[image] ^= 0x02;
          },
          "has since been changed"),
      {"a page that is no longer a data page", sealed(journal, typeByte), noLongerData,
       "has since been changed"},
      forged(
          "a commit block counting another number of records",
          [&](Bytes& b) { writeU32(b, length + journal::kCommitRecordsAt, 1); },
          "its end does not match its header"),
      {"records that end before the header's length, no commit block",
       withHeader({journal.begin(), journal.begin() + length},
                  [&](Bytes& b) { writeU64(b, journal::kLengthAt, length + 4096); }),
       original_, "its end does not match its header"},
      {"no commit block and a record that does not read back whole",
       [&] {
         Bytes b(journal.begin(), journal.begin() + length);
         b[image + 100] ^= 0x04;
         return b;
       }(),
       original_,
       "its record 2 of " + std::to_string(records.size()) + " does not read back whole"},
      {"a file whose size changed since", journal, grown, "the file's size has changed since"}};
  for (const Forgery& forgery : forgeries) {
    SCOPED_TRACE(forgery.what);
    writeBytes(path_, forgery.file);
    writeBytes(journal_, forgery.journal);
    expectKept(forgery.file, forgery.journal, forgery.reason);
  }
}

// A journal with Leafward's mark in a layout this program does not read (the first layout had
// a 40-byte header and no commit block) is never taken for a torn one: the file is refused and
// the journal kept, by a reader and by the writer alike.
TEST_F(JournalTest, AJournalInAnotherLayoutIsKeptAndTheFileRefused) {
  testing::crashAt(path_, changes_, WriteStep::PageWritten, 3);
  const auto halfway = readBytes(path_);
  const auto current = readBytes(journal_);
  std::vector<std::uint8_t> older(current.begin(), current.begin() + 40);
  writeU32(older, journal::kVersionAt, 1);
  writeU32(older, 28, 0);
  writeU64(older, 32, checksum64(std::span(older).first(32)));
  older.insert(older.end(), current.begin() + journal::kHeaderSize,
               current.end() - journal::kCommitSize);
  writeBytes(journal_, older);
  ErrorKind kind = ErrorKind::General;
  EXPECT_THAT(openFailure(&kind), ::testing::HasSubstr("layout"));
  EXPECT_EQ(kind, ErrorKind::PendingRollback);
  EXPECT_THROW(testing::writeFlagsOf(path_, changes_), DataAccessError);
  EXPECT_EQ(readBytes(journal_), older);
  EXPECT_EQ(readBytes(path_), halfway);
}

// A writer may get in between a reader's recovery and its taking its lock again, and be killed
// there: the reader looks for a journal again once it holds its lock.
TEST_F(JournalTest, AJournalLeftWhileAReaderRecoveredIsRecoveredToo) {
  testing::crashAt(path_, changes_, WriteStep::FileSynced, 0);
  static std::vector<std::uint8_t> secondJournal;
  static std::string journalPath;
  static bool left;
  secondJournal = readBytes(journal_);
  journalPath = journal_;
  left = false;
  setWriteStepHook([](WriteStep step, std::size_t) {
    if (step != WriteStep::JournalRemoved || left) return;
    left = true;
    writeBytes(journalPath, secondJournal);
  });
  EXPECT_EQ(openFailure(), "");
  setWriteStepHook(nullptr);
  EXPECT_TRUE(left);
  EXPECT_FALSE(fileExists(journal_));
  EXPECT_EQ(readBytes(path_), original_);
}

// A journal whose header is damaged and that has no commit block was never committed, so its
// statement never wrote: a flag found changed on a page it records was changed by another
// program, and is not undone. Nothing is written, and the journal is kept.
TEST_F(JournalTest, AnUncommittedJournalNeverUndoesAnotherProgramsChange) {
  testing::crashAt(path_, changes_, WriteStep::JournalSynced, 0);
  auto journal = readBytes(journal_);
  ASSERT_EQ(journal.size(), readU64(journal, journal::kLengthAt));
  journal[journal::kRecordsAt] ^= 0x01;
  writeBytes(journal_, journal);
  auto edited = original_;
  const testing::ByteDifference flag = testing::differences(original_, changed_).front();
  edited[flag.offset] ^= flag.bits;
  writeBytes(path_, edited);
  ErrorKind kind = ErrorKind::General;
  EXPECT_THAT(openFailure(&kind), ::testing::HasSubstr("changed by another program"));
  EXPECT_EQ(kind, ErrorKind::PendingRollback);
  EXPECT_EQ(readBytes(path_), edited);
  EXPECT_EQ(readBytes(journal_), journal);
}

// Nothing is written when any page the journal records holds a bit the statement does not flip
// changed since: every page is checked before the first is put back.
TEST_F(JournalTest, RollbackStopsWhenAnotherProgramChangedThePagesSince) {
  testing::crashAt(path_, changes_, WriteStep::PageWritten, 3);
  const auto halfway = readBytes(path_);
  const auto journal = readBytes(journal_);
  const std::uint32_t last = recordsOf(journal).back().page;
  for (int bit = 0; bit < 8; ++bit) {
    auto edited = halfway;
    edited[std::uint64_t{last} * 4096 + 100] ^= static_cast<std::uint8_t>(1u << bit);
    writeBytes(path_, edited);
    expectKept(edited, journal, "changed by another program");
  }
}

#ifndef _WIN32  // Windows lets no other program open the file for writing while it is changed
// A program that ignores Leafward's lock flips one of the statement's bits once its journal is
// committed: the writer finds it before it writes that page, and puts back what it wrote.
TEST_F(JournalTest, ABitChangedByAProgramIgnoringTheLockStopsTheStatement) {
  static std::string file;
  static testing::ByteDifference last;
  file = path_;
  last = testing::differences(original_, changed_).back();
  setWriteStepHook([](WriteStep step, std::size_t) {
    if (step != WriteStep::JournalCommitted) return;
    auto bytes = readBytes(file);
    bytes[last.offset] ^= last.bits;
    writeBytes(file, bytes);
  });
  ErrorKind kind = ErrorKind::General;
  try {
    testing::writeFlagsOf(path_, changes_);
    ADD_FAILURE() << "the statement ran to its end";
  } catch (const DataAccessError& error) {
    kind = error.kind();
    EXPECT_THAT(error.what(), ::testing::HasSubstr("left as it was"));
  }
  setWriteStepHook(nullptr);
  EXPECT_EQ(kind, ErrorKind::ChangedSinceRead);
  EXPECT_TRUE(readBytes(path_) == original_);
  EXPECT_FALSE(fileExists(journal_));
}

// Such a program changes a page while a rollback puts pages back, after every page was checked:
// the rollback stops before that page, and the journal stays.
TEST_F(JournalTest, APageChangedWhileItIsPutBackStopsTheRollback) {
  namespace faults = platform::faults;
  testing::crashAt(path_, changes_, WriteStep::PageWritten, 3);
  const auto journal = readBytes(journal_);
  static std::string file;
  static std::uint64_t offset;
  file = platform::canonicalPath(path_);
  offset = std::uint64_t{recordsOf(journal).back().page} * 4096 + 100;
  faults::reset();
  faults::watch([](faults::Operation operation, const std::string& path) {
    if (operation != faults::Operation::Write || path != file) return;
    faults::watch(nullptr);  // at the rollback's first write
    auto bytes = readBytes(file);
    bytes[offset] ^= 0x01;
    writeBytes(file, bytes);
  });
  ErrorKind kind = ErrorKind::General;
  EXPECT_THAT(openFailure(&kind), ::testing::HasSubstr("changed while it was undone"));
  faults::reset();
  EXPECT_EQ(kind, ErrorKind::PendingRollback);
  EXPECT_EQ(readBytes(journal_), journal);
  EXPECT_EQ(readBytes(path_)[offset], original_[offset] ^ 0x01);
}
#endif

// Memory never follows the journal's size: a whole journal padded to 64 GiB (a sparse file) is
// read record by record, found longer than it says, and kept.
TEST_F(JournalTest, AHugeJournalIsNotReadWhole) {
  testing::crashAt(path_, changes_, WriteStep::JournalCommitted, 0);
  testing::growSparse(journal_, std::uintmax_t{64} << 30);
  EXPECT_THAT(openFailure(), ::testing::HasSubstr("longer than it says"));
  EXPECT_EQ(readBytes(path_), original_);
  EXPECT_TRUE(fileExists(journal_));
  fs::remove(journal_);
}

// A reader that meets a writer waits a few seconds, then says the file is being updated.
TEST_F(JournalTest, AReaderThatMeetsAWriterSaysTheFileIsBeingUpdated) {
  {
    platform::File writer = platform::File::open(path_, platform::FileAccess::ReadWrite);
    ASSERT_TRUE(writer.tryLock(platform::LockKind::Exclusive));
    ErrorKind kind = ErrorKind::General;
    EXPECT_THAT(openFailure(&kind), ::testing::HasSubstr("is being updated"));
    EXPECT_EQ(kind, ErrorKind::BeingUpdated);
  }
  EXPECT_EQ(openFailure(), "");
}

#ifndef _WIN32  // named pipes and symbolic links in the file system are POSIX's
TEST_F(JournalTest, SpecialFilesBesideTheFileNeverHangACommand) {
  ASSERT_EQ(::mkfifo(journal_.c_str(), 0600), 0);
  EXPECT_THAT(openFailure(), ::testing::HasSubstr("not a regular file"));
  fs::remove(journal_);
  // A link to nothing under the journal's name: a reader refuses it as the writer does.
  fs::create_symlink(folder_.file("nowhere"), journal_);
  EXPECT_THAT(openFailure(), ::testing::HasSubstr("not a regular file"));
  EXPECT_THROW(testing::writeFlagsOf(path_, changes_), DataAccessError);
  EXPECT_EQ(readBytes(path_), original_);
  fs::remove(journal_);
  const std::string lockFile = folder_.file("overflow-2k.ldb");
  ASSERT_EQ(::mkfifo(lockFile.c_str(), 0600), 0);
  testing::expectRefused(path_, changes_, ErrorKind::InUse);
}

// The journal is named after the file, not after the path that led to it: a statement killed
// through a link leaves it beside the file, and opening the file through the link again finds
// it. It is readable by whoever may read the file: its permissions are the file's.
TEST_F(JournalTest, TheJournalIsTheFilesWhateverPathLedThere) {
  testing::TempDir elsewhere;
  const std::string link = elsewhere.file("link.mdb");
  fs::create_symlink(path_, link);
  fs::permissions(path_, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                             fs::perms::group_write);
  testing::crashAt(link, changes_, WriteStep::PageWritten, 2);
  EXPECT_FALSE(fileExists(link + ".leafward-journal"));
  ASSERT_TRUE(fileExists(journal_));
  EXPECT_EQ(fs::status(journal_).permissions(), fs::status(path_).permissions());
  openJetSession(link);
  EXPECT_EQ(readBytes(path_), original_);
  EXPECT_FALSE(fileExists(journal_));
}
#endif

}  // namespace
}  // namespace leafward::jet
