#include <gtest/gtest.h>

#include <algorithm>

#include "audit/statements.h"
#include "cli_run.h"
#include "connection/shared_connection.h"
#include "dataaccess/connection.h"
#include "support/files.h"

namespace leafward::cli {
namespace {

namespace fs = std::filesystem;
using testing::FixtureCopy;
using testing::readBytes;
using testing::runCli;
using testing::writeBytes;

enum class Image { Old, FirstRepairDone, BothRepairsDone, Neither };

// `leafward-cli update` killed at every step of its writes, one run per step, on a set with
// moved rows. Whatever the step, the next open sees each repair statement either whole or
// not at all, and no other byte of the file changed: the file equals one of three images.
class UpdateCrashTest : public ::testing::Test {
 protected:
  void SetUp() override {
    old_ = readBytes(copy_.path());
    FixtureCopy first("overflow-2k.mdb");
    {
      dataaccess::Connection connection;
      connection.open(connection::accessConnectionString(first.path()));
      connection.execute(audit::kClearNonLeafFlagsStatement);
    }
    firstRepairDone_ = readBytes(first.path());
    FixtureCopy both("overflow-2k.mdb");
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

  testing::CliRun updateKilledAt(std::size_t step) {
    return runCli({"update", copy_.path()}, copy_.dir(),
                  {{"LEAFWARD_TEST_KILL_AT_WRITE_STEP", std::to_string(step)}});
  }

  std::string journal() const { return copy_.path() + ".leafward-journal"; }

  FixtureCopy copy_{"overflow-2k.mdb"};
  std::vector<std::uint8_t> old_, firstRepairDone_, bothRepairsDone_;
};

TEST_F(UpdateCrashTest, AKillAnywhereLeavesEachRepairWholeOrAbsent) {
  std::vector<Image> reopened;
  std::size_t halfWritten = 0;
  bool finished = false;
  for (std::size_t step = 1; step < 1000 && !finished; ++step) {
    writeBytes(copy_.path(), old_);
    const testing::CliRun run = updateKilledAt(step);
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

}  // namespace
}  // namespace leafward::cli
