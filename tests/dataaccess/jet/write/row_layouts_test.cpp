// Row layouts at their edges, read and flipped as mdb-export sees them. Copies of the fixtures
// have rows rewritten in place: Jet 3 rows whose variable-column offsets cross one and several
// 256-byte steps, with text at the top of the code page; null masks of exactly 8, 16 and 24
// columns; rows written before a variable column was added.
#include <gtest/gtest.h>

#include <functional>

#include "dataaccess/jet/format/byte_order.h"
#include "dataaccess/jet/jet_test_support.h"
#include "support/oracle.h"
#include "writer_test_support.h"

namespace leafward::jet {
namespace {

using testing::readBytes;
using Image = std::vector<std::uint8_t>;

// Lays the rows of data page `number` out again from the end of the page after `edit` has had
// each one (its slot and bytes); the entries keep their flags, the page's free space follows.
void rewriteRows(Image& bytes, std::uint32_t number, const JetFormat& format,
                 const std::function<void(std::size_t, Image&)>& edit) {
  const std::span<std::uint8_t> page(bytes.data() + std::size_t{number} * format.pageSize,
                                     format.pageSize);
  const std::size_t count = RowTable(page, format).count().value();
  std::vector<Image> rows;
  long grown = 0;
  for (std::size_t slot = 0; slot < count; ++slot) {
    const RowExtent extent = RowTable(page, format).extent(slot, count).value();
    rows.emplace_back(page.begin() + static_cast<std::ptrdiff_t>(extent.start),
                      page.begin() + static_cast<std::ptrdiff_t>(extent.end));
    edit(slot, rows.back());
    grown += static_cast<long>(rows.back().size()) - static_cast<long>(extent.size());
  }
  std::size_t end = format.pageSize;
  for (std::size_t slot = 0; slot < count; ++slot) {
    end -= rows[slot].size();
    std::copy(rows[slot].begin(), rows[slot].end(),
              page.begin() + static_cast<std::ptrdiff_t>(end));
    const std::size_t at = format.rowCountOffset + 2 + 2 * slot;
    writeU16(page, at, static_cast<std::uint16_t>((readU16(page, at) & ~kRowOffsetMask) | end));
  }
  ASSERT_GT(end, format.rowCountOffset + 2 + 2 * count);
  writeU16(page, 2, static_cast<std::uint16_t>(readU16(page, 2) - grown));
}

// Flips every flag of `column` and checks, through the reader and mdb-export, that exactly
// those values changed and nothing else in the file but one bit a row.
void expectEveryFlagFlips(const std::string& path, const std::string& table,
                          const std::string& column) {
  const auto flags = testing::scanFlags(path, table, column);
  const auto before = readBytes(path);
  testing::OpenDatabase open(path);
  EXPECT_EQ(writeFlags(open.target(table, column), testing::flipsOf(flags)).rowsChanged,
            flags.size());
  EXPECT_EQ(testing::differences(before, readBytes(path)).size(), flags.size());
  const auto after = testing::scanFlags(path, table, column);
  for (std::size_t i = 0; i < flags.size(); ++i) EXPECT_NE(after[i].value, flags[i].value);
}

// A Jet 3 row: the column count and fixed area of `old`, the variable columns `texts`, then the
// end-of-data offset, the offsets (all stored last first, their low bytes), the jump table (for
// each further 256 bytes of the row, the first offset that reaches there), their count and the
// null mask of `old` with every variable column present.
Image jet3Row(Bytes old, std::size_t fixedEnd, std::size_t maskBytes,
              const std::vector<std::string>& texts) {
  Image row(old.begin(), old.begin() + static_cast<std::ptrdiff_t>(fixedEnd));
  std::vector<std::size_t> offsets;
  for (const auto& text : texts) {
    offsets.push_back(row.size());
    row.insert(row.end(), text.begin(), text.end());
  }
  offsets.push_back(row.size());
  const std::size_t fixedPart = row.size() + offsets.size() + 1 + maskBytes;
  std::size_t jumps = 0;
  while ((fixedPart + jumps - 1) / 256 > jumps) ++jumps;
  for (auto offset = offsets.rbegin(); offset != offsets.rend(); ++offset) {
    row.push_back(static_cast<std::uint8_t>(*offset));
  }
  for (std::size_t j = jumps; j-- > 0;) {
    std::size_t first = 0;
    while (offsets[first] < 256 * (j + 1)) ++first;
    row.push_back(static_cast<std::uint8_t>(first));
  }
  row.push_back(static_cast<std::uint8_t>(texts.size()));
  row.insert(row.end(), old.end() - static_cast<std::ptrdiff_t>(maskBytes), old.end());
  row[row.size() - maskBytes] |= 0x03;  // A and B, columns 0 and 1, are present
  return row;
}

// Windows-1252 text from the top of the code page, and the same as UTF-8.
std::pair<std::string, std::string> highCodePageText(std::size_t length) {
  std::string stored, utf8;
  for (std::size_t i = 0; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(i % 8 == 0 ? 0x80 : 0xC0 + i % 64);
    stored += static_cast<char>(byte);
    utf8 += byte == 0x80 ? std::string("\u20AC")
                         : std::string{static_cast<char>(0xC3), static_cast<char>(byte - 0x40)};
  }
  return {stored, utf8};
}

// Rows of 256 bytes (no jump table) and of 891, whose last offset lies three 256-byte steps
// above the one before it (so three jump entries name it), holding text from the top of the
// code page; a copy of testV1997.mdb's Table1 is given them.
TEST(RowLayoutTest, Jet3RowsAcrossSeveral256ByteStepsReadAndFlipAsMdbExportSeesThem) {
  testing::TempDir folder;
  const std::string path = folder.copyFixture("jet-samples/testV1997.mdb");
  std::uint32_t dataPage = 0;
  {
    const testing::OpenDatabase open(path);
    ASSERT_TRUE(open.pager.format().isJet3());
    dataPage = open.table("Table1").pages.at(0);
  }
  const auto [high, highUtf8] = highCodePageText(800);
  const std::vector<std::vector<std::string>> texts = {
      {std::string(50, 'a'), std::string(168, 'b')}, {std::string(50, 'c'), high}};
  auto bytes = readBytes(path);
  rewriteRows(bytes, dataPage, JetFormat::jet3(),
              [&](std::size_t slot, Image& row) { row = jet3Row(row, 1 + 31, 2, texts.at(slot)); });
  const std::size_t page = std::size_t{dataPage} * kJet3PageSize;
  EXPECT_EQ(readU16(bytes, page + 10) & kRowOffsetMask, kJet3PageSize - 256);
  EXPECT_EQ(readU16(bytes, page + 12) & kRowOffsetMask, kJet3PageSize - 256 - 891);
  testing::writeBytes(path, bytes);

  {
    testing::OpenDatabase reading(path);
    JetTableSource source(reading.database);
    const auto read = source.read(*source.describe("Table1"), {0, 1});
    EXPECT_EQ(read.columns[0]->value(0).asText(), texts[0][0]);
    EXPECT_EQ(read.columns[1]->value(0).asText(), texts[0][1]);
    EXPECT_EQ(read.columns[0]->value(1).asText(), texts[1][0]);
    EXPECT_EQ(read.columns[1]->value(1).asText(), highUtf8);
  }
#ifndef _WIN32
  const auto exported = testing::mdbExport(path, "Table1");
  ASSERT_EQ(exported.rows.size(), 2u);
  EXPECT_EQ(exported.rows[1][1], highUtf8);
#endif
  expectEveryFlagFlips(path, "Table1", "I");
}

// A row's null mask has (columns + 7) / 8 bytes. worked-example.mdb's code table is made to
// hold 8, 16 and 24 columns (all but its two deleted since): its limit in the definition, and
// every row's column count and mask, say so.
TEST(RowLayoutTest, NullMasksOfEightSixteenAndTwentyFourColumnsReadAndFlip) {
  const std::vector<std::pair<std::string, bool>> rows = {{"1001", true},   {"100101", true},
                                                          {"1002", true},   {"100201", false},
                                                          {"100202", true}, {"10020201", true}};
  for (const std::uint16_t columns : {8, 16, 24}) {
    SCOPED_TRACE(std::to_string(columns) + " columns");
    testing::TempDir folder;
    const std::string path = folder.copyFixture("account-sets/worked-example.mdb");
    const JetFormat format = JetFormat::jet4();
    auto bytes = readBytes(path);
    {
      const testing::OpenDatabase open(path);
      const JetTable& code = open.table("code");
      writeU16(bytes, std::size_t{code.definition.page} * format.pageSize + format.tdefMaxColumns,
               columns);
      for (const std::uint32_t page : code.pages) {
        rewriteRows(bytes, page, format, [&](std::size_t, Image& row) {
          const std::size_t maskBytes = (readU16(row, 0) + 7u) / 8u;
          writeU16(row, 0, columns);
          row.insert(row.end(), (columns + 7u) / 8u - maskBytes, 0);
        });
      }
    }
    testing::writeBytes(path, bytes);

    testing::OpenDatabase open(path);
    JetTableSource source(open.database);
    const auto read = source.read(*source.describe("code"), {0, 1});
    ASSERT_EQ(read.rowCount, rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
      EXPECT_EQ(read.columns[0]->value(i).asText(), rows[i].first);
      EXPECT_EQ(read.columns[1]->value(i).asYesNo(), rows[i].second) << rows[i].first;
    }
#ifndef _WIN32
    const auto exported = testing::mdbExport(path, "code");
    for (std::size_t i = 0; i < rows.size(); ++i) {
      EXPECT_EQ(exported.rows.at(i)[1], rows[i].second ? "1" : "0") << rows[i].first;
    }
#endif
    expectEveryFlagFlips(path, "code", "bend");
  }
}

// Rows written before a variable column was added lack it: two rows of realistic-5k.mdb's code
// table that hold a memo are rewritten without it, one as a row of the ten columns before the
// memo, one with its column count still covering the memo but its variable columns ending
// before it. Both read the memo as NULL and everything else as before, and their flags flip.
TEST(RowLayoutTest, AVariableColumnAddedAfterARowWasWrittenIsNullInIt) {
  testing::TempDir folder;
  const std::string path = folder.copyFixture("account-sets/realistic-5k.mdb");
  const JetFormat format = JetFormat::jet4();
  testing::Rows before;
  std::vector<std::size_t> lacking;
  auto bytes = readBytes(path);
  {
    testing::OpenDatabase open(path);
    JetTableSource source(open.database);
    before = testing::readAll(source, "code");
    const auto& locations = source.rowLocations("code");
    const std::uint32_t page = open.table("code").pages.at(0);
    std::vector<std::size_t> slots;
    for (std::size_t i = 0; i < before.size() && lacking.size() < 2; ++i) {
      if (locations[i].page != page || before[i][10].isNull()) continue;
      lacking.push_back(i);
      slots.push_back(locations[i].slot);
    }
    ASSERT_EQ(lacking.size(), 2u);
    rewriteRows(bytes, page, format, [&](std::size_t slot, Image& row) {
      const auto which = std::find(slots.begin(), slots.end(), slot);
      if (which == slots.end()) return;
      const std::size_t countAt = row.size() - 2 - 2;  // two mask bytes, then the count
      ASSERT_EQ(readU16(row, countAt), 4);             // cmemo is the last of four
      std::vector<std::uint16_t> offsets;
      for (std::size_t k = 0; k < 4; ++k) offsets.push_back(readU16(row, countAt - 2 * (k + 1)));
      Image shorter(row.begin(), row.begin() + offsets[3]);
      for (std::size_t k = 4; k-- > 0;) shorter.insert(shorter.end(), {0, 0});
      for (std::size_t k = 0; k < 4; ++k) {
        writeU16(shorter, shorter.size() - 2 * (k + 1), offsets[k]);
      }
      shorter.insert(shorter.end(), {3, 0});
      shorter.insert(shorter.end(), row.end() - 2, row.end());
      if (which == slots.begin()) {
        writeU16(shorter, 0, 10);  // written when the table had ten columns
        shorter.back() &= static_cast<std::uint8_t>(~(1u << (10 % 8)));
      }
      row = shorter;
    });
  }
  testing::writeBytes(path, bytes);

  testing::OpenDatabase open(path);
  JetTableSource source(open.database);
  testing::Rows expected = before;
  for (const std::size_t i : lacking) expected[i][10] = dataaccess::Value();
  EXPECT_EQ(testing::readAll(source, "code"), expected);
#ifndef _WIN32
  const auto exported = testing::mdbExport(path, "code");
  for (const std::size_t i : lacking) {
    EXPECT_EQ(exported.rows.at(i)[0], before[i][0].asText());
    EXPECT_EQ(exported.rows.at(i)[10], "");
  }
#endif
  expectEveryFlagFlips(path, "code", "bend");
}

}  // namespace
}  // namespace leafward::jet
