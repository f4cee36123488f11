// leafward-cli check and query on files, and how it reads its command line: help, version, "--",
// several account sets at once, and reasons kept on one line whatever the file names hold.
#include <gtest/gtest.h>

#include "cli/reasons.h"
#include "cli_run.h"

namespace leafward::cli {
namespace {

namespace fs = std::filesystem;
using testing::CliRun;
using testing::expectedReport;
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
  // Only queries: an update given to `query` is refused before it could change the file.
  const auto before = testing::readBytes(consistent.path());
  const CliRun update = query("update code Set [bend] = 0  where ccode = '2001'");
  EXPECT_EQ(update.exitCode, 2);
  EXPECT_NE(update.err.find("only SELECT"), std::string::npos) << update.err;
  EXPECT_EQ(testing::readBytes(consistent.path()), before);
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

// Copies of fixture account sets side by side in one folder, under names of the test's choice.
struct AccountSetFolder : testing::TempDir {
  std::string add(const std::string& fixture, const std::string& name) const {
    return copyFixture("account-sets/" + fixture, name);
  }
  fs::path dir() const { return path(); }
};

TEST(CliOptionsTest, HelpAndVersionGoToStandardOutput) {
  const testing::TempDir folder;
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--help"}, {"-h"}, {"check", "--help"}, {"update", "x", "-h"}}) {
    const CliRun run = runCli(args, folder.path());
    EXPECT_EQ(run.exitCode, 0) << args[0];
    EXPECT_TRUE(run.out.starts_with("usage: leafward-cli query ")) << run.out;
    EXPECT_EQ(run.err, "");
  }
  const CliRun version = runCli({"--version"}, folder.path());
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, std::string("leafward-cli ") + LEAFWARD_VERSION + "\n");
}

// Wrong usage: one line saying why, with the program's prefix, then the usage. A word after "--"
// is a file name, even "--help".
TEST(CliOptionsTest, WrongUsageSaysWhyOnOneLineThenShowsTheUsage) {
  const testing::TempDir folder;
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{},
        {"frobnicate"},
        {"check"},
        {"update", "--server", "x"},
        {"check", "--server", "x", "--database", "d", "f.mdb"},
        {"check", "--all-databases"},
        {"update", "-x"},
        {"query", "f.mdb"},
        {"query", "--code-page"},
        {"databases"},
        {"databases", "--server", "x", "extra"}}) {
    const CliRun run = runCli(args, folder.path());
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.out, "");
    const std::size_t lineEnd = run.err.find('\n');
    EXPECT_TRUE(run.err.starts_with("leafward-cli: ")) << run.err;
    EXPECT_TRUE(run.err.substr(lineEnd + 1).starts_with("usage: leafward-cli ")) << run.err;
    EXPECT_EQ(run.err.find("\nleafward-cli: "), std::string::npos) << run.err;
  }
  const CliRun help = runCli({"check", "--", "--help"}, folder.path());
  EXPECT_EQ(help.exitCode, 2);
  EXPECT_EQ(help.out, "");
  EXPECT_TRUE(oneLine(help.err) && help.err.starts_with("leafward-cli: cannot open --help"))
      << help.err;
}

// A file whose name begins with "-" is named after "--"; before it, such a word is refused.
TEST(CliOptionsTest, WordsAfterTheEndOfOptionsAreFileNames) {
  AccountSetFolder folder;
  folder.add("worked-example.mdb", "-x.mdb");
  const CliRun refused = runCli({"check", "-x.mdb"}, folder.dir());
  const CliRun checked = runCli({"check", "--", "-x.mdb"}, folder.dir());
  const CliRun queried =
      runCli({"query", "--", "-x.mdb", "SELECT ccode FROM code WHERE bend = 0"}, folder.dir());
  const CliRun updated = runCli({"update", "--", "-x.mdb"}, folder.dir());
  EXPECT_EQ(refused.exitCode, 2);
  EXPECT_NE(refused.err.find("unknown option '-x.mdb'"), std::string::npos) << refused.err;
  EXPECT_EQ(checked.exitCode, 1) << checked.err;
  EXPECT_EQ(checked.out, expectedReport("worked-example.mdb"));
  EXPECT_EQ(queried.exitCode, 0) << queried.err;
  EXPECT_EQ(queried.out, "100201\n");
  EXPECT_EQ(updated.exitCode, 0) << updated.err;
}

