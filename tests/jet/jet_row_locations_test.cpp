#include <gtest/gtest.h>

#include <algorithm>

#include "jet_test_support.h"

namespace leafward::jet {
namespace {

using dataaccess::Value;

// Each live row has its own entry, in table order; a moved row is read once, at the entry that
// points to it; its Yes/No value is the null-mask bit wherever its bytes now are.
TEST(JetRowLocationsTest, EveryLiveRowIsReadOnceAtItsOwnEntry) {
  for (const auto& [file, rows, movedExpected] :
       {std::tuple{"overflow-2k.mdb", 2000u, true}, {"deleted-2k.mdb", 2000u - 2000u / 9, false}}) {
    SCOPED_TRACE(file);
    const std::string path = testing::fixture(std::string("account-sets/") + file);
    JetDatabase database(path);
    JetTableSource source(database);
    const auto info = source.describe("code");
    std::size_t bend = 0;
    while (info->columns[bend].name != "bend") ++bend;
    const auto values = source.read(*info, {bend}).columns[0];
    const auto& locations = source.rowLocations("CODE");
    const unsigned bendBit = database.findTable("code")->layout.columns[bend].number;
    const testing::RawFile raw(path);
    ASSERT_EQ(values.size(), rows);
    ASSERT_EQ(locations.size(), rows);
    EXPECT_TRUE(std::adjacent_find(locations.begin(), locations.end(), [](auto a, auto b) {
                  return std::pair(a.page, a.slot) >= std::pair(b.page, b.slot);
                }) == locations.end());
    std::size_t moved = 0;
    for (std::size_t i = 0; i < rows; ++i) {
      moved += raw.isPointer(locations[i]);
      EXPECT_EQ(raw.entry(locations[i]) & kRowDeletedFlags & ~kRowPointerFlag, 0) << "row " << i;
      EXPECT_EQ(values[i], Value::yesNo(raw.maskBit(locations[i], bendBit))) << "row " << i;
    }
    EXPECT_EQ(moved > 0, movedExpected);
    EXPECT_LT(moved, rows);

    // The locations are those of the latest read of each table.
    JetTableSource fresh(database);
    EXPECT_TRUE(fresh.rowLocations("code").empty());
    fresh.read(*fresh.describe("GradeDef"), {0});
    EXPECT_EQ(fresh.rowLocations("gradedef").size(), 3u);
    EXPECT_TRUE(fresh.rowLocations("code").empty());
  }
}

}  // namespace
}  // namespace leafward::jet
