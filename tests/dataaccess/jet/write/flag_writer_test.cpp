#include "dataaccess/jet/write/flag_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <tuple>

#include "dataaccess/jet/format/byte_order.h"
#include "platform/file.h"
#include "support/oracle.h"
#include "writer_test_support.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace leafward::jet {
namespace {

using dataaccess::ErrorKind;
using testing::ByteDifference;
using testing::readBytes;
using testing::scanFlags;
using testing::TempDir;
using testing::writeFlagsOf;

bool moved(const testing::ScannedFlag& row) {
  return !(row.entry == row.location);
}

std::vector<FlagChange> everySeventh(const std::string& path) {
  return testing::flipsOf(scanFlags(path, "code", "bend"), 7);
}

// The reader records where each row lives and the writer must find every one of them there, in
// every table with a Yes/No column of every test database: the rows and values the reader gives
// match a page-by-page scan, and storing each row's own value back is accepted and writes nothing.
TEST(FlagWriterTest, ReaderAndWriterAgreeOnEveryLiveRow) {
  std::vector<std::string> files = testing::fixturesIn("account-sets");
  for (const auto& sample : testing::fixturesIn("jet-samples")) files.push_back(sample);
  std::size_t tables = 0;
  for (const auto& fixture : files) {
    TempDir dir;
    const std::string path = dir.copyFixture(fixture.substr(fixture.rfind("/data/") + 6));
    testing::OpenDatabase open(path);
    JetTableSource source(open.database);
    for (const auto& table : open.database.tables()) {
      const auto& columns = table.definition.columns;
      const auto flag = std::find_if(columns.begin(), columns.end(),
                                     [](const auto& c) { return c.is(JetType::Boolean); });
      if (flag == columns.end()) continue;
      SCOPED_TRACE(path + " " + table.definition.name);
      const std::size_t index = static_cast<std::size_t>(flag - columns.begin());
      const auto values = source.read(*source.describe(table.definition.name), {index}).columns[0];
      const auto& locations = source.rowLocations(table.definition.name);
      std::map<std::pair<std::uint32_t, std::uint16_t>, bool> scanned;
      for (const auto& row : scanFlags(path, table.definition.name, flag->name)) {
        scanned[{row.entry.page, row.entry.slot}] = row.value;
      }
      ASSERT_EQ(locations.size(), scanned.size());
      std::vector<FlagChange> unchanged;
      for (std::size_t i = 0; i < locations.size(); ++i) {
        const auto found = scanned.find({locations[i].page, locations[i].slot});
        ASSERT_TRUE(found != scanned.end() && found->second == values->value(i).asYesNo())
            << "row " << i;
        unchanged.push_back({locations[i], found->second, found->second});
      }
      const auto before = readBytes(path);
      EXPECT_EQ(writeFlags(open.target(table.definition.name, flag->name), unchanged).rowsChanged,
                0u);
      EXPECT_EQ(readBytes(path), before);
      ++tables;
    }
  }
  EXPECT_GE(tables, 12u);
}

// Only the chosen rows' bits change: mdb-export of every table differs in exactly those `bend`
// values, and the file differs from the original in exactly those bits. The rows chosen are
// every seventh, every moved row (named by its entry or by where its bytes are) and every row
// next to a deleted one.
TEST(FlagWriterTest, FlipsExactlyTheChosenBits) {
  LEAFWARD_NEEDS_MDBTOOLS();
  for (const char* fixture : {"account-sets/realistic-5k.mdb", "account-sets/overflow-2k.mdb",
                              "account-sets/deleted-2k.mdb"}) {
    SCOPED_TRACE(fixture);
    TempDir folder;
    const std::string path = folder.copyFixture(fixture);
    const auto rows = scanFlags(path, "code", "bend");
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
    const auto before = testing::mdbExportEveryTable(path);
    const auto bytesBefore = readBytes(path);

    const FlagWriteResult result = writeFlagsOf(path, changes);
    EXPECT_EQ(result.rowsChanged, changes.size());
    EXPECT_EQ(result.pagesWritten, pages.size());
    EXPECT_GT(result.durability.journalBytes, pages.size() * 4096);
    EXPECT_FALSE(testing::fileExists(journalPathFor(platform::canonicalPath(path))));
    EXPECT_EQ(testing::differences(bytesBefore, readBytes(path)), bits);
    for (const auto& [table, exported] : before) {
      auto expected = exported.rows;
      if (table == "code") {
        const std::size_t bend = exported.columnIndex("bend");
        for (std::size_t i : changedRows) {
          expected[i][bend].assign(1, expected[i][bend] == "1" ? '0' : '1');
        }
      }
      EXPECT_EQ(testing::mdbExport(path, table).rows, expected) << table;
    }

    // Storing the values already there writes nothing, not even a journal.
    for (auto& change : changes) change.expected = change.value;
    const auto bytesAfter = readBytes(path);
    const FlagWriteResult again = writeFlagsOf(path, changes);
    EXPECT_EQ(again.rowsChanged + again.pagesWritten + again.durability.journalBytes, 0u);
    EXPECT_EQ(readBytes(path), bytesAfter);
  }
}

TEST(FlagWriterTest, StatementsThatCannotBeCarriedOutChangeNothing) {
  TempDir folder;
  const std::string plain = folder.copyFixture("account-sets/realistic-5k.mdb");
  auto changes = everySeventh(plain);
  changes.back().expected = !changes.back().expected;  // changed since it was read
  testing::expectRefused(plain, changes, ErrorKind::ChangedSinceRead);
  testing::expectRefused(plain, everySeventh(plain), ErrorKind::ColumnNotWritable, "ccode");

  const std::string deleted = folder.copyFixture("account-sets/deleted-2k.mdb");
  const auto rows = scanFlags(deleted, "code", "bend");
  const auto gap = std::adjacent_find(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
    return a.location.page == b.location.page && b.location.slot > a.location.slot + 1;
  });
  ASSERT_NE(gap, rows.end());
  auto withDeleted = everySeventh(deleted);
  withDeleted.push_back(
      {{gap->location.page, static_cast<std::uint16_t>(gap->location.slot + 1)}, false, true});
  testing::expectRefused(deleted, withDeleted, ErrorKind::ChangedSinceRead);

