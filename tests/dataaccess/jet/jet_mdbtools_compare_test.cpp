// Checks the reader against a second implementation, Debian's mdbtools: every value as
// mdb-export reads it; the table definitions as mdb-schema reads them (the same columns in the
// same order with the same types and sizes, and the same indexes).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <numeric>
#include <sstream>

#include "dataaccess/connection.h"
#include "dataaccess/jet/format/usage_map.h"
#include "dataaccess/jet/read/row_cursor.h"
#include "dataaccess/jet/read/value_decoder.h"
#include "dataaccess/recordset.h"
#include "jet_test_support.h"

namespace leafward::jet {
namespace {

using dataaccess::Value;
using testing::Rows;

const std::string kNull = "|~N~|";

// mdb-export's "YYYY-MM-DD HH:MM:SS" as days since 1899-12-30.
double exportedDays(const std::string& text) {
  using namespace std::chrono;
  int y = 0, h = 0, mi = 0, s = 0;
  unsigned mo = 0, d = 0;
  if (std::sscanf(text.c_str(), "%d-%u-%u %d:%d:%d", &y, &mo, &d, &h, &mi, &s) != 6) return NAN;
  const auto days = sys_days(year(y) / mo / d) - sys_days(year(1899) / December / 30);
  return static_cast<double>(days.count()) + (h * 3600 + mi * 60 + s) / 86400.0;
}

// mdb-export's Currency text (four decimals) in ten-thousandths.
std::int64_t exportedTenThousandths(const std::string& text) {
  long long whole = 0;
  unsigned fraction = 0;
  char sign = '+';
  if (std::sscanf(text.c_str(), "%lld.%4u", &whole, &fraction) != 2) return INT64_MIN;
  if (!text.empty()) sign = text[0];
  return whole * 10000 + (sign == '-' ? -1 : 1) * static_cast<std::int64_t>(fraction);
}

// A GUID's braced text without its hyphens: mdb-export leaves out the one between the last
// two groups ({47AE147B-C8E1-407B-0000000040A7DA40}), and -b hex shows its text in hexadecimal.
std::string guidDigits(std::string text, bool hex) {
  if (hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
      bytes += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
    }
    text = bytes;
  }
  std::erase(text, '-');
  return text;
}

// Compares one of our values with mdb-export's text for it; an empty string means they agree.
// Numbers must be the same value (or a Double the same after mdb-export's rounding).
std::string compare(const Value& ours, const std::string& theirs) {
  const std::string shown = ours.isNull() ? "NULL" : ours.toText();
  const std::string mismatch = "ours " + shown + ", mdb-export " + theirs;
  if (ours.isNull()) return theirs == kNull ? "" : mismatch;
  if (theirs == kNull) return mismatch;
  switch (ours.kind()) {
    case Value::Kind::YesNo:
      return theirs == (ours.asYesNo() ? "1" : "0") ? "" : mismatch;
    case Value::Kind::Integer:
    case Value::Kind::Text:
    case Value::Kind::Binary:
      return theirs == ours.toText() ? "" : mismatch;
    case Value::Kind::Guid:
      return guidDigits(theirs, true) == guidDigits(ours.toText(), false) ? "" : mismatch;
    case Value::Kind::Floating: {
      // mdb-export rounds to 16 significant digits, which does not always read back.
      char rounded[32];
      std::snprintf(rounded, sizeof rounded, "%.16g", ours.asFloating());
      const bool same = std::strtod(theirs.c_str(), nullptr) == ours.asFloating();
      return same || theirs == rounded ? "" : mismatch;
    }
    case Value::Kind::Single:
      return std::strtof(theirs.c_str(), nullptr) == ours.asSingle() ? "" : mismatch;
    case Value::Kind::Currency:
      return exportedTenThousandths(theirs) == ours.asCurrency().tenThousandths ? "" : mismatch;
    case Value::Kind::Decimal: {
      // mdb-export writes every digit of the scale (1234.5000); ours are exact without them.
      std::string trimmed = theirs;
      if (trimmed.find('.') != std::string::npos) {
        while (trimmed.ends_with('0')) trimmed.pop_back();
        if (trimmed.ends_with('.')) trimmed.pop_back();
      }
      return trimmed == ours.toText() ? "" : mismatch;
    }
    case Value::Kind::Date: {
      const double days = ours.asDate().days;
      // mdb-export leaves dates before 1899-12-30 unconverted.
      if (days < 0 || days > 1e6) return {};
      return std::fabs(days - exportedDays(theirs)) <= 1.0 / 86400 ? "" : mismatch;
    }
    case Value::Kind::Null:
      break;
  }
  return mismatch;
}

// mdb-export shows only the first bytes of the long binary values of system tables (MSysACEs'
// SIDs, whose row offsets say 102 bytes) and drops a name's trailing zero bytes (MSysNameMap):
// there, what it shows must be where our value begins.
std::string compareShownPart(const Value& ours, const std::string& theirs) {
  if (!ours.isNull() && theirs != kNull &&
      (ours.kind() == Value::Kind::Binary || ours.kind() == Value::Kind::Text)) {
    std::string shown = ours.toText();
    if (ours.kind() == Value::Kind::Text) shown.erase(shown.find_last_not_of('\0') + 1);
    if (!theirs.empty() && shown.starts_with(theirs)) return {};
  }
  return compare(ours, theirs);
}

// No sample stores a GUID, a Single or a variable-length Binary value, so a copy of
// testV1997.mdb has three columns of Table1 retyped in its definition (page 29, after two
// index entries): A (Text) as Binary, D (Integer, followed by E) as a Single, F (Double,
// followed by G) as a 16-byte GUID.
const std::string kRetyped = "retyped-testV1997";

std::string retypedCopy(const testing::TempDir& dir) {
  const std::string path = dir.copyFixture("jet-samples/testV1997.mdb");
  auto bytes = testing::readBytes(path);
  const std::size_t columns = 29 * 2048 + 43 + 2 * 8;
  const auto retype = [&](std::size_t column, JetType from, JetType to, std::uint16_t size) {
    std::uint8_t* entry = bytes.data() + columns + 18 * column;
    EXPECT_EQ(entry[0], static_cast<std::uint8_t>(from)) << "column " << column;
    entry[0] = static_cast<std::uint8_t>(to);
    entry[16] = static_cast<std::uint8_t>(size);  // fixed size (unused for Binary)
    entry[17] = static_cast<std::uint8_t>(size >> 8);
  };
  retype(0, JetType::Text, JetType::Binary, 50);
  retype(3, JetType::Integer, JetType::Single, 4);
  retype(5, JetType::Double, JetType::Guid, 16);
  testing::writeBytes(path, bytes);
  return path;
}

// No sample stores a Decimal either: in a copy of fixedTextTestV2000.mdb (Jet 4) the first
// column of `users`, the Long Integer i_user_id, is retyped as Numeric(28, 4), which reads its
// 17 bytes from the start of the fixed columns on: values of up to 28 digits.
const std::string kDecimal = "decimal-fixedTextTestV2000";

std::string decimalCopy(const testing::TempDir& dir) {
  const std::string path = dir.copyFixture("jet-samples/fixedTextTestV2000.mdb");
  std::size_t entryAt = 0;
  JetFormat format;
  {
    const testing::OpenDatabase open(path);
    const TableDefinition& users = open.table("users").definition;
    format = open.pager.format();
    entryAt = users.page * format.pageSize + format.tdefHeaderEnd +
              users.realIndexes.size() * format.tdefRealIndexEntry;
  }
  auto bytes = testing::readBytes(path);
  std::uint8_t* entry = bytes.data() + entryAt;
  EXPECT_EQ(entry[0], static_cast<std::uint8_t>(JetType::LongInteger));
  EXPECT_EQ(readU16(Bytes(entry, format.columnEntry), format.columnFixedOffset), 0);
  entry[0] = static_cast<std::uint8_t>(JetType::Numeric);
  entry[format.columnPrecision] = 28;
  entry[format.columnScale] = 4;
  entry[format.columnLength] = 17;
  testing::writeBytes(path, bytes);
  return path;
}

// Where the bytes of the row whose entry is `at` are: elsewhere for a moved row.
std::pair<std::uint32_t, std::uint16_t> storedAt(const Pager& pager, RowLocation at) {
  const std::vector<std::uint8_t> page = pager.readPage(at.page);
  const RowTable rows(page, pager.format());
  if (RowTable::kindOf(rows.entry(at.slot)) != SlotKind::Pointer) return {at.page, at.slot};
  const auto target = rows.pointer(rows.extent(at.slot, rows.count().value()).value()).value();
  return {target.page, target.slot};
}

// Every table the catalog lists, the system tables too (they show layouts no user table of the
// samples has: 8 and 17 columns, relationships whose logical indexes outnumber the real ones).
std::vector<JetTable> everyTable(testing::OpenDatabase& open) {
  const Pager& pager = open.pager;
  TextDecoder& text = open.database.text();
  const TableDefinition catalog =
      readTableDefinition(pager, text, kCatalogTablePage, "MSysObjects");
  const std::vector<std::uint32_t> pages = pagesOfUsageMap(pager, catalog.usageMap, catalog.name);
  RowCursor cursor(pager, catalog, pages);
  RowDecoder row(pager.format(), catalog);
  ValueDecoder decoder(pager, text);
  std::vector<JetTable> tables;
  while (cursor.next()) {
    if (!row.parse(cursor.page(), cursor.extent())) cursor.badRow(row.problem());
    const auto value = [&](const char* name) {
      const ColumnDefinition& column = *catalog.findColumn(name);
      return decoder.decode(column, cursor.page(), row.field(column));
    };
    if (value("Type").asInteger() != 1) continue;
    JetTable table;
    const std::string name = value("Name").asText();
    const auto page = static_cast<std::uint32_t>(value("Id").asInteger()) & 0xFFFFFF;
    table.definition = readTableDefinition(pager, text, page, name);
    table.pages = pagesOfUsageMap(pager, table.definition.usageMap, name);
    tables.push_back(std::move(table));
  }
  return tables;
}

// Every column of every row of a system table, which the reader does not offer, read through
// the pieces it reads user tables with, and where each row's entry is.
Rows readSystemTable(testing::OpenDatabase& open, const JetTable& table, RowLocations& locations) {
  RowCursor cursor(open.pager, table.definition, table.pages);
  RowDecoder row(open.pager.format(), table.definition);
  ValueDecoder decoder(open.pager, open.database.text());
  Rows rows;
  while (cursor.next()) {
    if (!row.parse(cursor.page(), cursor.extent())) cursor.badRow(row.problem());
    rows.emplace_back();
    for (const auto& column : table.definition.columns) {
      rows.back().push_back(decoder.decode(column, cursor.page(), row.field(column)));
    }
    locations.push_back(cursor.location());
  }
  return rows;
}

class JetExportCompareTest : public ::testing::TestWithParam<std::string> {};

TEST_P(JetExportCompareTest, EveryTableReadsAsMdbExportReadsIt) {
  const testing::TempDir dir;
  const std::string file = GetParam() == kRetyped   ? retypedCopy(dir)
                           : GetParam() == kDecimal ? decimalCopy(dir)
                                                    : GetParam();
  testing::OpenDatabase open(file);
  JetTableSource source(open.database);
  ASSERT_FALSE(open.database.tables().empty());
  for (const auto& table : everyTable(open)) {
    const std::string& name = table.definition.name;
    SCOPED_TRACE("table " + name);
    RowLocations locations;
    const bool user = open.database.findTable(name) != nullptr;
    const Rows ours =
        user ? testing::readAll(source, name) : readSystemTable(open, table, locations);
    if (user) locations = source.rowLocations(name);
    ASSERT_EQ(locations.size(), ours.size());

    std::vector<std::size_t> order(ours.size());
    std::iota(order.begin(), order.end(), 0);
    // mdb-export meets a moved row where its bytes are, we meet it at the entry that points
    // there.
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
      return storedAt(open.pager, locations[a]) < storedAt(open.pager, locations[b]);
    });

