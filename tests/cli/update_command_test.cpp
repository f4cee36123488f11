#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>

#include "cli_run.h"
#include "support/files.h"
#include "support/oracle.h"

namespace leafward::cli {
namespace {

namespace fs = std::filesystem;
using testing::CliRun;
using testing::ExportedTable;
using testing::FixtureCopy;
using testing::oneLine;
using testing::readBytes;
using testing::runCli;

CliRun update(const std::string& file) {
  return runCli({"update", file}, fs::path(file).parent_path());
}

// The codes the fixture's check report lists after `prefix` (the wrong flags of one kind).
std::set<std::string> listedCodes(const std::string& fixture, const std::string& prefix) {
  std::istringstream report(testing::expectedReport(fixture));
  std::set<std::string> codes;
  for (std::string line, code; std::getline(report, line);) {
    if (!line.starts_with(prefix)) continue;
    std::istringstream list(line.substr(prefix.size()));
    while (std::getline(list, code, ',')) codes.insert(code);
  }
  return codes;
}

// With the exit code of a check after the update: 1 where the schemes still disagree, 3 where
// there are no codes.
class CliUpdateTest : public ::testing::TestWithParam<testing::FixtureExit> {};

// Update changes exactly the flags the fixture's check report lists as wrong, reports how many
// rows per direction, and leaves every other value of every table alone (compared through
// mdb-export); Check then finds no wrong flags, and a second Update nothing to do.
TEST_P(CliUpdateTest, RepairsExactlyTheWrongFlags) {
  LEAFWARD_NEEDS_MDBTOOLS();
  const char* fixture = GetParam().fixture;
  FixtureCopy copy(fixture);
  const auto before = testing::mdbExportEveryTable(copy.path());
  const auto nonLeaves = listedCodes(fixture, "如下非末级科目标志有误：");
  const auto leaves = listedCodes(fixture, "如下末级科目标志有误：");
  auto expected = before;
  ExportedTable& code = expected.at("code");
  const std::size_t ccode = code.columnIndex("ccode"), bend = code.columnIndex("bend");
  std::size_t nonLeafFixed = 0, leafFixed = 0;
  for (auto& row : code.rows) {
    if (nonLeaves.count(row[ccode]) && row[bend] == "1") row[bend] = "0", ++nonLeafFixed;
    // Check cannot list a NULL code, which has no sub-accounts: Update makes it a leaf too.
    const bool leaf = leaves.count(row[ccode]) || row[ccode].empty();
    if (leaf && row[bend] == "0") row[bend] = "1", ++leafFixed;
  }
  std::string expectedReport;
  for (const auto& [fixed, kind] : {std::pair{nonLeafFixed, "非末级"}, {leafFixed, "末级"}}) {
    if (fixed > 0)
      expectedReport += "\n有 " + std::to_string(fixed) + "个" + kind + "科目标志被更新";
  }

  const CliRun run = update(copy.path());
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, expectedReport + "\n");

  const auto after = testing::mdbExportEveryTable(copy.path());
  ASSERT_EQ(after.size(), expected.size());
  for (const auto& [name, table] : expected) {
    EXPECT_EQ(after.at(name).header, table.header) << name;
    EXPECT_EQ(after.at(name).rows, table.rows) << name;
  }

  const CliRun check = runCli({"check", copy.path()}, copy.dir());
  EXPECT_EQ(check.exitCode, GetParam().exitCode) << check.err;
  EXPECT_EQ(check.out.find("科目标志有误"), std::string::npos) << check.out;