  // The same row twice, once by its entry and once by where its bytes are.
  const std::string overflow = folder.copyFixture("account-sets/overflow-2k.mdb");
  const auto scanned = scanFlags(overflow, "code", "bend");
  const auto movedRow = std::find_if(scanned.begin(), scanned.end(), moved);
  ASSERT_NE(movedRow, scanned.end());
  testing::expectRefused(overflow,
                         {{movedRow->entry, movedRow->value, !movedRow->value},
                          {movedRow->location, movedRow->value, !movedRow->value}},
                         ErrorKind::General);

  // An index on `bend` (refused, as the command-line tests show) leaves the file's other Yes/No
  // columns free.
  const std::string indexed = folder.copyFixture("account-sets/bend-indexed-1k.mdb");
  const auto cash = scanFlags(indexed, "code", "bcash");
  EXPECT_EQ(
      writeFlagsOf(indexed, {{cash[3].entry, cash[3].value, !cash[3].value}}, "bcash").rowsChanged,
      1u);

  // The session read the table before another program changed its definition.
  const std::string redefined = folder.copyFixture("account-sets/realistic-5k.mdb");
  const testing::OpenDatabase open(redefined);
  auto bytes = readBytes(redefined);
  bytes[std::uint64_t{open.table("code").definition.page} * 4096 + 43] ^= 1;  // variable columns
  testing::writeBytes(redefined, bytes);
  try {
    writeFlags(open.target("code", "bend"), everySeventh(redefined));
    ADD_FAILURE() << "the statement was not refused";
  } catch (const dataaccess::DataAccessError& error) {
    EXPECT_EQ(error.kind(), ErrorKind::ChangedSinceRead) << error.what();
  }
  EXPECT_EQ(readBytes(redefined), bytes);
}