    auto theirs = testing::mdbExportRows(file, name, {"-0", kNull, "-b", "hex"});
    theirs.erase(theirs.begin());  // the header
    ASSERT_EQ(ours.size(), theirs.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
      const auto& row = ours[order[i]];
      ASSERT_EQ(row.size(), theirs[i].size()) << "row " << i;
      for (std::size_t c = 0; c < row.size(); ++c) {
        const std::string difference =
            user ? compare(row[c], theirs[i][c]) : compareShownPart(row[c], theirs[i][c]);
        EXPECT_EQ(difference, "") << "row " << order[i] << " column "
                                  << table.definition.columns[c].name;
      }
    }
  }
}

std::vector<std::string> comparedFiles() {
  auto files = testing::everyTestDatabase();
  files.push_back(kRetyped);
  files.push_back(kDecimal);
  return files;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, JetExportCompareTest, ::testing::ValuesIn(comparedFiles()),
                         [](const auto& info) { return testing::testName(info.param); });

// A statement over Decimal values compares them as numbers and prints them with every digit.
TEST(JetDecimalTest, AQueryPrintsDecimalsExactly) {
  const testing::TempDir dir;
  dataaccess::Connection connection;
  connection.open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
                  dataaccess::ConnectionString::quoteValue(decimalCopy(dir)));
  const auto rows = connection.execute(
      "SELECT DISTINCT i_user_id FROM users WHERE i_user_id > 130000000000000000000000000000000.5");
  EXPECT_EQ(rows->getString(dataaccess::kAdClipString, -1, "", ",", "NULL"),
            "132922799826079596012148027032810.2912,132922800321255612699077546555002.0607,");
}

