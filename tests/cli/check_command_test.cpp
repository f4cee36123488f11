#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>

#include "support/fixtures.h"

namespace leafward::cli {
namespace {

using testing::FixtureCopy;
using testing::readFile;

struct CliRun {
  int exitCode = -1;
  std::string out, err;
};

// Runs `leafward-cli check FILE`, its output caught in files beside FILE.
CliRun check(const std::filesystem::path& file) {
  const auto outFile = file.parent_path() / "stdout.txt";
  const auto errFile = file.parent_path() / "stderr.txt";
  const std::string command = std::string("'") + LEAFWARD_CLI + "' check '" + file.string() +
                              "' >'" + outFile.string() + "' 2>'" + errFile.string() + "'";
  const int status = std::system(command.c_str());
  CliRun run;
  if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
  run.out = readFile(outFile);
  run.err = readFile(errFile);
  return run;
}

bool oneLine(const std::string& text) {
  return !text.empty() && text.find('\n') == text.size() - 1;
}

struct Expected {
  const char* fixture;
  int exitCode;
  friend void PrintTo(const Expected& e, std::ostream* os) { *os << e.fixture; }
};

class CliCheckTest : public ::testing::TestWithParam<Expected> {};

TEST_P(CliCheckTest, PrintsTheReportAndExitsByItsVerdict) {
  const Expected expected = GetParam();
  FixtureCopy copy(expected.fixture);
  const CliRun run = check(copy.path());
  if (testing::readerMissing(run.err)) GTEST_SKIP() << "no .mdb reader yet";
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
    ::testing::Values(Expected{"consistent.mdb", 0}, Expected{"spec-example.mdb", 1},
                      Expected{"scheme-mismatch.mdb", 1}, Expected{"no-scheme-tables.mdb", 1},
                      Expected{"odd-codes.mdb", 1}, Expected{"empty-code.mdb", 3},
                      Expected{"realistic-5k.mdb", 1}, Expected{"deleted-2k.mdb", 1}),
    [](const auto& info) {
      std::string name = info.param.fixture;
      name = name.substr(0, name.find('.'));
      std::erase(name, '-');
      return name;
    });

TEST(CliCheckTest, AFileThatCannotBeOpenedOrReadExitsTwoWithOneLineWhy) {
  FixtureCopy noCodeTable("testV1997.mdb", "jet-samples");
  const auto garbage = noCodeTable.dir() / "garbage.mdb";
  std::ofstream(garbage) << std::string(8192, '\x5a');
  for (const auto& file :
       {garbage, noCodeTable.dir() / "missing.mdb", std::filesystem::path(noCodeTable.path())}) {
    const CliRun run = check(file);
    EXPECT_EQ(run.exitCode, 2) << file;
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(oneLine(run.err)) << run.err;
    EXPECT_NE(run.err.find(file.filename().string()), std::string::npos) << run.err;
  }
}

}  // namespace
}  // namespace leafward::cli
