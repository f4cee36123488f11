// Linked tables. No sample file has one, so a copy's catalog entry is turned into a link by
// rewriting its row; mdb-export reads the rewritten row back as a check on the bytes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>

#include "dataaccess/connection.h"
#include "dataaccess/jet/format/row.h"
#include "dataaccess/jet/read/linked_table.h"
#include "dataaccess/recordset.h"
#include "jet_test_support.h"

namespace leafward::jet {
namespace {

using ::testing::HasSubstr;

struct CatalogLink {
  std::int16_t type = 6;
  std::string database, connect, foreignName;
};

using StoredBytes = std::optional<std::vector<std::uint8_t>>;

StoredBytes utf16(const std::string& ascii) {
  if (ascii.empty()) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  for (char c : ascii) bytes.insert(bytes.end(), {static_cast<std::uint8_t>(c), 0});
  return bytes;
}

StoredBytes inlineMemo(const std::string& ascii) {
  StoredBytes text = utf16(ascii);
  if (!text) return text;
  std::vector<std::uint8_t> bytes(12, 0);
  const auto length = static_cast<std::uint32_t>(text->size()) | 0x80000000u;
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(length >> (8 * i));
  bytes.insert(bytes.end(), text->begin(), text->end());
  return bytes;
}

void putU16(std::vector<std::uint8_t>& out, std::size_t at, std::size_t value) {
  out[at] = static_cast<std::uint8_t>(value);
  out[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

// Rewrites the catalog row stored last on its page (GradeDef's, in worked-example.mdb, a
// Jet 4 file) as a link: its type and link columns change, the rest stays. The row grows
// into the free space below it.
void makeLastCatalogRowALink(const std::string& path, const CatalogLink& link) {
  TableDefinition catalog;
  {
    const Pager pager(path, Pager::Access::Read);
    TextDecoder text(pager.format().version, pager.header().codePage);
    catalog = readTableDefinition(pager, text, kCatalogTablePage, "MSysObjects");
  }
  std::vector<std::uint8_t> bytes = testing::readBytes(path);
  const JetFormat format = JetFormat::jet4();
  std::size_t pageStart = 0;
  while (bytes.at(pageStart) != kPageData || readU32(bytes, pageStart + 4) != kCatalogTablePage) {
    pageStart += format.pageSize;
  }
  const Bytes page(bytes.data() + pageStart, format.pageSize);
  const std::size_t count = readU16(page, format.rowCountOffset);
  const std::size_t entryAt = format.rowCountOffset + 2 * count;  // the last entry
  const RowExtent old{std::size_t{readU16(page, entryAt)} & kRowOffsetMask,
                      std::size_t{readU16(page, entryAt - 2)} & kRowOffsetMask};
  RowDecoder reader(format, catalog);
  ASSERT_TRUE(reader.parse(page, old));

  const std::size_t maskSize = (readU16(page, old.start) + 7) / 8;
  const std::size_t variableCount = readU16(page, old.end - maskSize - 2);
  std::vector<StoredBytes> variable(variableCount);
  std::vector<std::uint8_t> mask(page.begin() + old.end - maskSize, page.begin() + old.end);
  std::size_t typeAt = 0;
  for (const auto& column : catalog.columns) {
    if (column.name == "Type") typeAt = 2 + column.fixedOffset;
    if (column.fixed()) continue;
    StoredBytes& value = variable.at(column.variableIndex);
    const Field field = reader.field(column);
    if (field.present)
      value.emplace(page.begin() + field.offset, page.begin() + field.offset + field.length);
    if (column.name == "Database") value = inlineMemo(link.database);
    if (column.name == "Connect") value = inlineMemo(link.connect);
    if (column.name == "ForeignName") value = utf16(link.foreignName);
    const auto bit = static_cast<std::uint8_t>(1u << (column.number % 8));
    mask.at(column.number / 8) =
        value ? mask[column.number / 8] | bit : mask[column.number / 8] & ~bit;
  }

  // Column count and fixed columns as they were, then the variable columns, their offsets
  // (last first, after the end of the data), their count and the null mask.
  const std::size_t firstVariable = readU16(page, old.end - maskSize - 4);
  std::vector<std::uint8_t> row(page.begin() + old.start, page.begin() + old.start + firstVariable);
  putU16(row, typeAt, static_cast<std::uint16_t>(link.type));
  std::vector<std::size_t> offsets;
  for (const auto& value : variable) {
    offsets.push_back(row.size());
    if (value) row.insert(row.end(), value->begin(), value->end());
  }
  offsets.push_back(row.size());
  for (auto offset = offsets.rbegin(); offset != offsets.rend(); ++offset) {
    row.resize(row.size() + 2);
    putU16(row, row.size() - 2, *offset);
  }
  row.resize(row.size() + 2);
  putU16(row, row.size() - 2, variableCount);
  row.insert(row.end(), mask.begin(), mask.end());

  const std::size_t start = old.end - row.size();
  ASSERT_GT(start, entryAt + 2);
  std::copy(row.begin(), row.end(), bytes.begin() + pageStart + start);
  putU16(bytes, pageStart + entryAt, start);
  putU16(bytes, pageStart + 2, readU16(page, 2) - (row.size() - old.size()));
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
  makeLastCatalogRowALink(path, {6, R"(C:\Books\ledger.mdb)", "", "SchemeRules"});

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
  EXPECT_THAT(failureOf(connection, "SELECT * FROM nothere"), HasSubstr("Unknown table"));
}

TEST(JetLinkedTableTest, TheLinkedFileComesFromTheConnectStringWhenTheEntryNamesNoOther) {
  EXPECT_EQ(linkedFileOf("", R"(Excel 8.0;HDR=YES; database = C:\x.xls ;IMEX=2)"), R"(C:\x.xls)");
  EXPECT_EQ(linkedFileOf(R"(D:\a.mdb)", R"(;DATABASE=C:\b.mdb)"), R"(D:\a.mdb)");
  EXPECT_EQ(linkedFileOf("", "Text;HDR=NO"), "");
  const std::string odbc = linkedTableMessage({"code", "dbo.code", "", true});
  EXPECT_EQ(odbc,
            "The table 'code' is a link to the table 'dbo.code' of an ODBC data source; its rows "
            "are not in this file");
  EXPECT_EQ(linkedTableMessage({"t\nx", "", "", false}),
            "The table 't?x' is a link to a table in another file, which the link does not name; "
            "its rows are not in this file");
}

}  // namespace
}  // namespace leafward::jet
