#include "dataaccess/jet/flag_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "dataaccess/jet/flag_scan.h"
#include "dataaccess/jet/rollback_journal.h"
#include "dataaccess/jet/write_refusal.h"
#include "writer_test_support.h"

namespace leafward::jet {
namespace {

using testing::ByteDifference;
using testing::differences;
using testing::ExportedTable;
using testing::mdbExport;
using testing::mdbTables;
using testing::readBytes;
using testing::TempFolder;
using Reason = WriteRefused::Reason;

std::vector<FlagChange> flipsOf(const std::vector<ScannedFlag>& rows) {
  std::vector<FlagChange> changes;
  for (const auto& row : rows) changes.push_back({row.entry, row.value, !row.value});
  return changes;
}

std::vector<ByteDifference> bitsOf(const std::vector<ScannedFlag>& rows) {
  std::vector<ByteDifference> bits;
  for (const auto& row : rows) bits.push_back({row.fileOffset, row.bit.mask});
  std::sort(bits.begin(), bits.end());
  return bits;
}

// Runs the statement and expects it refused for `reason`, with the file unchanged.
void expectRefused(const std::string& path, const std::vector<FlagChange>& changes, Reason reason,
                   const std::string& column = "bend") {
  auto before = readBytes(path);
  try {
    writeFlags(path, "code", column, changes);
    ADD_FAILURE() << "the statement was not refused";
  } catch (const WriteRefused& refused) {
    EXPECT_EQ(refused.reason(), reason) << refused.what();
    EXPECT_NE(std::string(refused.what()), "");
  }
  EXPECT_EQ(readBytes(path), before);
  EXPECT_FALSE(testing::fileExists(journalPathFor(path)));
}

struct ChoiceCase {
  std::string name;
  std::string fixture;
  // Which rows a statement changes, from the scan in table order.
  std::vector<ScannedFlag> (*choose)(const std::vector<ScannedFlag>&);
};

std::vector<ScannedFlag> everySeventh(const std::vector<ScannedFlag>& rows) {
  std::vector<ScannedFlag> chosen;
  for (std::size_t i = 0; i < rows.size(); i += 7) chosen.push_back(rows[i]);
  return chosen;
}

std::vector<ScannedFlag> movedAndSomeOthers(const std::vector<ScannedFlag>& rows) {
  std::vector<ScannedFlag> chosen;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (!(rows[i].entry == rows[i].location) || i % 11 == 0) chosen.push_back(rows[i]);
  }
  return chosen;
}

std::vector<ScannedFlag> nextToDeleted(const std::vector<ScannedFlag>& rows) {
  std::set<std::pair<std::uint32_t, std::uint16_t>> live;
  for (const auto& row : rows) live.insert({row.location.page, row.location.slot});
  std::vector<ScannedFlag> chosen;
  for (const auto& row : rows) {
    auto [page, slot] = std::pair(row.location.page, row.location.slot);
    bool afterDeleted = slot > 0 && !live.contains({page, slot - 1});
    bool beforeDeleted = live.contains({page, slot + 2}) && !live.contains({page, slot + 1});
    if (afterDeleted || beforeDeleted) chosen.push_back(row);
  }
  return chosen;
}

void PrintTo(const ChoiceCase& choice, std::ostream* out) {
  *out << choice.fixture;
}

class FlagWriterChangesTest : public ::testing::TestWithParam<ChoiceCase> {};

// Only the chosen rows' bits change: mdb-export of every table differs in exactly those
// `bend` values, and the file differs from the original in exactly those bits.
TEST_P(FlagWriterChangesTest, FlipsExactlyTheChosenBits) {
  TempFolder folder;
  std::string path = folder.copyFixture(GetParam().fixture);
  auto rows = scanFlags(path, "code", "bend");
  auto chosen = GetParam().choose(rows);
  ASSERT_GT(chosen.size(), 20u);

  std::map<std::string, ExportedTable> before;
  for (const auto& table : mdbTables(path)) before[table] = mdbExport(path, table);
  auto bytesBefore = readBytes(path);

  FlagWriteResult result = writeFlags(path, "code", "bend", flipsOf(chosen));

  EXPECT_EQ(result.rowsChanged, chosen.size());
  std::set<std::uint32_t> pages;
  for (const auto& row : chosen) pages.insert(row.location.page);
  EXPECT_EQ(result.pagesWritten, pages.size());
  EXPECT_EQ(result.durability.fsyncs, 4u);  // journal, its folder, the file, the folder
  EXPECT_GT(result.durability.journalBytes, pages.size() * 4096);
  EXPECT_FALSE(testing::fileExists(journalPathFor(path)));
  EXPECT_EQ(differences(bytesBefore, readBytes(path)), bitsOf(chosen));

  std::set<std::size_t> changedRows;
  for (const auto& row : chosen) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (rows[i].location == row.location) changedRows.insert(i);
    }
  }
  for (const auto& [table, exported] : before) {
    auto after = mdbExport(path, table);
    if (table != "code") {
      EXPECT_EQ(after.rows, exported.rows) << table;
      continue;
    }
    ASSERT_EQ(after.rows.size(), exported.rows.size());
    std::size_t bend = exported.columnIndex("bend");
    for (std::size_t i = 0; i < after.rows.size(); ++i) {
      auto expected = exported.rows[i];
      if (changedRows.contains(i)) expected[bend] = expected[bend] == "1" ? "0" : "1";
      ASSERT_EQ(after.rows[i], expected) << "row " << i;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, FlagWriterChangesTest,
    ::testing::Values(ChoiceCase{"Realistic", "account-sets/realistic-5k.mdb", everySeventh},
                      ChoiceCase{"MovedRows", "account-sets/overflow-2k.mdb", movedAndSomeOthers},
                      ChoiceCase{"AroundDeletedRows", "account-sets/deleted-2k.mdb",
                                 nextToDeleted}),
    [](const auto& info) { return info.param.name; });

TEST(FlagWriterTest, MovedRowsCanBeNamedByTheirNewPlaceToo) {
  TempFolder folder;
  std::string path = folder.copyFixture("account-sets/overflow-2k.mdb");
  auto rows = scanFlags(path, "code", "bend");
  std::vector<FlagChange> changes;
  std::vector<ScannedFlag> chosen;
  for (const auto& row : rows) {
    if (row.entry == row.location) continue;
    changes.push_back({row.location, row.value, !row.value});
    chosen.push_back(row);
  }
  ASSERT_FALSE(chosen.empty());
  auto before = readBytes(path);
  writeFlags(path, "code", "bend", changes);
  EXPECT_EQ(differences(before, readBytes(path)), bitsOf(chosen));
}

TEST(FlagWriterTest, StoringTheValuesAlreadyThereWritesNothing) {
  TempFolder folder;
  std::string path = folder.copyFixture("account-sets/realistic-5k.mdb");
  auto rows = scanFlags(path, "code", "bend");
  std::vector<FlagChange> changes;
  for (const auto& row : rows) changes.push_back({row.entry, row.value, row.value});
  auto before = readBytes(path);
  FlagWriteResult result = writeFlags(path, "code", "bend", changes);
  EXPECT_EQ(result.rowsChanged, 0u);
  EXPECT_EQ(result.pagesWritten, 0u);
  EXPECT_EQ(result.durability.journalBytes, 0u);
  EXPECT_EQ(readBytes(path), before);
}

TEST(FlagWriterTest, ARowThatChangedSinceItWasReadRefusesTheWholeStatement) {
  TempFolder folder;
  std::string path = folder.copyFixture("account-sets/realistic-5k.mdb");
  auto changes = flipsOf(everySeventh(scanFlags(path, "code", "bend")));
  changes.back().expected = !changes.back().expected;
  expectRefused(path, changes, Reason::RowChanged);
}

TEST(FlagWriterTest, ADeletedRowRefusesTheStatement) {
  TempFolder folder;
  std::string path = folder.copyFixture("account-sets/deleted-2k.mdb");
  auto rows = scanFlags(path, "code", "bend");
  auto chosen = nextToDeleted(rows);
  ASSERT_FALSE(chosen.empty());
  ASSERT_GT(chosen.front().location.slot, 0);
  auto changes = flipsOf(chosen);
  // The entry just before the first chosen row was deleted.
  changes.push_back(
      {{chosen.front().location.page, static_cast<std::uint16_t>(chosen.front().location.slot - 1)},
       false,
       true});
  expectRefused(path, changes, Reason::RowChanged);
}

TEST(FlagWriterTest, TheSameRowTwiceIsAnError) {
  TempFolder folder;
  std::string path = folder.copyFixture("account-sets/overflow-2k.mdb");
  auto rows = scanFlags(path, "code", "bend");
  auto moved = std::find_if(rows.begin(), rows.end(),
                            [](const ScannedFlag& row) { return !(row.entry == row.location); });
  ASSERT_NE(moved, rows.end());
  std::vector<FlagChange> changes{{moved->entry, moved->value, !moved->value},
                                  {moved->location, moved->value, !moved->value}};
  auto before = readBytes(path);
  EXPECT_THROW(writeFlags(path, "code", "bend", changes), dataaccess::DataAccessError);
  EXPECT_EQ(readBytes(path), before);
}

TEST(FlagWriterTest, OnlyYesNoColumnsThatNoIndexUsesCanBeWritten) {
  TempFolder folder;
  std::string indexed = folder.copyFixture("account-sets/bend-indexed-1k.mdb");
  expectRefused(indexed, flipsOf(everySeventh(scanFlags(indexed, "code", "bend"))),
                Reason::IndexedColumn);

  // The same file's other Yes/No columns are not indexed.
  auto cash = scanFlags(indexed, "code", "bcash");
  std::vector<FlagChange> cashChanges{{cash[3].entry, cash[3].value, !cash[3].value}};
  EXPECT_EQ(writeFlags(indexed, "code", "bcash", cashChanges).rowsChanged, 1u);

  std::string plain = folder.copyFixture("account-sets/realistic-5k.mdb");
  auto changes = flipsOf(everySeventh(scanFlags(plain, "code", "bend")));
  expectRefused(plain, changes, Reason::ColumnNotWritable, "ccode");
  expectRefused(plain, changes, Reason::ColumnNotWritable, "nosuch");
}

// Rewrites two bytes of the file at `offset`.
void patch16(const std::string& path, std::uint64_t offset, std::uint16_t value) {
  auto bytes = readBytes(path);
  bytes[offset] = static_cast<std::uint8_t>(value);
  bytes[offset + 1] = static_cast<std::uint8_t>(value >> 8);
  testing::writeBytes(path, bytes);
}

std::uint64_t rowStart(const std::string& path, RowLocation at) {
  auto bytes = readBytes(path);
  std::uint64_t entry = static_cast<std::uint64_t>(at.page) * 4096 + 14 + 2 * at.slot;
  return static_cast<std::uint64_t>(at.page) * 4096 +
         ((bytes[entry] | (bytes[entry + 1] << 8)) & 0x1FFF);
}

TEST(FlagWriterTest, RowsOfAnUnknownLayoutAreRefused) {
  TempFolder folder;
  std::string path = folder.copyFixture("account-sets/realistic-5k.mdb");
  auto rows = scanFlags(path, "code", "bend");
  auto changes = flipsOf(everySeventh(rows));

  // Not a data page of the table: page 2 holds a table definition.
  auto wrongPage = changes;
  wrongPage.push_back({{2, 0}, false, true});
  expectRefused(path, wrongPage, Reason::UnknownRowLayout);
  auto noSuchEntry = changes;
  noSuchEntry.push_back({{rows[0].location.page, 900}, false, true});
  expectRefused(path, noSuchEntry, Reason::UnknownRowLayout);

  // A row claiming more columns than the table can have.
  patch16(path, rowStart(path, rows[7].location), 200);
  expectRefused(path, changes, Reason::UnknownRowLayout);
}

TEST(FlagWriterTest, APointerToNowhereIsRefused) {
  TempFolder folder;
  std::string path = folder.copyFixture("account-sets/overflow-2k.mdb");
  auto rows = scanFlags(path, "code", "bend");
  auto moved = std::find_if(rows.begin(), rows.end(),
                            [](const ScannedFlag& row) { return !(row.entry == row.location); });
  ASSERT_NE(moved, rows.end());
  std::vector<FlagChange> changes{{moved->entry, moved->value, !moved->value}};
  std::uint64_t pointer = rowStart(path, moved->entry);
  patch16(path, pointer + 2, 0xFFFF);  // the page number's upper bytes
  expectRefused(path, changes, Reason::UnknownRowLayout);
  patch16(path, pointer, static_cast<std::uint16_t>(1 << 8));  // entry 0 of page 1: not ours
  patch16(path, pointer + 2, 0);
  expectRefused(path, changes, Reason::UnknownRowLayout);
}

TEST(FlagWriterTest, ReadOnlyFileOrFolderIsRefused) {
  TempFolder folder;
  std::string path = folder.copyFixture("account-sets/realistic-5k.mdb");
  auto changes = flipsOf(everySeventh(scanFlags(path, "code", "bend")));

  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  expectRefused(path, changes, Reason::ReadOnly);
  ASSERT_EQ(::chmod(path.c_str(), 0644), 0);

  ASSERT_EQ(::chmod(folder.path().c_str(), 0555), 0);
  expectRefused(path, changes, Reason::ReadOnly);
  ASSERT_EQ(::chmod(folder.path().c_str(), 0700), 0);

  EXPECT_GT(writeFlags(path, "code", "bend", changes).rowsChanged, 0u);
}

// A user without write permission is refused by the system itself, not only by the
// permission bits the writer looks at. Needs root to become that user.
TEST(FlagWriterTest, AUserWhoCannotWriteTheFileIsRefused) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to run the statement as another user";
  TempFolder folder;
  std::string path = folder.copyFixture("account-sets/realistic-5k.mdb");
  ASSERT_EQ(::chmod(folder.path().c_str(), 0755), 0);
  auto changes = flipsOf(everySeventh(scanFlags(path, "code", "bend")));
  auto before = readBytes(path);
  int status = testing::runInChild([&] {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) return 2;
    try {
      writeFlags(path, "code", "bend", changes);
    } catch (const WriteRefused& refused) {
      return refused.reason() == Reason::ReadOnly ? 0 : 3;
    } catch (...) {
      return 4;
    }
    return 5;
  });
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(readBytes(path), before);
}