  const auto repaired = readBytes(copy.path());
  const CliRun again = update(copy.path());
  EXPECT_EQ(again.exitCode, 0) << again.err;
  EXPECT_EQ(again.out, "\n");
  EXPECT_EQ(readBytes(copy.path()), repaired);
  EXPECT_FALSE(fs::exists(copy.path() + ".leafward-journal"));
}

const std::vector<testing::FixtureExit> kUpdated = {
    {"consistent.mdb", 0},       {"worked-example.mdb", 0}, {"scheme-mismatch.mdb", 1},
    {"no-scheme-tables.mdb", 1}, {"odd-codes.mdb", 0},      {"empty-code.mdb", 3},
    {"realistic-5k.mdb", 0},     {"overflow-2k.mdb", 0},    {"deleted-2k.mdb", 0}};
INSTANTIATE_TEST_SUITE_P(AccountSets, CliUpdateTest, ::testing::ValuesIn(kUpdated),
                         [](const auto& info) { return testing::testName(info.param.fixture); });

// Both repairs refused for the same reason: the report says so twice, the file is untouched.
void expectRefused(const FixtureCopy& copy, const std::string& reason) {
  const auto bytes = readBytes(copy.path());
  const CliRun run = update(copy.path());
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.out,
            "\n非末级科目标志未能更新：" + reason + "\n末级科目标志未能更新：" + reason + "\n");
  EXPECT_TRUE(oneLine(run.err)) << run.err;
  EXPECT_THAT(run.err, ::testing::HasSubstr(fs::path(copy.path()).filename().string()));
  EXPECT_EQ(readBytes(copy.path()), bytes);
  EXPECT_FALSE(fs::exists(copy.path() + ".leafward-journal"));
}

TEST(CliUpdateRefusalTest, AnIndexOnTheFlagIsRefusedAndTheFileUntouched) {
  FixtureCopy copy("bend-indexed-1k.mdb");
  expectRefused(copy, "bend字段带有索引");
}

// Permission bits are honoured even for an administrator, whom the system would let write.
TEST(CliUpdateRefusalTest, AReadOnlyFileOrFolderIsRefused) {
  FixtureCopy copy("worked-example.mdb");
  fs::permissions(copy.path(), fs::perms::owner_read | fs::perms::group_read);
  expectRefused(copy, "文件或文件夹只读");
  fs::permissions(copy.path(), fs::perms::owner_write, fs::perm_options::add);
#ifndef _WIN32  // Windows keeps no write permission on folders
  // A rollback journal could not be made beside it.
  fs::permissions(copy.dir(), fs::perms::owner_read | fs::perms::owner_exec);
  expectRefused(copy, "文件或文件夹只读");
  fs::permissions(copy.dir(), fs::perms::owner_all);
#endif
}

// A file with a second name (a hard link) would have a journal under one name only: updates
// through either name are refused; reading through both is not.
TEST(CliUpdateRefusalTest, AFileWithMoreThanOneNameIsRefused) {
  FixtureCopy copy("worked-example.mdb");
  const std::string second = (copy.dir() / "second.mdb").string();
  fs::create_hard_link(copy.path(), second);
  expectRefused(copy, "文件有多个硬链接");
  EXPECT_EQ(update(second).exitCode, 2);
  EXPECT_EQ(runCli({"check", second}, copy.dir()).exitCode, 1);
  fs::remove(second);
  EXPECT_EQ(update(copy.path()).exitCode, 0);
}

// A torn journal (its statement never wrote) beside an intact file on a read-only medium: check
// reads the file and says on stderr that the journal was left; update is refused; the journal
// stays as it was.
TEST(CliUpdateRefusalTest, ATornJournalOnAReadOnlyMediumIsLeftAndTheFileChecked) {
  FixtureCopy copy("worked-example.mdb");
  const std::string journal = copy.path() + ".leafward-journal";
  const std::vector<std::uint8_t> torn = {'L', 'W', 'J', 'R', 'N', 'L', '\r', '\n', 2, 0, 0, 0};
  testing::writeBytes(journal, torn);
  const testing::Environment readOnly = {{"LEAFWARD_TEST_READ_ONLY_MEDIUM", "1"}};
  const CliRun check = runCli({"check", copy.path()}, copy.dir(), readOnly);
  EXPECT_EQ(check.exitCode, 1) << check.err;
  EXPECT_EQ(check.out, testing::expectedReport("worked-example.mdb"));
  EXPECT_TRUE(oneLine(check.err)) << check.err;
  EXPECT_THAT(check.err, ::testing::HasSubstr("left in place"));
  EXPECT_EQ(runCli({"update", copy.path()}, copy.dir(), readOnly).exitCode, 2);
  EXPECT_EQ(readBytes(journal), torn);
}

