#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <set>

#include "dataaccess/jet/flag_scan.h"
#include "dataaccess/jet/flag_writer.h"
#include "dataaccess/jet/rollback_journal.h"
#include "dataaccess/jet/write_hooks.h"
#include "dataaccess/jet/write_refusal.h"
#include "support/jet_files.h"

namespace leafward::jet {
namespace {

using testing::fileExists;
using testing::readBytes;
using testing::TempDir;

// Where the forked writer kills itself; set before the fork.
WriteStep killStep = WriteStep::JournalSynced;
std::size_t killCount = 0;

void killAtChosenStep(WriteStep step, std::size_t count) {
  if (step == killStep && count == killCount) std::raise(SIGKILL);
}

// A statement over many pages of a file with moved rows, and the file before and after it.
class CrashRecoveryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = folder_.copyFixture("account-sets/overflow-2k.mdb");
    original_ = readBytes(path_);
    changed_ = original_;
    auto rows = scanFlags(path_, "code", "bend");
    std::set<std::uint32_t> pages;
    for (std::size_t i = 0; i < rows.size(); i += 9) {
      changes_.push_back({rows[i].entry, rows[i].value, !rows[i].value});
      changed_[rows[i].fileOffset] ^= rows[i].bit.mask;
      pages.insert(rows[i].location.page);
    }
    pageCount_ = pages.size();
  }

  // Runs the statement in a child that is killed at the step; true when it was killed.
  bool runKilledAt(WriteStep step, std::size_t count) {
    killStep = step;
    killCount = count;
    int status = testing::runInChild([&] {
      setWriteStepHook(&killAtChosenStep);
      writeFlags(path_, "code", "bend", changes_);
      return 0;
    });
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
  }

  TempDir folder_;
  std::string path_;
  std::vector<std::uint8_t> original_, changed_;
  std::vector<FlagChange> changes_;
  std::size_t pageCount_ = 0;
};

// After a kill at any step the next open sees either all the old flags or all the new ones,
// and every other byte of the file as it was.
TEST_F(CrashRecoveryTest, AKillAtAnyStepLeavesTheOldOrTheNewFlags) {
  ASSERT_GT(pageCount_, 20u);
  struct Point {
    WriteStep step;
    std::size_t count;
    Recovery recovery;
    bool newFlags;
  };
  std::vector<Point> points;
  // Every kind of step; of the per-page steps the first, second, middle and last two.
  for (std::size_t i : std::set<std::size_t>{1, 2, pageCount_ / 2, pageCount_ - 1, pageCount_}) {
    // Once the last record is written the journal is whole even before it is synced.
    points.push_back({WriteStep::JournalRecordWritten, i,
                      i < pageCount_ ? Recovery::DiscardedIncompleteJournal : Recovery::RolledBack,
                      false});
    points.push_back({WriteStep::PageWritten, i, Recovery::RolledBack, false});
  }
  points.push_back({WriteStep::JournalSynced, 0, Recovery::RolledBack, false});
  points.push_back({WriteStep::FileSynced, 0, Recovery::RolledBack, false});
  points.push_back({WriteStep::JournalRemoved, 0, Recovery::NothingToDo, true});

  for (const auto& point : points) {
    SCOPED_TRACE("step " + std::to_string(static_cast<int>(point.step)) + " count " +
                 std::to_string(point.count));
    testing::writeBytes(path_, original_);
    ASSERT_TRUE(runKilledAt(point.step, point.count));
    EXPECT_EQ(recoverIfNeeded(path_), point.recovery);
    EXPECT_FALSE(fileExists(journalPathFor(path_)));
    EXPECT_TRUE(readBytes(path_) == (point.newFlags ? changed_ : original_));
  }
}