// Each account set's report under its heading, in the order given; one that cannot be opened
// does not stop the others, and the exit code is the worst: 2, then 3, then 1, then 0.
TEST(CliBatchTest, ChecksEachAccountSetUnderAHeadingAndExitsWithTheWorst) {
  AccountSetFolder folder;
  const std::string clean = folder.add("consistent.mdb", "clean.mdb");
  const std::string wrong = folder.add("worked-example.mdb", "wrong.mdb");
  const std::string noCodes = folder.add("empty-code.mdb", "no-codes.mdb");
  const std::string missing = (folder.dir() / "missing.mdb").string();

  const CliRun all = runCli({"check", clean, missing, wrong, noCodes}, folder.dir());
  EXPECT_EQ(all.exitCode, 2);
  EXPECT_EQ(all.out, "== " + clean + " ==\n" + expectedReport("consistent.mdb") + "== " + missing +
                         " ==\n== " + wrong + " ==\n" + expectedReport("worked-example.mdb") +
                         "== " + noCodes + " ==\n" + expectedReport("empty-code.mdb"));
  EXPECT_EQ(all.err, "leafward-cli: cannot open " + missing + ": The file " + missing +
                         " does not exist\nleafward-cli: the check of " + noCodes +
                         " ended without a verdict (the code table holds no codes)\n");

  EXPECT_EQ(runCli({"check", wrong, noCodes, clean}, folder.dir()).exitCode, 3);
  EXPECT_EQ(runCli({"check", clean, wrong}, folder.dir()).exitCode, 1);
  EXPECT_EQ(runCli({"check", clean, clean}, folder.dir()).exitCode, 0);
}

TEST(CliBatchTest, UpdatesTheOthersWhenOneIsRefused) {
  AccountSetFolder folder;
  const std::string indexed = folder.add("bend-indexed-1k.mdb", "indexed.mdb");
  const std::string wrong = folder.add("worked-example.mdb", "wrong.mdb");
  const CliRun run = runCli({"update", indexed, wrong}, folder.dir());
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_TRUE(oneLine(run.err)) << run.err;
  EXPECT_NE(run.err.find("cannot update " + indexed), std::string::npos) << run.err;
  EXPECT_NE(run.out.find("== " + wrong + " ==\n\n有 3个非末级科目标志被更新\n"), std::string::npos)
      << run.out;
  EXPECT_EQ(runCli({"check", wrong}, folder.dir()).out, "没有发现错误\n");
}

// A file name holding a line break or a terminal escape stays on one line, in a reason as in a
// heading.
TEST(CliReasonTest, ControlCharactersInNamesAreEscaped) {
#ifndef _WIN32  // Windows file names cannot hold control characters
  AccountSetFolder folder;
  const std::string broken = folder.add("consistent.mdb", "two\nlines.mdb");
  const std::string missing = (folder.dir() / "gone\x1b[31m\t.mdb").string();
  const auto escapedDir = escapeControlCharacters(folder.dir().string());
  const CliRun run = runCli({"update", broken, missing}, folder.dir());
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.out, "== " + escapedDir + "/two\\nlines.mdb ==\n\n== " + escapedDir +
                         "/gone\\x1B[31m\\t.mdb ==\n");
  EXPECT_TRUE(oneLine(run.err)) << run.err;
  EXPECT_NE(run.err.find("cannot open " + escapedDir + "/gone\\x1B[31m\\t.mdb"), std::string::npos)
      << run.err;
#endif

  EXPECT_EQ(escapeControlCharacters("a\r\x01\x7F\\b 科目\xC2\x9B\xC2\xA0"),
            "a\\r\\x01\\x7F\\b 科目\\u009B\xC2\xA0");
}

}  // namespace
}  // namespace leafward::cli
