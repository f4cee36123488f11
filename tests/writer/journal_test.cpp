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

class JournalTest : public testing::StatementTest {
 protected:
  // The journal's bytes with the header edited and its checksum made good again.
  static std::vector<std::uint8_t> withHeader(
      std::vector<std::uint8_t> bytes,
      const std::function<void(std::vector<std::uint8_t>&)>& edit) {
    edit(bytes);
    writeU64(bytes, journal::kHeaderChecksumAt,
             checksum64(std::span(bytes).first(journal::kHeaderChecked)));
    return bytes;
  }
};

TEST_F(JournalTest, ACompleteJournalIsRolledBackAtTheNextOpen) {
  for (const auto& [step, count] : {std::pair{WriteStep::JournalCommitted, 0},
                                    {WriteStep::PageWritten, 1},
                                    {WriteStep::PageWritten, 5},
                                    {WriteStep::FileSynced, 0}}) {
    writeBytes(path_, original_);
    testing::crashAt(path_, changes_, step, static_cast<std::size_t>(count));
    ASSERT_TRUE(fileExists(journal_));
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
}

// A committed journal that does not read back whole may belong to a statement that wrote some
// pages: what its intact records prove is rolled back, the open is refused and the journal kept.
TEST_F(JournalTest, ADamagedJournalIsRolledBackAsFarAsItGoesAndKept) {
  testing::crashAt(path_, changes_, WriteStep::PageWritten, 3);
  const auto halfway = readBytes(path_);
  const auto journal = readBytes(journal_);
  // Where each record starts, and the page it holds.
  std::vector<std::size_t> at;
  std::vector<std::uint32_t> pages;
  for (std::size_t next = journal::kHeaderSize; next < readU64(journal, journal::kLengthAt);
       next += journal::recordSize(4096, readU16(journal, next + journal::kRecordChangesAt))) {
    at.push_back(next);
    pages.push_back(readU32(journal, next + journal::kRecordPageAt));
  }
  const std::size_t first = at[0], second = at[1], third = at[2];
  const auto withChecksum = [&](std::vector<std::uint8_t> bytes, std::size_t record,
                                std::size_t end) {
    const std::size_t checked = end - record - journal::kChecksumSize;
    writeU64(bytes, record + checked, checksum64(std::span(bytes).subspan(record, checked)));
    return bytes;
  };

  struct Damage {
    const char* what;
    std::vector<std::uint8_t> bytes;
    std::set<std::uint32_t> mayStayNew;  // pages whose records cannot be read back
  };
  auto flipped = journal;
  flipped[second + 500] ^= 0x10;  // inside the second record's image
  auto lastByte = journal;
  lastByte[third - 1] ^= 0x80;  // the second record's checksum
  auto badHeader = journal;
  badHeader[journal::kRecordsAt] ^= 0x01;
  const std::vector<std::uint8_t> cut(journal.begin(), journal.end() - journal::kCommitSize - 100);
  auto swapped = journal;  // two whole records in another order than the commit's
  std::copy(journal.begin() + second, journal.begin() + third, swapped.begin() + first);
  std::copy(journal.begin() + first, journal.begin() + second,
            swapped.begin() + first + (third - second));
  auto pastTheEnd = journal;
  writeU32(pastTheEnd, second + journal::kRecordPageAt,
           static_cast<std::uint32_t>(original_.size() / 4096));
  pastTheEnd = withChecksum(pastTheEnd, second, third);
  const std::vector<std::uint8_t> noCommit(journal.begin(), journal.end() - journal::kCommitSize);
  const std::set<std::uint32_t> fromSecond(pages.begin() + 1, pages.end());
  for (const Damage& damage :
       {Damage{"a flipped bit in a record", flipped, {pages[1]}},
        Damage{"a record's last byte flipped", lastByte, {pages[1]}},
        Damage{"a flipped bit in the header", badHeader, {}}, Damage{"a cut end", cut, {}},
        Damage{"no commit block, the header committed", noCommit, {}},
        Damage{"two records swapped", swapped, {}},
        Damage{"a record of the page past the end", pastTheEnd, fromSecond}}) {
    SCOPED_TRACE(damage.what);
    writeBytes(path_, halfway);
    writeBytes(journal_, damage.bytes);
    ErrorKind kind = ErrorKind::General;
    EXPECT_THAT(openFailure(&kind), ::testing::HasSubstr("is damaged"));
    EXPECT_EQ(kind, ErrorKind::PendingRollback);
    EXPECT_EQ(readBytes(journal_), damage.bytes);
    for (const auto& difference : testing::differences(original_, readBytes(path_))) {
      EXPECT_TRUE(damage.mayStayNew.contains(static_cast<std::uint32_t>(difference.offset / 4096)))
          << "offset " << difference.offset;
    }
  }

  // A forged record whose own checksum is good still does not match the commit, and its image
  // is not the page's: nothing is written.
  auto forged = journal;
  forged[second - 2000] ^= 0xFF;  // inside the first record's image
  forged = withChecksum(forged, first, second);
  writeBytes(path_, halfway);
  writeBytes(journal_, forged);
  EXPECT_THAT(openFailure(), ::testing::HasSubstr("has since been changed"));
  EXPECT_EQ(readBytes(path_), halfway);
  EXPECT_TRUE(fileExists(journal_));
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

TEST_F(JournalTest, RollbackStopsWhenAnotherProgramChangedThePagesSince) {
  testing::crashAt(path_, changes_, WriteStep::PageWritten, 3);
  auto edited = readBytes(path_);
  const std::uint32_t page = readU32(readBytes(journal_), journal::kHeaderSize);
  edited[std::uint64_t{page} * 4096 + 100] ^= 0xFF;  // a byte the statement does not touch
  writeBytes(path_, edited);
  ErrorKind kind = ErrorKind::General;
  EXPECT_THAT(openFailure(&kind), ::testing::HasSubstr("changed by another program"));
  EXPECT_EQ(kind, ErrorKind::PendingRollback);
  EXPECT_EQ(readBytes(path_), edited);
  EXPECT_TRUE(fileExists(journal_));
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
