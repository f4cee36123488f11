#include "dataaccess/jet/flag_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "dataaccess/jet/flag_scan.h"
#include "dataaccess/jet/rollback_journal.h"
#include "dataaccess/jet/write_refusal.h"
#include "support/jet_files.h"

namespace leafward::jet {
namespace {

using testing::ByteDifference;
using testing::readBytes;
using testing::TempDir;
using Reason = WriteRefused::Reason;

std::vector<FlagChange> flipsOf(const std::vector<ScannedFlag>& rows) {
  std::vector<FlagChange> changes;
  for (const auto& row : rows) changes.push_back({row.entry, row.value, !row.value});
  return changes;
}

std::vector<FlagChange> everySeventh(const std::string& path) {
  std::vector<FlagChange> changes = flipsOf(scanFlags(path, "code", "bend"));
  std::vector<FlagChange> chosen;
  for (std::size_t i = 0; i < changes.size(); i += 7) chosen.push_back(changes[i]);
  return chosen;
}

bool moved(const ScannedFlag& row) {
  return !(row.entry == row.location);
}

// Runs the statement and expects it refused for `reason`, with the file unchanged.
void expectRefused(const std::string& path, const std::vector<FlagChange>& changes, Reason reason,
                   const std::string& column = "bend") {
  const auto before = readBytes(path);
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

// Only the chosen rows' bits change: mdb-export of every table differs in exactly those `bend`
// values, and the file differs from the original in exactly those bits. The rows chosen are
// every seventh, every moved row (named by its entry or by where its bytes are) and every row
// next to a deleted one.
TEST(FlagWriterTest, FlipsExactlyTheChosenBits) {
  for (const char* fixture : {"account-sets/realistic-5k.mdb", "account-sets/overflow-2k.mdb",
                              "account-sets/deleted-2k.mdb"}) {
    SCOPED_TRACE(fixture);
    TempDir folder;
    const std::string path = folder.copyFixture(fixture);
    const auto rows = scanFlags(path, "code", "bend");
    if (std::string(fixture).find("overflow") != std::string::npos) {
      EXPECT_GT(std::count_if(rows.begin(), rows.end(), moved), 100);
    }
    std::set<std::pair<std::uint32_t, std::uint16_t>> live;
    for (const auto& row : rows) live.insert({row.location.page, row.location.slot});
    std::vector<FlagChange> changes;
    std::vector<ByteDifference> bits;
    std::set<std::size_t> changedRows;
    std::set<std::uint32_t> pages;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const auto [page, slot] = std::pair(rows[i].location.page, rows[i].location.slot);
      const bool nextToDeleted =
          (slot > 0 && !live.contains({page, slot - 1})) ||
          (live.contains({page, slot + 2}) && !live.contains({page, slot + 1}));
      if (i % 7 != 0 && !moved(rows[i]) && !nextToDeleted) continue;
      changes.push_back({i % 2 ? rows[i].location : rows[i].entry, rows[i].value, !rows[i].value});
      bits.push_back({rows[i].fileOffset, rows[i].bit.mask});
      changedRows.insert(i);
      pages.insert(page);
    }
    std::sort(bits.begin(), bits.end());
    std::map<std::string, testing::ExportedTable> before;
    for (const auto& table : testing::mdbTables(path))
      before[table] = testing::mdbExport(path, table);
    const auto bytesBefore = readBytes(path);

    const FlagWriteResult result = writeFlags(path, "code", "bend", changes);
    EXPECT_EQ(result.rowsChanged, changes.size());
    EXPECT_EQ(result.pagesWritten, pages.size());
    EXPECT_EQ(result.durability.fsyncs, 4u);  // journal, its folder, the file, the folder
    EXPECT_GT(result.durability.journalBytes, pages.size() * 4096);
    EXPECT_FALSE(testing::fileExists(journalPathFor(path)));
    EXPECT_EQ(testing::differences(bytesBefore, readBytes(path)), bits);
    for (const auto& [table, exported] : before) {
      auto expected = exported.rows;
      if (table == "code") {
        const std::size_t bend = exported.columnIndex("bend");
        for (std::size_t i : changedRows) expected[i][bend] = expected[i][bend] == "1" ? "0" : "1";
      }
      EXPECT_EQ(testing::mdbExport(path, table).rows, expected) << table;
    }

    // Storing the values already there writes nothing, not even a journal.
    for (auto& change : changes) change.expected = change.value;
    const auto bytesAfter = readBytes(path);
    const FlagWriteResult again = writeFlags(path, "code", "bend", changes);
    EXPECT_EQ(again.rowsChanged + again.pagesWritten + again.durability.journalBytes, 0u);
    EXPECT_EQ(readBytes(path), bytesAfter);
  }
}

TEST(FlagWriterTest, StatementsThatCannotBeCarriedOutChangeNothing) {
  TempDir folder;
  const std::string plain = folder.copyFixture("account-sets/realistic-5k.mdb");
  auto changes = everySeventh(plain);
  changes.back().expected = !changes.back().expected;  // changed since it was read
  expectRefused(plain, changes, Reason::RowChanged);
  expectRefused(plain, everySeventh(plain), Reason::ColumnNotWritable, "ccode");
  expectRefused(plain, everySeventh(plain), Reason::ColumnNotWritable, "nosuch");

  const std::string deleted = folder.copyFixture("account-sets/deleted-2k.mdb");
  const auto rows = scanFlags(deleted, "code", "bend");
  const auto gap = std::adjacent_find(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
    return a.location.page == b.location.page && b.location.slot > a.location.slot + 1;
  });
  ASSERT_NE(gap, rows.end());
  auto withDeleted = everySeventh(deleted);
  withDeleted.push_back(
      {{gap->location.page, static_cast<std::uint16_t>(gap->location.slot + 1)}, false, true});
  expectRefused(deleted, withDeleted, Reason::RowChanged);

