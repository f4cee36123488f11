#include <gtest/gtest.h>

#include "dataaccess/jet/flag_writer.h"
#include "dataaccess/jet/jet_database.h"
#include "dataaccess/jet/jet_table_source.h"
#include "support/jet_files.h"

namespace leafward::jet {
namespace {

struct CodeTable {
  std::vector<std::vector<dataaccess::Value>> columns;  // every column, in table order
  std::vector<RowLocation> locations;
  std::size_t bend = 0;
};

CodeTable readCode(const std::string& path) {
  JetDatabase database(path);
  JetTableSource source(database);
  const auto info = source.describe("code");
  CodeTable table;
  std::vector<std::size_t> all;
  for (std::size_t i = 0; i < info->columns.size(); ++i) {
    all.push_back(i);
    if (info->columns[i].name == "bend") table.bend = i;
  }
  table.columns = source.read(*info, all).columns;
  table.locations = source.rowLocations("code");
  return table;
}

// The locations and values the reader hands out are what the writer takes: flipping some
// rows through them changes exactly those rows' values when the file is read again.
TEST(ReaderWriterTest, RowsReadCanBeWrittenBack) {
  for (const char* fixture : {"account-sets/overflow-2k.mdb", "account-sets/deleted-2k.mdb"}) {
    SCOPED_TRACE(fixture);
    testing::TempDir folder;
    const std::string path = folder.copyFixture(fixture);
    const CodeTable before = readCode(path);
    auto expected = before.columns;
    std::vector<FlagChange> changes;
    for (std::size_t i = 0; i < before.locations.size(); i += 5) {
      const bool value = before.columns[before.bend][i].asYesNo();
      changes.push_back({before.locations[i], value, !value});
      expected[before.bend][i] = dataaccess::Value::yesNo(!value);
    }
    EXPECT_EQ(writeFlags(path, "code", "bend", changes).rowsChanged, changes.size());
    const CodeTable after = readCode(path);
    EXPECT_EQ(after.locations, before.locations);
    EXPECT_EQ(after.columns, expected);
  }
}

}  // namespace
}  // namespace leafward::jet
