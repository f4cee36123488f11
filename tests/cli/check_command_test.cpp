#include <gtest/gtest.h>

#include "cli_run.h"

namespace leafward::cli {
namespace {

using testing::CliRun;
using testing::FixtureCopy;
using testing::FixtureExit;
using testing::oneLine;
using testing::runCli;

class CliCheckTest : public ::testing::TestWithParam<FixtureExit> {};

// Only a check without a verdict (exit 3) says why, on one line.
TEST_P(CliCheckTest, PrintsTheReportAndExitsByItsVerdict) {
  FixtureCopy copy(GetParam().fixture);
  const CliRun run = runCli({"check", copy.path()}, copy.dir());
  EXPECT_EQ(run.out, testing::expectedReport(GetParam().fixture));
  EXPECT_EQ(run.exitCode, GetParam().exitCode) << run.err;
  EXPECT_TRUE(run.exitCode == 3 ? oneLine(run.err) : run.err.empty()) << run.err;
}

const std::vector<FixtureExit> kChecked = {{"consistent.mdb", 0},      {"worked-example.mdb", 1},
                                           {"scheme-mismatch.mdb", 1}, {"no-scheme-tables.mdb", 1},
                                           {"odd-codes.mdb", 1},       {"empty-code.mdb", 3},
                                           {"realistic-5k.mdb", 1},    {"deleted-2k.mdb", 1}};
INSTANTIATE_TEST_SUITE_P(AccountSets, CliCheckTest, ::testing::ValuesIn(kChecked),
                         [](const auto& info) { return testing::testName(info.param.fixture); });

// A garbage file, a missing one, and (for check) a database without a code table: exit 2,
// one line naming the file, nothing on standard output; the same from each command.
TEST(CliCheckTest, AFileThatCannotBeOpenedOrReadExitsTwoWithOneLineWhy) {
  FixtureCopy noCodeTable("testV1997.mdb", "jet-samples");
  const std::string garbage = (noCodeTable.dir() / "garbage.mdb").string();
  const std::string missing = (noCodeTable.dir() / "missing.mdb").string();
  testing::writeBytes(garbage, std::vector<std::uint8_t>(8192, 0x5a));
  for (const std::vector<std::string>& args : {std::vector<std::string>{"check", garbage},
                                               {"check", missing},
                                               {"check", noCodeTable.path()},
                                               {"update", garbage},
                                               {"update", missing},
                                               {"query", garbage, "SELECT ccode FROM code"},
                                               {"query", missing, "SELECT ccode FROM code"}}) {
    SCOPED_TRACE(args[0] + " " + args[1]);
    const CliRun run = runCli(args, noCodeTable.dir());
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(oneLine(run.err)) << run.err;
    EXPECT_NE(run.err.find(std::filesystem::path(args[1]).filename().string()), std::string::npos)
        << run.err;
  }
  EXPECT_EQ(runCli({"update"}, noCodeTable.dir()).exitCode, 2);
}

// One line per row (none for no rows), values as stored; --code-page reads an Access 97 file's
// text in the code page given.
TEST(CliQueryTest, PrintsEachRowsValuesAsStored) {
  FixtureCopy consistent("consistent.mdb");
  const auto query = [&](const std::string& select) {
    return runCli({"query", consistent.path(), select}, consistent.dir());
  };
  EXPECT_EQ(query("SELECT ccode FROM code WHERE bend = 0").out, "1001\n1002\n100201\n");
  const CliRun none = query("SELECT ccode FROM code WHERE ccode = 'x'");
  EXPECT_EQ(none.exitCode, 0) << none.err;
  EXPECT_EQ(none.out, "");
  FixtureCopy samples("testV1997.mdb", "jet-samples");
  CliRun run = runCli({"query", samples.path(), "SELECT F, H FROM Table1"}, samples.dir());
  EXPECT_EQ(run.out, "0\t0\n444.555\t3.5\n") << run.err;

  FixtureCopy gbk("charsetGBK-V1997.mdb", "jet-samples");
  const std::string select = "SELECT field1 FROM table1";
  run = runCli({"query", "--code-page", "936", gbk.path(), select}, gbk.dir());
  EXPECT_EQ(run.out, "GBK编码\n") << run.err;
  EXPECT_EQ(runCli({"query", "--code-page=936", gbk.path(), select}, gbk.dir()).out, run.out);
  for (const auto& bad : {std::vector<std::string>{"query", "--code-page", "x", gbk.path(), select},
                          {"query", "--code-page"},
                          {"query", "--codepage=936", gbk.path(), select}}) {
    run = runCli(bad, gbk.dir());
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.starts_with("leafward-cli: ")) << run.err;
  }
}

}  // namespace
}  // namespace leafward::cli
