#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <map>
#include <sstream>

#include "cli_run.h"
#include "hierarchy_reference.h"
#include "support/jet_files.h"

namespace leafward::cli {
namespace {

namespace fs = std::filesystem;
using jet::testing::ExportedTable;
using jet::testing::readBytes;
using testing::CliRun;
using testing::FixtureCopy;
using testing::oneLine;
using testing::runCli;

CliRun update(const std::string& file, const std::string& environment = "") {
  return runCli({"update", file}, fs::path(file).parent_path(), environment);
}

std::map<std::string, ExportedTable> exportEveryTable(const std::string& path) {
  std::map<std::string, ExportedTable> tables;
  for (const auto& table : jet::testing::mdbTables(path)) {
    tables[table] = jet::testing::mdbExport(path, table);
  }
  return tables;
}

// What check prints for an account set whose flags are all right: the fixture's report
// without its two lists.
std::string reportWithoutLists(const std::string& fixture) {
  std::istringstream printed(testing::expectedReport(fixture));
  std::string line, report;
  while (std::getline(printed, line)) {
    if (line.empty() || line == "没有发现错误" || line.starts_with("如下非末级科目标志有误：") ||
        line.starts_with("如下末级科目标志有误：")) {
      continue;
    }
    report += "\n" + line;
  }
  return (report.empty() ? "没有发现错误" : report) + "\n";
}

struct Fixture {
  const char* name;
  int checkExitAfter;  // 0: no errors; 1: the schemes still disagree; 3: no codes
  friend void PrintTo(const Fixture& f, std::ostream* os) { *os << f.name; }
};

class CliUpdateTest : public ::testing::TestWithParam<Fixture> {};

// Update changes exactly the flags the hierarchy rule says are wrong (worked out here from
// the codes mdb-export lists), reports how many per direction, and leaves every other value
// of every table alone; Check then finds no wrong flags, and a second Update nothing to do.
TEST_P(CliUpdateTest, RepairsExactlyTheWrongFlags) {
  const Fixture fixture = GetParam();
  FixtureCopy copy(fixture.name);
  const auto before = exportEveryTable(copy.path());
  const ExportedTable& code = before.at("code");
  const std::size_t ccode = code.columnIndex("ccode"), bend = code.columnIndex("bend");
  std::vector<std::optional<std::string>> codes;
  for (const auto& row : code.rows) {
    codes.push_back(row[ccode].empty() ? std::nullopt : std::optional(row[ccode]));
  }
  const testing::HierarchyReference hierarchy(codes);
  std::vector<std::string> expectedFlags;
  std::size_t nonLeafFixed = 0, leafFixed = 0;
  for (std::size_t r = 0; r < codes.size(); ++r) {
    const bool leaf = !hierarchy.hasSubAccounts(codes[r]);
    const bool flagged = code.rows[r][bend] == "1";
    nonLeafFixed += !leaf && flagged;
    leafFixed += leaf && !flagged;
    expectedFlags.push_back(leaf ? "1" : "0");
  }
  std::string expectedReport;
  if (nonLeafFixed > 0)
    expectedReport += "\n有 " + std::to_string(nonLeafFixed) + "个非末级科目标志被更新";
  if (leafFixed > 0) expectedReport += "\n有 " + std::to_string(leafFixed) + "个末级科目标志被更新";

  const CliRun run = update(copy.path());
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, expectedReport + "\n");

  const auto after = exportEveryTable(copy.path());
  ASSERT_EQ(after.size(), before.size());
  for (const auto& [name, table] : before) {
    ExportedTable expected = table;
    if (name == "code") {
      for (std::size_t r = 0; r < expected.rows.size(); ++r)
        expected.rows[r][bend] = expectedFlags[r];
    }
    EXPECT_EQ(after.at(name).header, expected.header) << name;
    EXPECT_EQ(after.at(name).rows, expected.rows) << name;
  }

  const CliRun check = runCli({"check", copy.path()}, copy.dir());
  EXPECT_EQ(check.exitCode, fixture.checkExitAfter) << check.err;
  EXPECT_EQ(check.out, fixture.checkExitAfter == 3 ? "\n" : reportWithoutLists(fixture.name));

  const auto repaired = readBytes(copy.path());
  const CliRun again = update(copy.path());
  EXPECT_EQ(again.exitCode, 0) << again.err;
  EXPECT_EQ(again.out, "\n");
  EXPECT_EQ(readBytes(copy.path()), repaired);
  EXPECT_FALSE(fs::exists(copy.path() + ".leafward-journal"));
}

INSTANTIATE_TEST_SUITE_P(
    AccountSets, CliUpdateTest,
    ::testing::Values(Fixture{"consistent.mdb", 0}, Fixture{"spec-example.mdb", 0},
                      Fixture{"scheme-mismatch.mdb", 1}, Fixture{"no-scheme-tables.mdb", 1},
                      Fixture{"odd-codes.mdb", 0}, Fixture{"empty-code.mdb", 3},
                      Fixture{"realistic-5k.mdb", 0}, Fixture{"overflow-2k.mdb", 0},
                      Fixture{"deleted-2k.mdb", 0}),
    [](const auto& info) {
      std::string name = info.param.name;
      name = name.substr(0, name.find('.'));
      std::erase(name, '-');
      return name;
    });

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
  FixtureCopy copy("spec-example.mdb");
  fs::permissions(copy.path(), fs::perms::owner_read | fs::perms::group_read);
  expectRefused(copy, "文件或文件夹只读");
  fs::permissions(copy.path(), fs::perms::owner_write, fs::perm_options::add);
  // A rollback journal could not be made beside it.
  fs::permissions(copy.dir(), fs::perms::owner_read | fs::perms::owner_exec);
  expectRefused(copy, "文件或文件夹只读");
  fs::permissions(copy.dir(), fs::perms::owner_all);
}

TEST(CliUpdateRefusalTest, AFileAnotherProgramHasLockedIsRefused) {
  FixtureCopy copy("spec-example.mdb");
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

TEST(CliUpdateRefusalTest, AFileThatCannotBeOpenedExitsTwoWithOneLineWhy) {
  FixtureCopy copy("spec-example.mdb");
  const CliRun missing = update((copy.dir() / "missing.mdb").string());
  EXPECT_EQ(missing.exitCode, 2);
  EXPECT_EQ(missing.out, "");
  EXPECT_TRUE(oneLine(missing.err)) << missing.err;
  EXPECT_EQ(runCli({"update"}, copy.dir()).exitCode, 2);
}

}  // namespace
}  // namespace leafward::cli