TEST_F(CrashRecoveryTest, ATornJournalIsDiscardedWithoutTouchingTheFile) {
  ASSERT_TRUE(runKilledAt(WriteStep::JournalSynced, 0));
  std::string journal = journalPathFor(path_);
  auto complete = readBytes(journal);
  for (std::size_t length :
       {std::size_t{0}, std::size_t{40}, complete.size() / 2, complete.size() - 1}) {
    SCOPED_TRACE("journal cut to " + std::to_string(length));
    testing::writeBytes(journal, {complete.begin(), complete.begin() + length});
    EXPECT_EQ(recoverIfNeeded(path_), Recovery::DiscardedIncompleteJournal);
    EXPECT_FALSE(fileExists(journal));
    EXPECT_EQ(readBytes(path_), original_);
  }
  auto damaged = complete;
  damaged[complete.size() / 3] ^= 0x20;
  testing::writeBytes(journal, damaged);
  EXPECT_EQ(recoverIfNeeded(path_), Recovery::DiscardedIncompleteJournal);
  EXPECT_EQ(readBytes(path_), original_);
}

TEST_F(CrashRecoveryTest, RollbackStopsWhenAnotherProgramChangedThePagesSince) {
  ASSERT_TRUE(runKilledAt(WriteStep::PageWritten, 3));
  auto halfway = readBytes(path_);
  auto pages = readJournal(journalPathFor(path_));
  ASSERT_TRUE(pages.has_value());
  // Someone else rewrites a byte of a journaled page that the statement does not touch.
  auto edited = halfway;
  std::uint64_t page = pages->pages[1].page;
  edited[page * 4096 + 100] ^= 0xFF;
  testing::writeBytes(path_, edited);

  try {
    recoverIfNeeded(path_);
    ADD_FAILURE() << "the rollback went ahead";
  } catch (const WriteRefused& refused) {
    EXPECT_EQ(refused.reason(), WriteRefused::Reason::PendingRollback);
  }
  EXPECT_EQ(readBytes(path_), edited);
  EXPECT_TRUE(fileExists(journalPathFor(path_)));
}

TEST_F(CrashRecoveryTest, APendingRollbackOnAFileTheUserCannotWriteFailsTheOpen) {
  ASSERT_TRUE(runKilledAt(WriteStep::PageWritten, 2));
  auto halfway = readBytes(path_);
  std::function<int()> recoverAsReader = [&] {
    try {
      recoverIfNeeded(path_);
    } catch (const WriteRefused& refused) {
      return refused.reason() == WriteRefused::Reason::PendingRollback ? 0 : 3;
    }
    return 4;
  };
  int status;
  if (::geteuid() == 0) {
    ASSERT_EQ(::chmod(folder_.path().c_str(), 0755), 0);
    status = testing::runInChild([&] {
      if (::setgid(65534) != 0 || ::setuid(65534) != 0) return 2;
      return recoverAsReader();
    });
  } else {
    ASSERT_EQ(::chmod(path_.c_str(), 0444), 0);
    status = testing::runInChild(recoverAsReader);
    ASSERT_EQ(::chmod(path_.c_str(), 0644), 0);
  }
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(readBytes(path_), halfway);
  EXPECT_TRUE(fileExists(journalPathFor(path_)));

  EXPECT_EQ(recoverIfNeeded(path_), Recovery::RolledBack);
  EXPECT_EQ(readBytes(path_), original_);
  // Without a journal there is nothing to do, even on a file that cannot be written.
  ASSERT_EQ(::chmod(path_.c_str(), 0444), 0);
  EXPECT_EQ(recoverIfNeeded(path_), Recovery::NothingToDo);
}

// The next statement rolls a leftover journal back before it checks its rows, so rows read
// from the restored file are accepted.
TEST_F(CrashRecoveryTest, TheNextStatementRollsALeftoverJournalBackFirst) {
  ASSERT_TRUE(runKilledAt(WriteStep::FileSynced, 0));
  EXPECT_EQ(readBytes(path_), changed_);
  FlagWriteResult result = writeFlags(path_, "code", "bend", changes_);
  EXPECT_EQ(result.rowsChanged, changes_.size());
  EXPECT_EQ(readBytes(path_), changed_);
  EXPECT_FALSE(fileExists(journalPathFor(path_)));
}

}  // namespace
}  // namespace leafward::jet
