#include <gtest/gtest.h>

#include <fstream>

#include "cli_run.h"
#include "support/fixture_names.h"

namespace leafward::cli {
namespace {

using testing::CliRun;
using testing::FixtureCopy;
using testing::oneLine;
using testing::runCli;

struct Expected {
  const char* fixture;
  int exitCode;
  friend void PrintTo(const Expected& e, std::ostream* os) { *os << e.fixture; }
};

class CliCheckTest : public ::testing::TestWithParam<Expected> {};

TEST_P(CliCheckTest, PrintsTheReportAndExitsByItsVerdict) {
  const Expected expected = GetParam();
  FixtureCopy copy(expected.fixture);
  const CliRun run = runCli({"check", copy.path()}, copy.dir());
  EXPECT_EQ(run.out, testing::expectedReport(expected.fixture));
  EXPECT_EQ(run.exitCode, expected.exitCode) << run.err;
  if (expected.exitCode == 3) {
    EXPECT_TRUE(oneLine(run.err)) << run.err;
  } else {
    EXPECT_EQ(run.err, "");
  }
}

INSTANTIATE_TEST_SUITE_P(
    AccountSets, CliCheckTest,
    ::testing::Values(Expected{"consistent.mdb", 0}, Expected{leafward::testing::kWorkedExample, 1},
                      Expected{"scheme-mismatch.mdb", 1}, Expected{"no-scheme-tables.mdb", 1},
                      Expected{"odd-codes.mdb", 1}, Expected{"empty-code.mdb", 3},
                      Expected{"realistic-5k.mdb", 1}, Expected{"deleted-2k.mdb", 1}),
    [](const auto& info) {
      std::string name = info.param.fixture;
      name = name.substr(0, name.find('.'));
      std::erase(name, '-');
      return name;
    });

// A garbage file, a missing one, and (for check) a database without a code table: exit 2,
// one line naming the file, nothing on standard output; the same from each command.
TEST(CliCheckTest, AFileThatCannotBeOpenedOrReadExitsTwoWithOneLineWhy) {
  FixtureCopy noCodeTable("testV1997.mdb", "jet-samples");
  const auto garbage = noCodeTable.dir() / "garbage.mdb";
  std::ofstream(garbage) << std::string(8192, '\x5a');
  const std::vector<std::vector<std::string>> runs = {
      {"check", garbage.string()},
      {"check", (noCodeTable.dir() / "missing.mdb").string()},
      {"check", noCodeTable.path()},
      {"update", garbage.string()},
      {"update", (noCodeTable.dir() / "missing.mdb").string()},
      {"query", garbage.string(), "SELECT ccode FROM code"},
      {"query", (noCodeTable.dir() / "missing.mdb").string(), "SELECT ccode FROM code"}};
  for (const auto& args : runs) {
    const CliRun run = runCli(args, noCodeTable.dir());
    EXPECT_EQ(run.exitCode, 2) << args[0] << " " << args[1];
    EXPECT_EQ(run.out, "") << args[0] << " " << args[1];
    EXPECT_TRUE(oneLine(run.err)) << run.err;
    EXPECT_NE(run.err.find(std::filesystem::path(args[1]).filename().string()), std::string::npos)
        << run.err;
  }
  EXPECT_EQ(runCli({"update"}, noCodeTable.dir()).exitCode, 2);
}

TEST(CliQueryTest, PrintsOneLinePerRowAndNothingForNoRows) {
  FixtureCopy consistent("consistent.mdb");
  CliRun run = runCli({"query", consistent.path(), "SELECT ccode FROM code WHERE bend = 0"},
                      consistent.dir());
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "1001\n1002\n100201\n");
  FixtureCopy empty("empty-code.mdb");
  run = runCli({"query", empty.path(), "SELECT ccode FROM code"}, empty.dir());
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "");
}

// Values print as stored; --code-page reads an Access 97 file's text in the code page given.
TEST(CliQueryTest, PrintsValuesAsStoredInTheCodePageGiven) {
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
