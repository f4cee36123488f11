#include <gtest/gtest.h>

#include "dataaccess/jet/flag_writer.h"
#include "dataaccess/jet/jet_database.h"
#include "dataaccess/jet/jet_table_source.h"
#include "writer_test_support.h"

namespace leafward::jet {
namespace {

using dataaccess::Value;

struct CodeTable {
  std::vector<std::vector<Value>> columns;  // every column, in table order
  std::vector<RowLocation> locations;
  std::size_t bend = 0;
};

CodeTable readCode(const std::string& path) {
  JetDatabase database(path);
  JetTableSource source(database);
  auto info = source.describe("code");
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

class ReaderWriterTest : public ::testing::TestWithParam<std::string> {};

// The locations and values the reader hands out are what the writer takes: flipping some
// rows through them changes exactly those rows' values when the file is read again.
TEST_P(ReaderWriterTest, RowsReadCanBeWrittenBack) {
  testing::TempFolder folder;
  std::string path = folder.copyFixture(GetParam());
  CodeTable before = readCode(path);
  const auto& bend = before.columns[before.bend];

  std::vector<FlagChange> changes;
  for (std::size_t i = 0; i < before.locations.size(); i += 5) {
    bool value = bend[i].asYesNo();
    changes.push_back({before.locations[i], value, !value});
  }
  EXPECT_EQ(writeFlags(path, "code", "bend", changes).rowsChanged, changes.size());

  CodeTable after = readCode(path);
  ASSERT_EQ(after.locations, before.locations);
  for (std::size_t c = 0; c < before.columns.size(); ++c) {
    auto expected = before.columns[c];
    if (c == before.bend) {
      for (std::size_t i = 0; i < expected.size(); i += 5) {
        expected[i] = Value::yesNo(!expected[i].asYesNo());
      }
    }
    EXPECT_EQ(after.columns[c], expected) << "column " << c;
  }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, ReaderWriterTest,
                         ::testing::Values("account-sets/realistic-5k.mdb",
                                           "account-sets/overflow-2k.mdb",
                                           "account-sets/deleted-2k.mdb"),
                         [](const auto& info) {
                           std::string name = info.param.substr(info.param.find('/') + 1);
                           return name.substr(0, name.find('-'));
                         });

}  // namespace
}  // namespace leafward::jet
