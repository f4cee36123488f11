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

enum class Image { Repaired, NonLeafPutBack, Original, Neither };

// `leafward-cli undo` killed at every step of its writes, one run per step, on a set with
// moved rows: whatever the step, the next open sees each kind of flag put back whole or not at
// all, and the record still reads, the undo in it either finished or interrupted.
class UndoCrashTest : public ::testing::Test {
 protected:
  void SetUp() override {
    original_ = readBytes(copy_.path());
    FixtureCopy leafOnly("overflow-2k.mdb");
    {
      dataaccess::Connection connection;
      connection.open(connection::accessConnectionString(leafOnly.path()));
      connection.execute(audit::setLeafFlagsStatement(false));
    }
    nonLeafPutBack_ = readBytes(leafOnly.path());
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

  Image imageOf(const std::vector<std::uint8_t>& bytes) const {
    if (bytes == repaired_) return Image::Repaired;
    if (bytes == nonLeafPutBack_) return Image::NonLeafPutBack;
    if (bytes == original_) return Image::Original;
    return Image::Neither;
  }

  FixtureCopy copy_{"overflow-2k.mdb"};
  std::vector<std::uint8_t> original_, nonLeafPutBack_, repaired_, record_;
  std::string recordPath_;
};

TEST_F(UndoCrashTest, AKillAnywhereLeavesEachKindWholeOrAbsentAndTheRecordReadable) {
  std::vector<Image> reopened;
  bool finished = false;
  for (std::size_t step = 1; step < 1000 && !finished; ++step) {
    writeBytes(copy_.path(), repaired_);
    writeBytes(recordPath_, record_);
    const testing::CliRun run =
        runCli({"undo", copy_.path()}, copy_.dir(),
               {{"LEAFWARD_TEST_KILL_AT_WRITE_STEP", std::to_string(step)}});
    const record::RecordReading reading = record();
    ASSERT_EQ(reading.repairs.size(), 2u) << "step " << step;
    if (!run.killed) {
      EXPECT_EQ(run.exitCode, 0) << run.err;
      EXPECT_EQ(imageOf(readBytes(copy_.path())), Image::Original);
      EXPECT_TRUE(reading.repairs[1].finished());
      finished = true;
      break;
    }
    EXPECT_FALSE(reading.repairs[1].finished()) << "step " << step;
    const testing::CliRun reopen =
        runCli({"query", copy_.path(), "SELECT ccode FROM code"}, copy_.dir());
    ASSERT_EQ(reopen.exitCode, 0) << reopen.err;
    const Image image = imageOf(readBytes(copy_.path()));
    ASSERT_NE(image, Image::Neither) << "step " << step;
    reopened.push_back(image);
  }
  ASSERT_TRUE(finished);
  EXPECT_TRUE(std::is_sorted(reopened.begin(), reopened.end()));
  EXPECT_GE(std::count(reopened.begin(), reopened.end(), Image::Repaired), 5);
  EXPECT_GE(std::count(reopened.begin(), reopened.end(), Image::NonLeafPutBack), 5);

  // An undo killed half way is taken up again: it puts back what is left.
  writeBytes(copy_.path(), repaired_);
  writeBytes(recordPath_, record_);
  const auto halfWay = std::find(reopened.begin(), reopened.end(), Image::NonLeafPutBack);
  const std::string step = std::to_string(halfWay - reopened.begin() + 1);
  runCli({"undo", copy_.path()}, copy_.dir(), {{"LEAFWARD_TEST_KILL_AT_WRITE_STEP", step}});
  ASSERT_EQ(imageOf(readBytes(copy_.path())), Image::NonLeafPutBack);
  const testing::CliRun again = runCli({"undo", copy_.path()}, copy_.dir());
  EXPECT_EQ(again.exitCode, 0) << again.err;
  EXPECT_EQ(imageOf(readBytes(copy_.path())), Image::Original);
  EXPECT_EQ(again.out.find("未恢复"), std::string::npos) << again.out;
  EXPECT_EQ(again.out.find("个非末级科目标志被恢复"), std::string::npos) << again.out;
  EXPECT_NE(again.out.find("个末级科目标志被恢复"), std::string::npos) << again.out;
}

}  // namespace
}  // namespace leafward::cli