// How mdb-schema names a column's type.
std::string typeName(const ColumnDefinition& column, const JetFormat& format) {
  const std::map<JetType, std::string> names = {
      {JetType::Boolean, "Boolean"},    {JetType::Byte, "Byte"},
      {JetType::Integer, "Integer"},    {JetType::LongInteger, "Long Integer"},
      {JetType::Money, "Currency"},     {JetType::Single, "Single"},
      {JetType::Double, "Double"},      {JetType::DateTime, "DateTime"},
      {JetType::Ole, "OLE (255)"},      {JetType::Memo, "Memo/Hyperlink (255)"},
      {JetType::Guid, "Replication ID"}};
  const auto type = static_cast<JetType>(column.type);
  // The longest a binary value may be (the system tables' SIDs) goes without its length.
  if (type == JetType::Binary) {
    const std::size_t longest = format.isJet3() ? 255 : 510;
    return column.length == longest ? "Binary" : "Binary (" + std::to_string(column.length) + ")";
  }
  if (type == JetType::Text) {
    return "Text (" + std::to_string(format.isJet3() ? column.length : column.length / 2) + ")";
  }
  if (type == JetType::Numeric) {
    return "Numeric (" + std::to_string(column.precision) + ", " + std::to_string(column.scale) +
           ")";
  }
  const auto name = names.find(type);
  if (name != names.end()) return name->second;
  char unknown[16];
  std::snprintf(unknown, sizeof unknown, "Unknown_%04X", column.type);
  return unknown;
}