TEST(FlagWriterTest, RowsOfAnUnknownLayoutAreRefused) {
  TempDir folder;
  const std::string path = folder.copyFixture("account-sets/overflow-2k.mdb");
  const auto rows = scanFlags(path, "code", "bend");
  const auto changes = everySeventh(path);
  auto wrongPage = changes;  // page 2 holds a table definition
  wrongPage.push_back({{2, 0}, false, true});
  testing::expectRefused(path, wrongPage, ErrorKind::UnknownLayout);
  auto noSuchEntry = changes;
  noSuchEntry.push_back({{rows[0].location.page, 900}, false, true});
  testing::expectRefused(path, noSuchEntry, ErrorKind::UnknownLayout);

  // A row claiming more columns than the table can have; a moved row's pointer to nowhere, then
  // to entry 0 of page 1, which is not the table's.
  const auto original = readBytes(path);
  const auto rowStart = [&](RowLocation at) {
    const std::size_t page = std::size_t{at.page} * 4096;
    return page + (readU16(original, page + 14 + 2 * at.slot) & kRowOffsetMask);
  };
  const auto movedRow = std::find_if(rows.begin(), rows.end(), moved);
  const std::vector<FlagChange> movedChange{{movedRow->entry, movedRow->value, !movedRow->value}};
  const std::size_t pointer = rowStart(movedRow->entry);
  for (const auto& [offset, value, statement] :
       {std::tuple{rowStart(rows[7].location), 200, changes},
        {pointer + 2, 0xFFFF, movedChange},
        {pointer, 1 << 8, movedChange}}) {
    auto bytes = original;
    writeU16(bytes, offset, static_cast<std::uint16_t>(value));
    if (offset == pointer) writeU16(bytes, pointer + 2, 0);
    testing::writeBytes(path, bytes);
    testing::expectRefused(path, statement, ErrorKind::UnknownLayout);
  }
}

TEST(FlagWriterTest, BusyFilesAreRefused) {
  TempDir folder;
  const std::string path = folder.copyFixture("account-sets/realistic-5k.mdb");
  const auto changes = everySeventh(path);
  // (A read-only file or folder, and a lock on the whole file, are the command-line tests'.)
  {  // One of Leafward's own readers, here or in another program, holds the file.
    platform::File reader = platform::File::open(path, platform::FileAccess::Read);
    ASSERT_TRUE(reader.tryLock(platform::LockKind::Shared));
    testing::expectRefused(path, changes, ErrorKind::InUse);
  }
#ifndef _WIN32
  // Another program's lock anywhere in the file (as Access locks bytes past its end), or on
  // Access's own lock file; a lock file nobody holds does not count.
  const std::string lockFile = folder.file("realistic-5k.ldb");
  testing::writeBytes(lockFile, std::vector<std::uint8_t>(64, 0));
  for (const auto& [file, start] : {std::pair{path, 0x10000000}, {lockFile, 10}}) {
    const int fd = ::open(file.c_str(), O_RDWR);
    struct flock lock {};
    lock.l_type = F_RDLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = start;
    lock.l_len = 1;
    ASSERT_EQ(::fcntl(fd, F_OFD_SETLK, &lock), 0);
    testing::expectRefused(path, changes, ErrorKind::InUse);
    ::close(fd);
  }
#endif
  EXPECT_GT(writeFlagsOf(path, changes).rowsChanged, 0u);
}

// Damaged table pages never crash the writer: it refuses with an error and leaves the file
// as it was, or it makes exactly the change asked for when the damage lies elsewhere.
TEST(HostilePagesTest, DamagedTablePagesAreRefusedOrLeftAlone) {
  testing::TempDir folder;
  std::string path = folder.copyFixture("account-sets/overflow-2k.mdb");
  auto original = readBytes(path);
  const auto rows = testing::scanFlags(path, "code", "bend");
  const auto changes = testing::flipsOf(rows, 13);
  const testing::OpenDatabase open(path);  // as a session read it before the damage
  const FlagTarget target = open.target("code", "bend");
  std::set<std::uint32_t> pageSet{target.table.page};
  for (const auto& row : rows) pageSet.insert(row.location.page);
  std::vector<std::uint32_t> pages(pageSet.begin(), pageSet.end());

  std::mt19937 random(20240611);
  std::size_t refused = 0;
  for (int round = 0; round < 80; ++round) {
    auto damaged = original;
    int edits = 1 + static_cast<int>(random() % 6);
    for (int e = 0; e < edits; ++e) {
      std::uint64_t page = pages[random() % pages.size()];
      // Aim at the headers and row tables as often as at the rows themselves.
      std::uint64_t offset = random() % 2 ? random() % 128 : random() % 4096;
      damaged[page * 4096 + offset] = static_cast<std::uint8_t>(random());
    }
    testing::writeBytes(path, damaged);
    try {
      writeFlags(target, changes);
      auto after = readBytes(path);
      EXPECT_EQ(testing::differences(damaged, after).size(), changes.size()) << round;
    } catch (const leafward::dataaccess::DataAccessError&) {
      ++refused;
      EXPECT_EQ(readBytes(path), damaged) << round;
    }
    EXPECT_FALSE(testing::fileExists(journalPathFor(open.path)));
  }
  EXPECT_GT(refused, 10u);
}

}  // namespace
}  // namespace leafward::jet
