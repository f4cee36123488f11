#include <gtest/gtest.h>

#include <random>
#include <set>

#include "writer_test_support.h"

namespace leafward::jet {
namespace {

using testing::readBytes;

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
