#include <gtest/gtest.h>

#include <random>
#include <set>

#include "dataaccess/errors.h"
#include "dataaccess/jet/flag_scan.h"
#include "dataaccess/jet/flag_writer.h"
#include "dataaccess/jet/rollback_journal.h"
#include "dataaccess/jet/table_catalog.h"
#include "support/jet_files.h"

namespace leafward::jet {
namespace {

using testing::readBytes;

// Damaged table pages never crash the writer: it refuses with an error and leaves the file
// as it was, or it makes exactly the change asked for when the damage lies elsewhere.
TEST(HostilePagesTest, DamagedTablePagesAreRefusedOrLeftAlone) {
  testing::TempDir folder;
  std::string path = folder.copyFixture("account-sets/overflow-2k.mdb");
  auto original = readBytes(path);
  auto rows = scanFlags(path, "code", "bend");
  std::vector<FlagChange> changes;
  std::set<std::uint32_t> pageSet{findTablePage(path, "code")};
  for (std::size_t i = 0; i < rows.size(); i += 13) {
    changes.push_back({rows[i].entry, rows[i].value, !rows[i].value});
  }
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
      writeFlags(path, "code", "bend", changes);
      auto after = readBytes(path);
      EXPECT_EQ(testing::differences(damaged, after).size(), changes.size()) << round;
    } catch (const leafward::dataaccess::DataAccessError&) {
      ++refused;
      EXPECT_EQ(readBytes(path), damaged) << round;
    }
    EXPECT_FALSE(testing::fileExists(journalPathFor(path)));
  }
  EXPECT_GT(refused, 10u);
}

}  // namespace
}  // namespace leafward::jet
