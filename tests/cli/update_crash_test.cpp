// leafward-cli update and undo killed at every step of their writes.
#include <gtest/gtest.h>

#include <algorithm>

#include "audit/statements.h"
#include "cli_run.h"
#include "connection/shared_connection.h"
#include "dataaccess/connection.h"
#include "record/record_file.h"
#include "support/files.h"

namespace leafward::cli {
namespace {

namespace fs = std::filesystem;
using testing::FixtureCopy;
using testing::readBytes;
using testing::runCli;
using testing::writeBytes;

constexpr const char* kMovedRows = "overflow-2k.mdb";

// The set with moved rows after one statement alone.
std::vector<std::uint8_t> afterStatementAlone(std::string_view statement) {
  FixtureCopy copy(kMovedRows);
  dataaccess::Connection connection;
  connection.open(connection::accessConnectionString(copy.path()));
  connection.execute(statement);
  return readBytes(copy.path());
}

// leafward-cli `command` on the copy, killed at the write step `step`.
testing::CliRun killedAt(const std::string& command, const FixtureCopy& copy, std::size_t step) {
  return runCli({command, copy.path()}, copy.dir(),
                {{"LEAFWARD_TEST_KILL_AT_WRITE_STEP", std::to_string(step)}});
}

enum class Image { Old, FirstRepairDone, BothRepairsDone, Neither };

// `leafward-cli update` killed at every step of its writes, one run per step, on a set with
// moved rows. Whatever the step, the next open sees each repair statement either whole or
// not at all, and no other byte of the file changed: the file equals one of three images.
class UpdateCrashTest : public ::testing::Test {
 protected:
  void SetUp() override {
    old_ = readBytes(copy_.path());
    firstRepairDone_ = afterStatementAlone(audit::kClearNonLeafFlagsStatement);
    FixtureCopy both(kMovedRows);
    ASSERT_EQ(runCli({"update", both.path()}, both.dir()).exitCode, 0);
    bothRepairsDone_ = readBytes(both.path());
    ASSERT_NE(old_, firstRepairDone_);
    ASSERT_NE(firstRepairDone_, bothRepairsDone_);
  }

  Image imageOf(const std::vector<std::uint8_t>& bytes) const {
    if (bytes == old_) return Image::Old;
    if (bytes == firstRepairDone_) return Image::FirstRepairDone;
    if (bytes == bothRepairsDone_) return Image::BothRepairsDone;
    return Image::Neither;
  }

  std::string journal() const { return copy_.path() + ".leafward-journal"; }

  FixtureCopy copy_{kMovedRows};
  std::vector<std::uint8_t> old_, firstRepairDone_, bothRepairsDone_;
};

TEST_F(UpdateCrashTest, AKillAnywhereLeavesEachRepairWholeOrAbsent) {
  std::vector<Image> reopened;
  std::size_t halfWritten = 0;
  bool finished = false;
  for (std::size_t step = 1; step < 1000 && !finished; ++step) {
    writeBytes(copy_.path(), old_);
    const testing::CliRun run = killedAt("update", copy_, step);
    if (!run.killed) {
      // Past the last step: the update ran to its end.
      EXPECT_EQ(run.exitCode, 0) << run.err;
      EXPECT_EQ(imageOf(readBytes(copy_.path())), Image::BothRepairsDone);
      finished = true;
      break;
    }
    ASSERT_TRUE(run.killed) << "step " << step;
    if (imageOf(readBytes(copy_.path())) == Image::Neither) ++halfWritten;

    const testing::CliRun reopen =
        runCli({"query", copy_.path(), "SELECT ccode FROM code"}, copy_.dir());
    ASSERT_EQ(reopen.exitCode, 0) << reopen.err;
    const Image image = imageOf(readBytes(copy_.path()));
    ASSERT_NE(image, Image::Neither) << "step " << step;
    EXPECT_FALSE(fs::exists(journal())) << "step " << step;
    reopened.push_back(image);
  }
  ASSERT_TRUE(finished);
  // The first repair is complete before the second begins, and each completes at its end.
  EXPECT_TRUE(std::is_sorted(reopened.begin(), reopened.end()));
  EXPECT_GE(std::count(reopened.begin(), reopened.end(), Image::Old), 5);
  EXPECT_GE(std::count(reopened.begin(), reopened.end(), Image::FirstRepairDone), 5);
  EXPECT_EQ(reopened.back(), Image::BothRepairsDone);
  // Some kills really did leave pages half written for the next open to undo.
  EXPECT_GE(halfWritten, 3u);
}

enum class UndoImage { Repaired, NonLeafPutBack, Original, Neither };

// `leafward-cli undo` killed at every step of its writes, one run per step, on a set with
// moved rows: whatever the step, the next open sees each kind of flag put back whole or not at
// all, and the record still reads, the undo in it either finished or interrupted.
class UndoCrashTest : public ::testing::Test {
 protected:
  void SetUp() override {
    original_ = readBytes(copy_.path());
    nonLeafPutBack_ = afterStatementAlone(audit::setLeafFlagsStatement(false));
    ASSERT_EQ(runCli({"update", copy_.path()}, copy_.dir()).exitCode, 0);
    repaired_ = readBytes(copy_.path());
    recordPath_ = record().path;
    record_ = readBytes(recordPath_);
    ASSERT_NE(original_, nonLeafPutBack_);
    ASSERT_NE(nonLeafPutBack_, repaired_);
  }

