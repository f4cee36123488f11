// Access 97 (Jet 3) files are written too. Their rows keep one-byte offsets plus a jump table
// once a row passes 256 bytes, so rows of exactly 256 and 512 bytes are the edge: a copy of
// testV1997.mdb gets its two rows of Table1 rewritten to those lengths, then its Yes/No flags
// are flipped and everything is checked against mdb-export.
#include <gtest/gtest.h>

#include "dataaccess/jet/format/byte_order.h"
#include "support/oracle.h"
#include "writer_test_support.h"

namespace leafward::jet {
namespace {

constexpr std::size_t kPage = 2048;

// A Jet 3 row: the column count and fixed area of `old`, the variable columns `texts`, then the
// end-of-data offset, the offsets (all stored last first, their low bytes), the jump table (for
// each further 256 bytes, the first offset that reaches there), their count and the null mask
// of `old` with every variable column present.
std::vector<std::uint8_t> jet3Row(Bytes old, std::size_t fixedEnd, std::size_t maskBytes,
                                  const std::vector<std::string>& texts) {
  std::vector<std::uint8_t> data(old.begin(), old.begin() + static_cast<std::ptrdiff_t>(fixedEnd));
  std::vector<std::size_t> offsets;
  for (const auto& text : texts) {
    offsets.push_back(data.size());
    data.insert(data.end(), text.begin(), text.end());
  }
  offsets.push_back(data.size());
  // One jump entry per further 256 bytes of the whole row (right for rows up to 512 bytes).
  const std::size_t jumps = (data.size() + offsets.size() + 1 + maskBytes - 1) / 256;
  std::vector<std::uint8_t> row = data;
  for (auto offset = offsets.rbegin(); offset != offsets.rend(); ++offset) {
    row.push_back(static_cast<std::uint8_t>(*offset));
  }
  for (std::size_t j = jumps; j-- > 0;) {
    std::uint8_t first = 0xFF;
    for (std::size_t i = 0; i < offsets.size(); ++i) {
      if (offsets[i] >= 256 * (j + 1)) {
        first = static_cast<std::uint8_t>(i);
        break;
      }
    }
    row.push_back(first);
  }
  row.push_back(static_cast<std::uint8_t>(texts.size()));
  row.insert(row.end(), old.end() - static_cast<std::ptrdiff_t>(maskBytes), old.end());
  row[row.size() - maskBytes] |= 0x03;  // A and B, columns 0 and 1, are present
  return row;
}

TEST(Jet3WriterTest, RowsAtA256ByteBoundaryReadAndFlipAsMdbExportSeesThem) {
  LEAFWARD_NEEDS_MDBTOOLS();
  testing::TempDir folder;
  const std::string path = folder.copyFixture("jet-samples/testV1997.mdb");
  std::uint32_t dataPage = 0;
  {
    const testing::OpenDatabase open(path);
    ASSERT_TRUE(open.pager.format().isJet3());
    dataPage = open.table("Table1").pages.at(0);
  }
  auto bytes = testing::readBytes(path);
  const std::span<std::uint8_t> page(bytes.data() + std::size_t{dataPage} * kPage, kPage);
  ASSERT_EQ(readU16(page, 8), 2);  // two rows
  const std::size_t fixedEnd = 1 + 31, maskBytes = 2;
  const std::vector<std::vector<std::string>> texts = {
      {std::string(50, 'a'), std::string(168, 'b')},   // 256 bytes: no jump table
      {std::string(50, 'c'), std::string(423, 'd')}};  // 512 bytes: one jump
  std::vector<std::vector<std::uint8_t>> rows;
  for (std::size_t slot = 0; slot < 2; ++slot) {
    const std::size_t start = readU16(page, 10 + 2 * slot) & kRowOffsetMask;
    const std::size_t end = slot == 0 ? kPage : readU16(page, 10) & kRowOffsetMask;
    rows.push_back(
        jet3Row(Bytes(page).subspan(start, end - start), fixedEnd, maskBytes, texts[slot]));
  }
  ASSERT_EQ(rows[0].size(), 256u);
  ASSERT_EQ(rows[1].size(), 512u);
  std::size_t end = kPage;
  for (std::size_t slot = 0; slot < 2; ++slot) {
    end -= rows[slot].size();
    std::copy(rows[slot].begin(), rows[slot].end(),
              page.begin() + static_cast<std::ptrdiff_t>(end));
    writeU16(page, 10 + 2 * slot, static_cast<std::uint16_t>(end));
  }
  testing::writeBytes(path, bytes);

  const auto exported = testing::mdbExport(path, "Table1");
  ASSERT_EQ(exported.rows.size(), 2u);
  EXPECT_EQ(exported.rows[0][0], texts[0][0]);
  EXPECT_EQ(exported.rows[1][1], texts[1][1]);
  {
    testing::OpenDatabase reading(path);
    JetTableSource source(reading.database);
    const auto read = source.read(*source.describe("Table1"), {0, 1, 3});
    EXPECT_EQ(read.columns[0]->value(0).asText(), texts[0][0]);
    EXPECT_EQ(read.columns[1]->value(1).asText(), texts[1][1]);
    EXPECT_EQ(read.columns[2]->value(1).toText(), exported.rows[1][3]);
  }

  const auto flags = testing::scanFlags(path, "Table1", "I");
  ASSERT_EQ(flags.size(), 2u);
  const testing::OpenDatabase open(path);
  const auto before = testing::readBytes(path);
  EXPECT_EQ(writeFlags(open.target("Table1", "I"), testing::flipsOf(flags)).rowsChanged, 2u);
  const auto after = testing::mdbExport(path, "Table1");
  EXPECT_EQ(after.rows[0][8], exported.rows[0][8] == "1" ? "0" : "1");
  EXPECT_EQ(after.rows[1][8], exported.rows[1][8] == "1" ? "0" : "1");
  EXPECT_EQ(testing::differences(before, testing::readBytes(path)).size(), 2u);
}

}  // namespace
}  // namespace leafward::jet