std::vector<std::string> linesOf(const std::string& text, const std::string& start) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with(start)) lines.push_back(line);
  }
  return lines;
}

// A table's columns as mdb-schema lists them, and its indexes as its "mysql" backend does.
struct Schema {
  std::string columns;
  std::vector<std::string> indexes;
};

Schema ourSchema(const TableDefinition& definition, const JetFormat& format) {
  Schema ours{"CREATE TABLE [" + definition.name + "]\n", {}};
  for (const auto& column : definition.columns) {
    ours.columns += "\t[" + column.name + "]\t\t\t" + typeName(column, format) + "\n";
  }
  for (const auto& index : definition.logicalIndexes) {
    if (index.foreignKey) continue;
    const RealIndex& keys = definition.realIndexes.at(index.realIndex);
    std::string names;
    for (const auto number : keys.columnNumbers) {
      const auto column = std::find_if(definition.columns.begin(), definition.columns.end(),
                                       [&](const auto& c) { return c.number == number; });
      names += (names.empty() ? "`" : ", `") + column->name + "`";
    }
    ours.indexes.push_back("ALTER TABLE `" + definition.name + "` ADD " +
                           (index.primaryKey
                                ? std::string("PRIMARY KEY")
                                : (keys.unique ? "UNIQUE INDEX `" : "INDEX `") + index.name + "`") +
                           " (" + names + ");");
  }
  return ours;
}

Schema theirSchema(const std::string& file, const std::string& table) {
  Schema theirs;
  for (std::string line : linesOf(testing::runProgram({"mdb-schema", "-T", table, file}), "")) {
    if (line.ends_with(", ")) line.resize(line.size() - 2);
    if (line.ends_with(" NOT NULL")) line.resize(line.size() - 9);
    if (line.starts_with("CREATE TABLE") || line.starts_with("\t[")) theirs.columns += line + "\n";
  }
  theirs.indexes = linesOf(testing::runProgram({"mdb-schema", "-T", table, "--indexes",
                                                "--no-relations", file, "mysql"}),
                           "ALTER TABLE");
  // The decoder keeps no sort order (a system table's index has a descending column).
  for (auto& line : theirs.indexes) {
    for (std::size_t at; (at = line.find(" DESC")) != std::string::npos;) line.erase(at, 5);
  }
  return theirs;
}

class JetSchemaCompareTest : public ::testing::TestWithParam<std::string> {};

// System tables too: they hold relationships, whose logical indexes outnumber the real ones.
TEST_P(JetSchemaCompareTest, DefinitionsReadAsMdbSchemaReadsThem) {
  testing::OpenDatabase open(GetParam());
  for (const auto& table : everyTable(open)) {
    SCOPED_TRACE("table " + table.definition.name);
    Schema ours = ourSchema(table.definition, open.pager.format());
    Schema theirs = theirSchema(GetParam(), table.definition.name);
    EXPECT_EQ(ours.columns, theirs.columns);
    // mdb-schema finds an index's columns by position rather than by number, and so lists none
    // when a column before them was deleted; the decoder's columns are checked above.
    for (auto& line : ours.indexes) {
      const std::string unnamed = line.substr(0, line.find(" (")) + " ();";
      if (std::find(theirs.indexes.begin(), theirs.indexes.end(), unnamed) !=
          theirs.indexes.end()) {
        line = unnamed;
      }
    }
    std::sort(theirs.indexes.begin(), theirs.indexes.end());
    std::sort(ours.indexes.begin(), ours.indexes.end());
    EXPECT_EQ(ours.indexes, theirs.indexes);
  }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, JetSchemaCompareTest,
                         ::testing::ValuesIn(testing::everyTestDatabase()),
                         [](const auto& info) { return testing::testName(info.param); });

}  // namespace
}  // namespace leafward::jet