#ifndef _WIN32  // Windows limits the whole path before any name could be this long
// The journal's name would pass the longest name a folder holds: the update says so (not that
// the file is read-only), and the file is still read.
TEST(CliUpdateRefusalTest, AFileWhoseJournalNameWouldBeTooLongIsRefusedForThat) {
  testing::TempDir dir;
  const std::string path =
      dir.copyFixture("account-sets/worked-example.mdb", std::string(236, 'n') + ".mdb");
  const CliRun run = update(path);
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_THAT(run.out, ::testing::HasSubstr("文件名过长"));
  EXPECT_EQ(runCli({"check", path}, dir.path()).exitCode, 1);
}
#endif

#ifdef _WIN32
// This test program holds the file open for writing, letting others read and write, as Access
// and the accounting program do: leafward-cli, another process, must not write it meanwhile.
TEST(CliUpdateRefusalTest, AFileAnotherProgramHasOpenForWritingIsRefused) {
  FixtureCopy copy("worked-example.mdb");
  const std::wstring path = fs::path(copy.path()).wstring();
  const HANDLE other =
      CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  expectRefused(copy, "文件正被其他程序使用");
  CloseHandle(other);
  EXPECT_EQ(update(copy.path()).exitCode, 0);
}
#else
TEST(CliUpdateRefusalTest, AFileAnotherProgramHasLockedIsRefused) {
  FixtureCopy copy("worked-example.mdb");
  const int fd = ::open(copy.path().c_str(), O_RDONLY);
  struct flock lock {};
  lock.l_type = F_RDLCK;
  lock.l_whence = SEEK_SET;
  // An open-file-description lock: reading the file in this process does not drop it.
  ASSERT_EQ(::fcntl(fd, F_OFD_SETLK, &lock), 0);
  expectRefused(copy, "文件正被其他程序使用");
  ::close(fd);
  EXPECT_EQ(update(copy.path()).exitCode, 0);
}
#endif

// A file and folder named in Chinese: the name reaches the file as it is, in the arguments, in
// the journal's name and in the messages.
TEST(CliUpdateTest, FilesNamedInChineseAreCheckedAndUpdated) {
  testing::TempDir dir;
  const fs::path folder = dir.path() / fs::path(u8"账套");
  fs::create_directory(folder);
  const fs::path file = folder / fs::path(u8"科目 2024.mdb");
  fs::copy_file(testing::fixture("account-sets/worked-example.mdb"), file);
  const std::u8string name8 = file.u8string();
  const std::string name(name8.begin(), name8.end());

  const CliRun check = runCli({"check", name}, folder);
  EXPECT_EQ(check.exitCode, 1) << check.err;
  EXPECT_EQ(check.out, testing::expectedReport("worked-example.mdb"));
  const CliRun repair = runCli({"update", name}, folder);
  EXPECT_EQ(repair.exitCode, 0) << repair.err;
  EXPECT_EQ(repair.out, "\n有 3个非末级科目标志被更新\n有 1个末级科目标志被更新\n");
  EXPECT_FALSE(fs::exists(folder / fs::path(u8"科目 2024.mdb.leafward-journal")));
  EXPECT_EQ(runCli({"check", name}, folder).exitCode, 0);

  const CliRun missing = runCli({"check", name + "x"}, folder);
  EXPECT_EQ(missing.exitCode, 2);
  EXPECT_THAT(missing.err, ::testing::HasSubstr("科目 2024.mdbx"));
}

}  // namespace
}  // namespace leafward::cli
