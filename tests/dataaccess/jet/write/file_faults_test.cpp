// Faults at the file seam under a statement. Whichever open, read, write, sync, size, lock or
// remove fails, and however (an input/output error, a full disk, a short write, a read-only
// medium), the file ends as it was or as the statement made it, the writer says which, and the
// journal stays exactly while the file may still hold part of the statement.
#include "platform/file_faults.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "dataaccess/jet/write/journal_format.h"
#include "platform/file.h"
#include "writer_test_support.h"

namespace leafward::jet {
namespace {

namespace faults = platform::faults;
using dataaccess::DataAccessError;
using faults::Fault;
using faults::Operation;
using testing::fileExists;
using ::testing::HasSubstr;
using testing::readBytes;

struct Outcome {
  bool done = false;
  std::string report;  // the failure, or the notice of a statement done
  bool faultMet = false;
};

class FileFaultTest : public testing::StatementTest {
 protected:
  void TearDown() override { faults::reset(); }

  // Runs the statement on the old file with a fault chosen, counted from after the session's read.
  Outcome runWith(Operation operation, std::size_t nth, Fault fault, bool persistent = false) {
    testing::writeBytes(path_, original_);
    const testing::OpenDatabase open(path_);
    faults::reset();
    faults::failAt(operation, nth, fault, persistent);
    Outcome outcome;
    try {
      const FlagWriteResult result = writeFlags(open.target("code", "bend"), changes_);
      EXPECT_EQ(result.rowsChanged, changes_.size());
      outcome = {true, result.notice};
    } catch (const DataAccessError& error) {
      outcome.report = error.what();
    }
    outcome.faultMet = faults::count(operation) >= nth;
    faults::reset();
    return outcome;
  }

