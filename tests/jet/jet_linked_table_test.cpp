// Linked tables. No sample file has one, so a copy's catalog entry is turned into a link by
// rewriting its row; mdb-export reads the entry back as a check on the bytes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>

#include "dataaccess/connection.h"
#include "dataaccess/jet/format/byte_order.h"
#include "dataaccess/jet/format/row.h"
#include "dataaccess/jet/read/linked_table.h"
#include "dataaccess/recordset.h"
#include "jet_test_support.h"

namespace leafward::jet {
namespace {

// Rewrites the catalog row stored last on its page (GradeDef's, in worked-example.mdb, a Jet 4
// file) as a link to `foreignName` in `file`: its Type, Database and ForeignName change, the
// rest stays. The row grows into the free space below it.
void makeLastCatalogRowALink(const std::string& path, const std::string& file,
                             const std::string& foreignName) {
  TableDefinition catalog;
  {
    const Pager pager(path, Pager::Access::Read);
    TextDecoder text(pager.format().version, pager.header().codePage);
    catalog = readTableDefinition(pager, text, kCatalogTablePage, "MSysObjects");
  }
  std::vector<std::uint8_t> bytes = testing::readBytes(path);
  const JetFormat format = JetFormat::jet4();
  std::size_t at = 0;
  while (bytes.at(at) != kPageData || readU32(bytes, at + 4) != kCatalogTablePage) {
    at += format.pageSize;
  }
  const std::span<std::uint8_t> page(bytes.data() + at, format.pageSize);
  const std::size_t entry = format.rowCountOffset + 2 * readU16(page, format.rowCountOffset);
  const RowExtent old{std::size_t{readU16(page, entry)} & kRowOffsetMask,
                      std::size_t{readU16(page, entry - 2)} & kRowOffsetMask};
  RowDecoder reader(format, catalog);
  ASSERT_TRUE(reader.parse(page, old));

  // The fixed part as it was, the variable columns by their place in the offset table (text
  // in UTF-16, a memo inline behind its 12-byte header), the null mask.
  const std::size_t maskSize = (readU16(page, old.start) + 7) / 8;
  std::vector<std::uint8_t> row(page.begin() + old.start,
                                page.begin() + old.start + readU16(page, old.end - maskSize - 4));
  std::vector<std::optional<std::vector<std::uint8_t>>> variable(
      readU16(page, old.end - maskSize - 2));
  std::vector<std::uint8_t> mask(page.begin() + old.end - maskSize, page.begin() + old.end);
  for (const auto& column : catalog.columns) {
    if (column.name == "Type") writeU16(row, 2 + column.fixedOffset, 6);
    if (column.fixed()) continue;
    const Field field = reader.field(column);
    auto& value = variable.at(column.variableIndex);
    if (field.present)
      value.emplace(page.begin() + field.offset, page.begin() + field.offset + field.length);
    const std::string text = column.name == "Database"      ? file
                             : column.name == "ForeignName" ? foreignName
                                                            : "";
    if (text.empty()) continue;
    value.emplace(column.is(JetType::Memo) ? 12 : 0, 0);
    if (column.is(JetType::Memo))
      writeU32(*value, 0, static_cast<std::uint32_t>(2 * text.size()) | 0x80000000u);
    for (char c : text) value->insert(value->end(), {static_cast<std::uint8_t>(c), 0});
    mask.at(column.number / 8) |= static_cast<std::uint8_t>(1u << (column.number % 8));
  }
  // Then the offsets of the variable data (last first, after the end of the data), their count
  // and the mask.
  std::vector<std::size_t> offsets;
  for (const auto& value : variable) {
    offsets.push_back(row.size());
    if (value) row.insert(row.end(), value->begin(), value->end());
  }
  offsets.push_back(row.size());
  const auto put16 = [&](std::size_t value) {
    row.insert(row.end(),
               {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8)});
  };
  for (auto offset = offsets.rbegin(); offset != offsets.rend(); ++offset) put16(*offset);
  put16(variable.size());
  row.insert(row.end(), mask.begin(), mask.end());

  const std::size_t start = old.end - row.size();
  ASSERT_GT(start, entry + 2);
  std::copy(row.begin(), row.end(), page.begin() + static_cast<std::ptrdiff_t>(start));
  writeU16(page, entry, static_cast<std::uint16_t>(start));
  writeU16(page, 2, static_cast<std::uint16_t>(readU16(page, 2) - (row.size() - old.size())));
  testing::writeBytes(path, bytes);
}

std::string failureOf(dataaccess::Connection& connection, const std::string& statement) {
  try {
    connection.execute(statement);
  } catch (const dataaccess::DataAccessError& error) {
    return error.what();
  }
  return "(ran)";
}

TEST(JetLinkedTableTest, ALinkedTableNamesTheFileItLinksTo) {
  LEAFWARD_NEEDS_MDBTOOLS();
  testing::TempDir dir;
  const std::string path = dir.copyFixture("account-sets/worked-example.mdb");
  makeLastCatalogRowALink(path, R"(C:\Books\ledger.mdb)", "SchemeRules");
  const auto exported = testing::mdbExport(path, "MSysObjects");
  const auto& row = *std::find_if(exported.rows.begin(), exported.rows.end(), [&](const auto& r) {
    return r[exported.columnIndex("Name")] == "GradeDef";
  });
  EXPECT_EQ(row[exported.columnIndex("Type")], "6");
  EXPECT_EQ(row[exported.columnIndex("Database")], R"(C:\Books\ledger.mdb)");
  EXPECT_EQ(row[exported.columnIndex("ForeignName")], "SchemeRules");

  dataaccess::Connection connection;
  connection.open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source='" + path + "';");
  const std::string message =
      R"(The table 'GradeDef' is a link to the table 'SchemeRules' in the file C:\Books\ledger.mdb; open that file to read it)";
  EXPECT_EQ(failureOf(connection, "SELECT * FROM gradedef"), message);
  EXPECT_EQ(failureOf(connection, "UPDATE GradeDef SET x = 1"), message);
  EXPECT_EQ(connection.execute("SELECT ccode FROM code")->recordCount(), 6);
  EXPECT_THAT(failureOf(connection, "SELECT * FROM nothere"),
              ::testing::HasSubstr("Unknown table"));
}

TEST(JetLinkedTableTest, TheLinkedFileComesFromTheConnectStringWhenTheEntryNamesNoOther) {
  EXPECT_EQ(linkedFileOf("", R"(Excel 8.0;HDR=YES; database = C:\x.xls ;IMEX=2)"), R"(C:\x.xls)");
  EXPECT_EQ(linkedFileOf(R"(D:\a.mdb)", R"(;DATABASE=C:\b.mdb)"), R"(D:\a.mdb)");
  EXPECT_EQ(linkedFileOf("", "Text;HDR=NO"), "");
  EXPECT_EQ(linkedTableMessage({"code", "dbo.code", "", true}),
            "The table 'code' is a link to the table 'dbo.code' of an ODBC data source; its rows "
            "are not in this file");
  EXPECT_EQ(linkedTableMessage({"t\nx", "", "", false}),
            "The table 't?x' is a link to a table in another file, which the link does not name; "
            "its rows are not in this file");
}

}  // namespace
}  // namespace leafward::jet
