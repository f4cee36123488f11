#include <gtest/gtest.h>

#include <map>

#include "jet_test_support.h"
#include "support/flag_scan.h"

namespace leafward::jet {
namespace {

// The reader records where each row lives; the writer must find every one of them there, in
// every test database: the reader's rows and values match a page-by-page scan of the file, and
// a statement that stores every row's own value back is accepted and changes nothing.
TEST(JetRowLocationsTest, ReaderAndWriterAgreeOnEveryLiveRow) {
  std::size_t tablesCompared = 0, movedRows = 0;
  for (const auto& fixture : testing::everyTestDatabase()) {
    testing::TempDir dir;
    const std::string path = dir.copyFixture(fixture.substr(fixture.rfind("/data/") + 6));
    testing::OpenDatabase open(path);
    JetTableSource source(open.database);
    for (const auto& table : open.database.tables()) {
      const auto& columns = table.definition.columns;
      const auto flag = std::find_if(columns.begin(), columns.end(),
                                     [](const auto& c) { return c.is(JetType::Boolean); });
      if (flag == columns.end()) continue;
      SCOPED_TRACE(path + " " + table.definition.name + "." + flag->name);
      const auto info = source.describe(table.definition.name);
      const std::size_t index = static_cast<std::size_t>(flag - columns.begin());
      const auto values = source.read(*info, {index}).columns[0];
      const auto& locations = source.rowLocations(table.definition.name);

      std::map<std::pair<std::uint32_t, std::uint16_t>, bool> scanned;
      for (const auto& row : testing::scanFlags(path, table.definition.name, flag->name)) {
        scanned[{row.entry.page, row.entry.slot}] = row.value;
        movedRows += !(row.entry == row.location);
      }
      ASSERT_EQ(locations.size(), scanned.size());
      std::vector<FlagChange> unchanged;
      for (std::size_t i = 0; i < locations.size(); ++i) {
        const auto found = scanned.find({locations[i].page, locations[i].slot});
        ASSERT_NE(found, scanned.end()) << "row " << i;
        EXPECT_EQ(found->second, values[i].asYesNo()) << "row " << i;
        unchanged.push_back({locations[i], values[i].asYesNo(), values[i].asYesNo()});
      }
      const auto before = testing::readBytes(path);
      const FlagWriteResult result =
          writeFlags(open.target(table.definition.name, flag->name), unchanged);
      EXPECT_EQ(result.rowsChanged + result.pagesWritten, 0u);
      EXPECT_EQ(testing::readBytes(path), before);
      ++tablesCompared;
    }
  }
  EXPECT_GE(tablesCompared, 12u);
  EXPECT_GT(movedRows, 100u);
}

}  // namespace
}  // namespace leafward::jet