  record::RecordReading record() const {
    return record::readRecord((copy_.dir() / "repairs").string(),
                              record::AccountSet::accessFile(copy_.path()));
  }

  UndoImage imageOf(const std::vector<std::uint8_t>& bytes) const {
    if (bytes == repaired_) return UndoImage::Repaired;
    if (bytes == nonLeafPutBack_) return UndoImage::NonLeafPutBack;
    if (bytes == original_) return UndoImage::Original;
    return UndoImage::Neither;
  }

  FixtureCopy copy_{kMovedRows};
  std::vector<std::uint8_t> original_, nonLeafPutBack_, repaired_, record_;
  std::string recordPath_;
};

TEST_F(UndoCrashTest, AKillAnywhereLeavesEachKindWholeOrAbsentAndTheRecordReadable) {
  std::vector<UndoImage> reopened;
  bool finished = false;
  for (std::size_t step = 1; step < 1000 && !finished; ++step) {
    writeBytes(copy_.path(), repaired_);
    writeBytes(recordPath_, record_);
    const testing::CliRun run = killedAt("undo", copy_, step);
    const record::RecordReading reading = record();
    ASSERT_EQ(reading.repairs.size(), 2u) << "step " << step;
    if (!run.killed) {
      EXPECT_EQ(run.exitCode, 0) << run.err;
      EXPECT_EQ(imageOf(readBytes(copy_.path())), UndoImage::Original);
      EXPECT_TRUE(reading.repairs[1].finished());
      finished = true;
      break;
    }
    EXPECT_FALSE(reading.repairs[1].finished()) << "step " << step;
    const testing::CliRun reopen =
        runCli({"query", copy_.path(), "SELECT ccode FROM code"}, copy_.dir());
    ASSERT_EQ(reopen.exitCode, 0) << reopen.err;
    const UndoImage image = imageOf(readBytes(copy_.path()));
    ASSERT_NE(image, UndoImage::Neither) << "step " << step;
    reopened.push_back(image);
  }
  ASSERT_TRUE(finished);
  EXPECT_TRUE(std::is_sorted(reopened.begin(), reopened.end()));
  EXPECT_GE(std::count(reopened.begin(), reopened.end(), UndoImage::Repaired), 5);
  EXPECT_GE(std::count(reopened.begin(), reopened.end(), UndoImage::NonLeafPutBack), 5);

  // An undo killed after its first kind of flag is taken up again: it puts back what is left,
  // without taking the flags the first run put back for flags changed since.
  writeBytes(copy_.path(), repaired_);
  writeBytes(recordPath_, record_);
  const auto halfWay = std::find(reopened.begin(), reopened.end(), UndoImage::NonLeafPutBack);
  killedAt("undo", copy_, static_cast<std::size_t>(halfWay - reopened.begin() + 1));
  ASSERT_EQ(imageOf(readBytes(copy_.path())), UndoImage::NonLeafPutBack);
  const testing::CliRun again = runCli({"undo", copy_.path()}, copy_.dir());
  EXPECT_EQ(again.exitCode, 0) << again.err;
  EXPECT_EQ(imageOf(readBytes(copy_.path())), UndoImage::Original);
  EXPECT_EQ(again.out.find("未恢复"), std::string::npos) << again.out;
  EXPECT_EQ(again.out.find("个非末级科目标志被恢复"), std::string::npos) << again.out;
  EXPECT_NE(again.out.find("个末级科目标志被恢复"), std::string::npos) << again.out;
}

}  // namespace
}  // namespace leafward::cli