  // The same row twice, once by its entry and once by where its bytes are.
  const std::string overflow = folder.copyFixture("account-sets/overflow-2k.mdb");
  const auto scanned = scanFlags(overflow, "code", "bend");
  const auto movedRow = std::find_if(scanned.begin(), scanned.end(), moved);
  ASSERT_NE(movedRow, scanned.end());
  const auto before = readBytes(overflow);
  EXPECT_THROW(writeFlags(overflow, "code", "bend",
                          {{movedRow->entry, movedRow->value, !movedRow->value},
                           {movedRow->location, movedRow->value, !movedRow->value}}),
               dataaccess::DataAccessError);
  EXPECT_EQ(readBytes(overflow), before);

  // An index on the column would go stale; the same file's other Yes/No columns are free.
  const std::string indexed = folder.copyFixture("account-sets/bend-indexed-1k.mdb");
  expectRefused(indexed, everySeventh(indexed), Reason::IndexedColumn);
  const auto cash = scanFlags(indexed, "code", "bcash");
  EXPECT_EQ(writeFlags(indexed, "code", "bcash", {{cash[3].entry, cash[3].value, !cash[3].value}})
                .rowsChanged,
            1u);
}

void patch16(const std::string& path, std::uint64_t offset, std::uint16_t value) {
  auto bytes = readBytes(path);
  bytes[offset] = static_cast<std::uint8_t>(value);
  bytes[offset + 1] = static_cast<std::uint8_t>(value >> 8);
  testing::writeBytes(path, bytes);
}

std::uint64_t rowStart(const std::string& path, RowLocation at) {
  const auto bytes = readBytes(path);
  const std::uint64_t page = static_cast<std::uint64_t>(at.page) * 4096;
  const std::uint64_t entry = page + 14 + 2 * at.slot;
  return page + ((bytes[entry] | (bytes[entry + 1] << 8)) & 0x1FFF);
}

TEST(FlagWriterTest, RowsOfAnUnknownLayoutAreRefused) {
  TempDir folder;
  const std::string path = folder.copyFixture("account-sets/overflow-2k.mdb");
  const auto rows = scanFlags(path, "code", "bend");
  const auto original = readBytes(path);
  const auto changes = everySeventh(path);
  auto wrongPage = changes;  // page 2 holds a table definition
  wrongPage.push_back({{2, 0}, false, true});
  expectRefused(path, wrongPage, Reason::UnknownRowLayout);
  auto noSuchEntry = changes;
  noSuchEntry.push_back({{rows[0].location.page, 900}, false, true});
  expectRefused(path, noSuchEntry, Reason::UnknownRowLayout);

  // A row claiming more columns than the table can have.
  patch16(path, rowStart(path, rows[7].location), 200);
  expectRefused(path, changes, Reason::UnknownRowLayout);

  // A moved row's pointer to nowhere, then to a page that is not the table's.
  testing::writeBytes(path, original);
  const auto movedRow = std::find_if(rows.begin(), rows.end(), moved);
  const std::vector<FlagChange> movedChange{{movedRow->entry, movedRow->value, !movedRow->value}};
  const std::uint64_t pointer = rowStart(path, movedRow->entry);
  patch16(path, pointer + 2, 0xFFFF);
  expectRefused(path, movedChange, Reason::UnknownRowLayout);
  patch16(path, pointer, static_cast<std::uint16_t>(1 << 8));  // entry 0 of page 1
  patch16(path, pointer + 2, 0);
  expectRefused(path, movedChange, Reason::UnknownRowLayout);
}

// A child process that holds an fcntl lock on a file until the test lets it go.
class LockHolder {
 public:
  LockHolder(const std::string& path, short type, off_t start, off_t length) {
    int ready[2], release[2];
    if (::pipe(ready) != 0 || ::pipe(release) != 0) throw std::runtime_error("pipe");
    child_ = ::fork();
    if (child_ == 0) {
      const int fd = ::open(path.c_str(), O_RDWR);
      struct flock lock {};
      lock.l_type = type;
      lock.l_whence = SEEK_SET;
      lock.l_start = start;
      lock.l_len = length;
      const char ok = (fd >= 0 && ::fcntl(fd, F_SETLK, &lock) == 0) ? 1 : 0;
      ::close(release[1]);
      char ignored;
      if (::write(ready[1], &ok, 1) == 1) (void)!::read(release[0], &ignored, 1);
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

TEST(FlagWriterTest, ReadOnlyAndLockedFilesAreRefused) {
  TempDir folder;
  const std::string path = folder.copyFixture("account-sets/realistic-5k.mdb");
  const auto changes = everySeventh(path);
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  expectRefused(path, changes, Reason::ReadOnly);
  ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
  ASSERT_EQ(::chmod(folder.path().c_str(), 0555), 0);
  expectRefused(path, changes, Reason::ReadOnly);
  ASSERT_EQ(::chmod(folder.path().c_str(), 0755), 0);

  // A user the system itself refuses, whatever the permission bits say (needs root).
  if (::geteuid() == 0) {
    const int status = testing::runInChild([&] {
      if (::setgid(65534) != 0 || ::setuid(65534) != 0) return 2;
      try {
        writeFlags(path, "code", "bend", changes);
      } catch (const WriteRefused& refused) {
        return refused.reason() == Reason::ReadOnly ? 0 : 3;
      }
      return 5;
    });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }

  // Another program's lock on the whole file or on a byte past its end (as Access locks), or
  // on Access's own lock file; the lock file alone does not count.
  const std::string lockFile = folder.file("realistic-5k.ldb");
  testing::writeBytes(lockFile, std::vector<std::uint8_t>(64, 0));
  for (const auto& [file, type, start] :
       {std::tuple{path, F_WRLCK, 0}, {path, F_RDLCK, 0x10000000}, {lockFile, F_WRLCK, 10}}) {
    LockHolder holder(file, static_cast<short>(type), start, start == 0 ? 0 : 1);
    expectRefused(path, changes, Reason::Locked);
  }
  EXPECT_GT(writeFlags(path, "code", "bend", changes).rowsChanged, 0u);
}

}  // namespace
}  // namespace leafward::jet