  // The file is the old one or the new one, as the writer said: now, or once the journal it
  // kept has been dealt with by the next open, after which none is left.
  void expectWholeAsReported(const Outcome& outcome) {
    if (fileExists(journal_)) {
      EXPECT_FALSE(outcome.done);
      EXPECT_THAT(outcome.report, HasSubstr("undone when the file is next opened"));
      EXPECT_EQ(openFailure(), "");
      EXPECT_FALSE(fileExists(journal_));
    }
    EXPECT_TRUE(readBytes(path_) == (outcome.done ? changed_ : original_)) << outcome.report;
  }
};

// One operation fails, at every place a statement makes one of its kind: the statement fails
// whole and is undone there and then, or it is done; a failure after the journal was committed
// says the file was left as it was.
TEST_F(FileFaultTest, AnyOneFailingOperationLeavesTheFileOldOrNew) {
  for (const auto& [operation, fault] : {std::pair{Operation::Write, Fault::IoError},
                                         {Operation::Write, Fault::NoSpace},
                                         {Operation::Write, Fault::ShortWrite},
                                         {Operation::Sync, Fault::IoError},
                                         {Operation::Remove, Fault::IoError},
                                         {Operation::Read, Fault::IoError},
                                         {Operation::Size, Fault::IoError},
                                         {Operation::Lock, Fault::IoError},
                                         {Operation::OpenForWriting, Fault::ReadOnly}}) {
    std::size_t failures = 0;
    for (std::size_t nth = 1;; ++nth) {
      SCOPED_TRACE("operation " + std::to_string(static_cast<int>(operation)) + ", fault " +
                   std::to_string(static_cast<int>(fault)) + ", number " + std::to_string(nth));
      const Outcome outcome = runWith(operation, nth, fault);
      EXPECT_FALSE(fileExists(journal_)) << outcome.report;
      expectWholeAsReported(outcome);
      if (!outcome.faultMet) {
        EXPECT_TRUE(outcome.done && outcome.report.empty()) << outcome.report;
        break;
      }
      if (outcome.done) {
        EXPECT_THAT(outcome.report, HasSubstr("may not be durable"));
      }
      failures += outcome.done ? 0 : 1;
    }
    EXPECT_GT(failures, 0u);
  }
}

// A disk that dies partway (every write, or every sync, from the nth on): when the writer
// cannot even undo the statement, the journal stays, and the next open (on a disk that works
// again) puts the old file back.
TEST_F(FileFaultTest, ADiskThatDiesPartwayLeavesWhatTheNextOpenUndoes) {
  for (const Operation operation : {Operation::Write, Operation::Sync}) {
    std::size_t kept = 0;
    for (std::size_t nth = 1;; ++nth) {
      SCOPED_TRACE("operation " + std::to_string(static_cast<int>(operation)) + " from number " +
                   std::to_string(nth));
      const Outcome outcome = runWith(operation, nth, Fault::IoError, true);
      kept += fileExists(journal_) ? 1 : 0;
      expectWholeAsReported(outcome);
      if (!outcome.faultMet) break;
    }
    EXPECT_GT(kept, 0u);
  }
}

// The statement is whole and durable in the file when only the folder's flush after the
// journal's removal fails: it is reported done, with a notice that the removal may not last.
TEST_F(FileFaultTest, AStatementWhoseLastFlushFailsIsReportedDone) {
  faults::failAt(Operation::Sync, 5, Fault::IoError);
  const FlagWriteResult result = testing::writeFlagsOf(path_, changes_);
  EXPECT_EQ(result.rowsChanged, changes_.size());
  EXPECT_THAT(result.notice, HasSubstr("may not be durable"));
  EXPECT_TRUE(readBytes(path_) == changed_);
  EXPECT_FALSE(fileExists(journal_));
}

// Each write, sync and remove comes in the order a crash anywhere needs: the journal's header
// and records are durable (with the journal's name) before its commit block is written, the
// commit block before any page of the file, and every page before the journal is removed. An
// open that rolls a statement back writes and syncs the file before it removes the journal; one
// that throws a torn journal away only removes it. Runs of writes to one file count as one.
TEST_F(FileFaultTest, EachSyncIsMadeWhereAndWhenItMustBe) {
  const std::string file = platform::canonicalPath(path_);
  const std::string folder = platform::parentFolder(journal_);
  const auto order = [&] {
    std::vector<std::string> steps;
    for (const faults::Change& change : faults::changes()) {
      const std::string what = change.operation == Operation::Write  ? "write "
                               : change.operation == Operation::Sync ? "sync "
                                                                     : "remove ";
      const std::string step = what + (change.path == journal_ ? "journal"
                                       : change.path == file   ? "file"
                                       : change.path == folder ? "folder"
                                                               : change.path);
      if (steps.empty() || steps.back() != step || change.operation != Operation::Write) {
        steps.push_back(step);
      }
    }
    return steps;
  };
  using Steps = std::vector<std::string>;
  faults::reset();
  EXPECT_EQ(testing::writeFlagsOf(path_, changes_).durability.fsyncs, 5u);
  EXPECT_EQ(order(),
            (Steps{"write journal", "sync journal", "sync folder", "write journal", "sync journal",
                   "write file", "sync file", "remove journal", "sync folder"}));
  // After the first syncs, only the commit block and the header's mark are written.
  const auto& changes = faults::changes();
  const auto commit =
      std::find(changes.begin(), changes.end(), faults::Change{Operation::Sync, folder, 0});
  ASSERT_GT(std::distance(commit, changes.end()), 2);
  EXPECT_EQ(commit[1], (faults::Change{Operation::Write, journal_, journal::kCommitSize}));
  EXPECT_EQ(commit[2], (faults::Change{Operation::Write, journal_, journal::kHeaderSize}));

  testing::writeBytes(path_, original_);
  testing::crashAt(path_, changes_, WriteStep::PageWritten, 2);
  faults::reset();
  EXPECT_EQ(openFailure(), "");
  EXPECT_EQ(order(), (Steps{"write file", "sync file", "remove journal", "sync folder"}));

  leaveTornJournal();
  faults::reset();
  EXPECT_EQ(openFailure(), "");
  EXPECT_EQ(order(), (Steps{"remove journal", "sync folder"}));
  EXPECT_TRUE(readBytes(path_) == original_);
}

// A reader that cannot write the file removes a torn journal holding its shared lock: no writer
// can get in meanwhile, put a journal of its own under that name, and have it removed as the
// torn one.
TEST_F(FileFaultTest, AReaderRemovesATornJournalOnlyUnderItsLock) {
  leaveTornJournal();
  static std::string file;
  static int writersLetIn;
  static int removals;
  file = path_;
  writersLetIn = 0;
  removals = 0;
  faults::reset();
  faults::failAt(Operation::OpenForWriting, 1, Fault::ReadOnly);  // the reader's only try
  setWriteStepHook([](WriteStep step, std::size_t) {
    if (step != WriteStep::JournalRemoved) return;
    ++removals;
    platform::File writer = platform::File::open(file, platform::FileAccess::ReadWrite);
    writersLetIn += writer.tryLock(platform::LockKind::Exclusive) ? 1 : 0;
  });
  EXPECT_EQ(openFailure(), "");
  setWriteStepHook(nullptr);
  EXPECT_EQ(removals, 1);
  EXPECT_EQ(writersLetIn, 0);
  EXPECT_FALSE(fileExists(journal_));
  EXPECT_TRUE(readBytes(path_) == original_);
}

// A torn journal (its statement never wrote) beside an intact file, where the journal cannot be
// removed (a read-only medium, or only the removal fails): the file is read, the journal left,
// and the session says so; an update is refused. A complete journal on a read-only medium is
// never thrown away: the file is refused.
TEST_F(FileFaultTest, ATornJournalThatCannotBeRemovedIsLeftAndTheFileRead) {
  for (const bool readOnly : {true, false}) {
    SCOPED_TRACE(readOnly ? "a read-only medium" : "the removal fails");
    leaveTornJournal();
    const auto torn = readBytes(journal_);
    if (readOnly) faults::failAt(Operation::OpenForWriting, 1, Fault::ReadOnly, true);
    faults::failAt(Operation::Remove, 1, Fault::ReadOnly, true);
    const auto session = openJetSession(path_);
    const auto rows = session->execute("SELECT ccode FROM code WHERE ccode LIKE '1%'").rows;
    ASSERT_TRUE(rows);
    EXPECT_GT(rows->rows.size(), 0u);
    const std::vector<std::string> notices = session->takeNotices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_THAT(notices[0], HasSubstr("left in place"));
    EXPECT_THROW(testing::writeFlagsOf(path_, changes_), DataAccessError);
    faults::reset();
    EXPECT_EQ(readBytes(journal_), torn);
    EXPECT_TRUE(readBytes(path_) == original_);
  }
  testing::crashAt(path_, changes_, WriteStep::PageWritten, 3);
  const auto halfway = readBytes(path_);
  const auto complete = readBytes(journal_);
  faults::failAt(Operation::OpenForWriting, 1, Fault::ReadOnly, true);
  EXPECT_THAT(openFailure(), HasSubstr("read-only"));
  faults::reset();
  EXPECT_EQ(readBytes(journal_), complete);
  EXPECT_TRUE(readBytes(path_) == halfway);
}

}  // namespace
}  // namespace leafward::jet
