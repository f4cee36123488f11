#include <gtest/gtest.h>

#include <algorithm>

#include "jet_test_support.h"

namespace leafward::jet {
namespace {

using dataaccess::Value;

struct CodeRead {
  std::vector<Value> bend;
  std::vector<RowLocation> locations;
  unsigned bendBit = 0;
};

CodeRead readBend(const std::string& path) {
  JetDatabase database(path);
  JetTableSource source(database);
  const auto info = source.describe("code");
  std::size_t bend = 0;
  while (info->columns[bend].name != "bend") ++bend;
  CodeRead read;
  read.bend = source.read(*info, {bend}).columns[0];
  read.locations = source.rowLocations("CODE");
  read.bendBit = database.findTable("code")->layout.columns[bend].number;
  return read;
}

bool ascending(const std::vector<RowLocation>& locations) {
  return std::adjacent_find(locations.begin(), locations.end(), [](RowLocation a, RowLocation b) {
           return std::pair(a.page, a.slot) >= std::pair(b.page, b.slot);
         }) == locations.end();
}

TEST(JetRowLocationsTest, MovedRowsAreReadOnceAtTheEntryThatPointsToThem) {
  const std::string path = testing::fixture("account-sets/overflow-2k.mdb");
  const CodeRead read = readBend(path);
  const testing::RawFile raw(path);
  ASSERT_EQ(read.bend.size(), 2000u);
  ASSERT_EQ(read.locations.size(), 2000u);
  EXPECT_TRUE(ascending(read.locations));  // so every row has its own entry
  std::size_t moved = 0;
  for (std::size_t i = 0; i < read.locations.size(); ++i) {
    const RowLocation at = read.locations[i];
    if (raw.isPointer(at)) ++moved;
    // The Yes/No value is the row's null-mask bit, wherever the row's bytes now are.
    EXPECT_EQ(read.bend[i], Value::yesNo(raw.maskBit(at, read.bendBit))) << "row " << i;
  }
  EXPECT_GT(moved, 0u);
  EXPECT_LT(moved, read.locations.size());
}

TEST(JetRowLocationsTest, DeletedRowsHaveNoLocationAndLocationsFollowTheLatestRead) {
  const std::string path = testing::fixture("account-sets/deleted-2k.mdb");
  const CodeRead read = readBend(path);
  const testing::RawFile raw(path);
  ASSERT_EQ(read.locations.size(), 2000u - 2000u / 9);
  EXPECT_TRUE(ascending(read.locations));
  for (std::size_t i = 0; i < read.locations.size(); ++i) {
    EXPECT_EQ(raw.entry(read.locations[i]) & kRowDeletedFlags, 0) << "row " << i;
    EXPECT_EQ(read.bend[i], Value::yesNo(raw.maskBit(read.locations[i], read.bendBit)));
  }

  JetDatabase database(path);
  JetTableSource source(database);
  EXPECT_TRUE(source.rowLocations("code").empty());
  const auto info = source.describe("GradeDef");
  source.read(*info, {0});
  EXPECT_EQ(source.rowLocations("gradedef").size(), 3u);
  EXPECT_TRUE(source.rowLocations("code").empty());
}

}  // namespace
}  // namespace leafward::jet