// A child process that holds an fcntl lock on a file until the test lets it go.
class LockHolder {
 public:
  LockHolder(const std::string& path, short type, off_t start, off_t length) {
    int ready[2], release[2];
    if (::pipe(ready) != 0 || ::pipe(release) != 0) throw std::runtime_error("pipe");
    child_ = ::fork();
    if (child_ == 0) {
      ::close(ready[0]);
      ::close(release[1]);
      int fd = ::open(path.c_str(), O_RDWR);
      struct flock lock {};
      lock.l_type = type;
      lock.l_whence = SEEK_SET;
      lock.l_start = start;
      lock.l_len = length;
      char ok = (fd >= 0 && ::fcntl(fd, F_SETLK, &lock) == 0) ? 1 : 0;
      if (::write(ready[1], &ok, 1) != 1) ::_exit(1);
      char ignored;
      while (::read(release[0], &ignored, 1) > 0) {
      }
      ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    release_ = release[1];
    char ok = 0;
    if (::read(ready[0], &ok, 1) != 1 || !ok) throw std::runtime_error("the lock was not taken");
    ::close(ready[0]);
  }
  ~LockHolder() {
    ::close(release_);
    ::waitpid(child_, nullptr, 0);
  }

 private:
  pid_t child_ = -1;
  int release_ = -1;
};

TEST(FlagWriterTest, AFileInUseByAnotherProgramIsRefused) {
  TempFolder folder;
  std::string path = folder.copyFixture("account-sets/realistic-5k.mdb");
  auto changes = flipsOf(everySeventh(scanFlags(path, "code", "bend")));
  {
    LockHolder holder(path, F_WRLCK, 0, 0);
    expectRefused(path, changes, Reason::Locked);
  }
  {
    LockHolder holder(path, F_RDLCK, 0x10000000, 1);  // a byte-range lock past the end
    expectRefused(path, changes, Reason::Locked);
  }

  // Access's own lock file counts only while someone holds a lock on it.
  std::string lockFile = folder.path() + "/realistic-5k.ldb";
  testing::writeBytes(lockFile, std::vector<std::uint8_t>(64, 0));
  {
    LockHolder holder(lockFile, F_WRLCK, 10, 1);
    expectRefused(path, changes, Reason::Locked);
  }
  EXPECT_GT(writeFlags(path, "code", "bend", changes).rowsChanged, 0u);
}

}  // namespace
}  // namespace leafward::jet
