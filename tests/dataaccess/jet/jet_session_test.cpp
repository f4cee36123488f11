// The check and repair statements over real files are run by the command-line tests; these
// are the session's own refusals, its code page, and linked tables. No sample file has a linked
// table, so a copy's catalog entry is turned into a link by rewriting its row; mdb-export reads
// the entry back as a check on the bytes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "dataaccess/connection.h"
#include "dataaccess/jet/format/byte_order.h"
#include "dataaccess/jet/read/linked_table.h"
#include "dataaccess/jet/read/rows_at.h"
#include "dataaccess/recordset.h"
#include "jet_test_support.h"
#include "support/statement_texts.h"

namespace leafward::jet {
namespace {

using namespace dataaccess;
using ::testing::HasSubstr;

std::string accessConnection(const std::string& file) {
  return "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source='" + file + "';";
}

std::string failureOf(Connection& connection, const std::string& statement) {
  try {
    connection.execute(statement);
  } catch (const DataAccessError& error) {
    return error.what();
  }
  return "(ran)";
}

TEST(JetSessionTest, StatementsOtherThanSettingOneYesNoColumnChangeNothing) {
  testing::TempDir dir;
  const std::string path = dir.copyFixture("account-sets/realistic-5k.mdb");
  Connection connection;
  connection.open(accessConnection(path));
  const auto before = testing::readBytes(path);
  EXPECT_THAT(failureOf(connection, "update code set ccode = 'x' where ccode = '1001'"),
              HasSubstr("not supported"));
  EXPECT_THAT(failureOf(connection, "update code set bend = 0, ccode = 'x'"),
              HasSubstr("not supported"));
  EXPECT_THAT(failureOf(connection, "update nothere set x = 1"), HasSubstr("nothere"));
  EXPECT_EQ(testing::readBytes(path), before);
}

// The codes an update will change are known before it runs, and flags set back by key touch
// exactly the rows each key names (a code twice in the table, a NULL code), or nothing; a plan
// is carried out only while its connection is open.
TEST(JetSessionTest, UpdatesArePlannedAheadAndFlagsSetBackByKey) {
  testing::TempDir dir;
  const std::string path = dir.copyFixture("account-sets/odd-codes.mdb");
  Connection connection;
  connection.open(accessConnection(path));
  const auto flags = [&] {
    auto rows = connection.execute("SELECT ccode, bend FROM code");
    return rows->getString(kAdClipString, -1, "=", " ", "NULL");
  };
  const std::string before = flags();
  ASSERT_EQ(before, "NULL=0 1_=-1 100=-1 10=-1 1001=-1 1001=-1 20%=-1 2001=-1 ab=0 AB12=-1 ");

  auto plan = connection.planUpdate(
      "update code Set [bend] = 0  where exists (SELECT  * FROM [code] p where p.ccode like "
      "code.ccode+'_%') and [bend]<>0",
      "ccode");
  std::string planned;
  for (const PlannedChange& change : plan->changes()) {
    planned += change.key.toText() + (change.before ? "+" : "-") + (change.after ? "+ " : "- ");
  }
  EXPECT_EQ(planned, "1_+- 100+- 10+- 20%+- ");
  EXPECT_EQ(flags(), before);  // nothing written yet
  const PlannedUpdateResult done = plan->carryOut();
  EXPECT_EQ(done.recordsAffected, 4);
  EXPECT_EQ(done.changed, (std::vector<std::size_t>{0, 1, 2, 3}));
  EXPECT_EQ(flags(), "NULL=0 1_=0 100=0 10=0 1001=-1 1001=-1 20%=0 2001=-1 ab=0 AB12=-1 ");

  const auto setBack = [&](std::vector<KeyedFlag> entries) {
    return connection.setFlagsByKey({"code", "ccode", "bend", std::move(entries)});
  };
  EXPECT_EQ(
      setBack({{"1001", true, false, 2}, {std::nullopt, false, true, 1}, {"1_", false, true, 1}}),
      4);
  EXPECT_EQ(flags(), "NULL=-1 1_=-1 100=0 10=0 1001=0 1001=0 20%=0 2001=-1 ab=0 AB12=-1 ");
  auto unchanged = testing::readBytes(path);
  for (const std::vector<KeyedFlag>& wrong :
       {std::vector<KeyedFlag>{{"100", false, true, 1}, {"1001", false, true, 1}},
        std::vector<KeyedFlag>{{"100", false, true, 1}, {"AB", false, true, 1}},
        std::vector<KeyedFlag>{{"100", false, true, 1}, {"2001", false, true, 1}}}) {
    try {
      setBack(wrong);
      ADD_FAILURE() << "set";
    } catch (const DataAccessError& error) {
      EXPECT_EQ(error.kind(), ErrorKind::ChangedSinceRead);
    }
    EXPECT_EQ(testing::readBytes(path), unchanged);
  }

  // Rows named where they are kept: each plan names its rows so, and the very row is looked at
  // and set, checked against its key; a name that is not a row's, or another row's, finds none.
  std::vector<std::string> rowIds;
  for (const PlannedChange& change : plan->changes()) rowIds.push_back(change.row);
  const FlagsNow now = connection.lookUpFlags({"code",
                                               "ccode",
                                               "bend",
                                               {{"1_", rowIds[0]},
                                                {"100", rowIds[0]},
                                                {"100", rowIds[1]},
                                                {"1001", ""},
                                                {"none", ""},
                                                {"1_", "65000:3"}}});
  ASSERT_EQ(now.rows.size(), 6u);
  EXPECT_TRUE(now.rows[0].found && now.rows[0].flag == true);
  EXPECT_FALSE(now.rows[1].found);  // 100 is not held by 1_'s row
  EXPECT_TRUE(now.rows[2].found && now.rows[2].flag == false);
  EXPECT_FALSE(now.rows[5].found);
  ASSERT_NE(now.countsOf("1001"), nullptr);
  EXPECT_EQ(now.countsOf("1001")->no, 2);
  EXPECT_EQ(now.countsOf("none"), nullptr);
  for (const char* notARow : {"1:", ":2", "01:2", "1:70000", "x"}) {
    EXPECT_THROW(connection.lookUpFlags({"code", "ccode", "bend", {{"1_", notARow}}}),
                 DataAccessError)
        << notARow;
  }
  EXPECT_EQ(setBack({{"100", false, true, 1, rowIds[1]}}), 1);
  EXPECT_EQ(flags(), "NULL=-1 1_=-1 100=-1 10=0 1001=0 1001=0 20%=0 2001=-1 ab=0 AB12=-1 ");
  for (const KeyedFlag& wrong :
       {KeyedFlag{"100", false, true, 1, rowIds[1]}, KeyedFlag{"10", false, true, 1, rowIds[1]}}) {
    try {
      setBack({wrong});
      ADD_FAILURE() << "set";
    } catch (const DataAccessError& error) {
      EXPECT_EQ(error.kind(), ErrorKind::ChangedSinceRead);
    }
  }

  // A plan outlives its connection only to be refused.
  auto orphan = connection.planUpdate("update code set bend = 0 where ccode = '2001'", "ccode");
  connection.close();
  unchanged = testing::readBytes(path);
  EXPECT_THROW(orphan->carryOut(), DataAccessError);
  EXPECT_EQ(testing::readBytes(path), unchanged);
}

// A session keeps the rows it read while their pages stay the same: a change between two of
// its statements, by itself or by another program, is seen by the next one, which reads again
// only the pages that changed (moved rows included, whose bytes lie on another page).
TEST(JetSessionTest, RowsKeptBetweenStatementsFollowEveryChangeToTheFile) {
  for (const char* fixture : {"account-sets/realistic-5k.mdb", "account-sets/overflow-2k.mdb"}) {
    SCOPED_TRACE(fixture);
    testing::TempDir dir;
    const std::string path = dir.copyFixture(fixture);
    const auto list = [&](Connection& connection, const std::string& statement) {
      return connection.execute(statement)->getString(kAdClipString, -1, "", ",", "");
    };
    const auto sameAsAfresh = [&](Connection& kept) {
      Connection fresh;
      fresh.open(accessConnection(path));
      for (const std::string& statement : {testing::kFirstListAccess, testing::kSecondListAccess,
                                           std::string("SELECT * FROM code")}) {
        EXPECT_EQ(list(kept, statement), list(fresh, statement)) << statement;
      }
    };
    Connection kept;
    kept.open(accessConnection(path));
    const std::string before = list(kept, testing::kFirstListAccess);
    ASSERT_NE(before, "");
    EXPECT_EQ(list(kept, testing::kFirstListAccess), before);

    std::int64_t changed = 0;
    kept.execute(testing::kClearNonLeaf, &changed);
    EXPECT_GT(changed, 0);
    EXPECT_EQ(list(kept, testing::kFirstListAccess), "");
    sameAsAfresh(kept);

    // Another connection, standing for another program, sets one flag back.
    const std::string first = before.substr(0, before.find(','));
    Connection other;
    other.open(accessConnection(path));
    other.execute("update code set bend = true where ccode = '" + first + "'");
    EXPECT_EQ(list(kept, testing::kFirstListAccess), first + ",");
    sameAsAfresh(kept);

    // Another program gives that code another text of the same length, which begins no code:
    // it is no parent any more. (In its row the code, in UTF-16, is followed by its name,
    // 科目 and the code.)
    {
      std::vector<std::uint8_t> field;
      for (const char c : first) field.insert(field.end(), {static_cast<std::uint8_t>(c), 0});
      field.insert(field.end(), {0xD1, 0x79, 0xEE, 0x76});
      auto bytes = testing::readBytes(path);
      const auto at = std::search(bytes.begin(), bytes.end(), field.begin(), field.end());
      ASSERT_NE(at, bytes.end());
      *at = '9';
      testing::writeBytes(path, bytes);
    }
    EXPECT_EQ(list(kept, testing::kFirstListAccess), "");
    sameAsAfresh(kept);

    // Another program flips the flag of a row that moved: only the page its bytes moved to
    // changes. Then it deletes a row in the middle of the table.
    RowLocation gone;
    std::string movedCode;
    bool movedFlag = false;
    {
      testing::OpenDatabase open(path);
      JetTableSource source(open.database);
      const testing::Rows rows = testing::readAll(source, "code");
      const auto& locations = source.rowLocations("code");
      gone = locations[locations.size() / 2];
      for (std::size_t i = 0; i < locations.size() && movedCode.empty(); ++i) {
        const auto page = open.pager.readPage(locations[i].page);
        const RowTable entries(page, open.pager.format());
        if (RowTable::kindOf(entries.entry(locations[i].slot)) == SlotKind::Pointer) {
          movedCode = rows[i][open.position("code", "ccode")].asText();
          movedFlag = rows[i][open.position("code", "bend")].asYesNo();
        }
      }
    }
    if (std::string(fixture).find("overflow") != std::string::npos) {
      ASSERT_FALSE(movedCode.empty());
      other.execute(std::string("update code set bend = ") + (movedFlag ? "false" : "true") +
                    " where ccode = '" + movedCode + "'");
      sameAsAfresh(kept);
    }
    auto bytes = testing::readBytes(path);
    const JetFormat format = testing::OpenDatabase(path).pager.format();
    const std::size_t entry =
        gone.page * format.pageSize + format.rowCountOffset + 2 + 2 * gone.slot;
    bytes[entry + 1] |= static_cast<std::uint8_t>(kRowDeletedFlags >> 8);
    testing::writeBytes(path, bytes);
    const std::size_t rows = kept.execute("SELECT ccode FROM code")->recordCount();
    Connection fresh;
    fresh.open(accessConnection(path));
    EXPECT_EQ(rows, fresh.execute("SELECT ccode FROM code")->recordCount());
    sameAsAfresh(kept);
  }
}

// A row named where it is kept is found only through the entry that names it: a moved row
// through its pointer, not through the entry of its moved bytes; a deleted row, or an entry on
// another table's page, is found nowhere.
TEST(JetSessionTest, ARowIsFoundOnlyThroughTheEntryThatNamesIt) {
  testing::TempDir dir;
  const std::string path = dir.copyFixture("account-sets/overflow-2k.mdb");
  std::string code, pointerId, movedBytesId, otherId;
  {
    testing::OpenDatabase open(path);
    JetTableSource source(open.database);
    const testing::Rows rows = testing::readAll(source, "code");
    const auto& locations = source.rowLocations("code");
    const std::size_t ccode = open.position("code", "ccode"), bend = open.position("code", "bend");
    for (std::size_t i = 0; i < locations.size() && code.empty(); ++i) {
      const auto page = open.pager.readPage(locations[i].page);
      const RowTable entries(page, open.pager.format());
      if (RowTable::kindOf(entries.entry(locations[i].slot)) != SlotKind::Pointer) continue;
      const auto extent = entries.extent(locations[i].slot, *entries.count());
      const auto moved = entries.pointer(*extent);
      code = rows[i][ccode].asText();
      pointerId = rowIdOf(locations[i]);
      movedBytesId = rowIdOf(*moved);
      // Another row with the same flag.
      for (std::size_t j = 0; j < locations.size() && otherId.empty(); ++j) {
        if (j != i && rows[j][bend].asYesNo() == rows[i][bend].asYesNo()) {
          otherId = rowIdOf(locations[j]);
        }
      }
    }
  }
  ASSERT_FALSE(code.empty());
  Connection connection;
  connection.open(accessConnection(path));
  const FlagsNow now = connection.lookUpFlags(
      {"code", "ccode", "bend", {{code, pointerId}, {code, movedBytesId}, {code, "1:0"}}});
  EXPECT_TRUE(now.rows[0].found);
  EXPECT_FALSE(now.rows[1].found);
  EXPECT_FALSE(now.rows[2].found);
  // A row holds its flag but not the key it is named with: not set.
  const bool flag = now.rows[0].flag.value();
  try {
    connection.setFlagsByKey({"code", "ccode", "bend", {{code, flag, !flag, 1, otherId}}});
    ADD_FAILURE() << "set";
  } catch (const DataAccessError& error) {
    EXPECT_EQ(error.kind(), ErrorKind::ChangedSinceRead);
  }
}

// An Access 97 file whose header names code page 1252 while its text is GBK.
TEST(JetSessionTest, ACodePageInTheConnectionStringOverridesTheHeaders) {
  const std::string gbk = testing::fixture("jet-samples/charsetGBK-V1997.mdb");
  const auto field1 = [&](const std::string& extra) {
    Connection connection;
    connection.open(accessConnection(gbk) + extra);
    return connection.execute("SELECT field1 FROM table1")->field(0).asText();
  };
  EXPECT_EQ(field1("Code Page=936;"), "GBK编码");
  EXPECT_EQ(field1(""), "GBK\u00B1\u00E0\u00C2\u00EB");  // as Windows-1252, as the header says
  EXPECT_EQ(field1("code page = ;"), field1(""));
  for (const char* bad :
       {"Code Page=GBK;", "Code Page=0;", "Code Page=70000;", "Code Page=12345;"}) {
    Connection connection;
    EXPECT_THROW(connection.open(accessConnection(gbk) + bad), DataAccessError) << bad;
  }
  // Jet 4 text is Unicode: the code page changes nothing.
  Connection jet4;
  jet4.open(accessConnection(testing::fixture("account-sets/realistic-5k.mdb")) + "Code Page=936;");
  EXPECT_EQ(jet4.execute("SELECT ccode_name FROM code WHERE ccode = '1001'")->field(0).asText(),
            "科目1001");
}

// Turns the catalog row stored last on its page (GradeDef's, in worked-example.mdb, a Jet 4
// file) into a link to `foreignName` in `file`: Type 6, and the two texts (UTF-16, the Database
// memo inline behind its 12-byte header) given to its empty Database and ForeignName columns.
// The row ends with the offsets of its variable columns (last first, after the end of the data),
// their count and the null mask; it grows into the free space below it.
void makeLastCatalogRowALink(const std::string& path, const std::string& file,
                             const std::string& foreignName) {
  TableDefinition catalog;
  {
    const Pager pager(path, Pager::Access::Read);
    TextDecoder text(pager.format().version, pager.header().codePage);
    catalog = readTableDefinition(pager, text, kCatalogTablePage, "MSysObjects");
  }
  const JetFormat format = JetFormat::jet4();
  std::vector<std::uint8_t> bytes = testing::readBytes(path);
  std::size_t at = 0;
  while (!RowTable::belongsTo(std::span(bytes).subspan(at), kCatalogTablePage)) {
    at += format.pageSize;
  }
  const std::span<std::uint8_t> page(bytes.data() + at, format.pageSize);
  const std::size_t last = RowTable(page, format).count().value() - 1;
  const RowExtent old = RowTable(page, format).extent(last, last + 1).value();
  std::vector<std::uint8_t> row(page.begin() + old.start, page.begin() + old.end);
  const std::size_t maskSize = (readU16(row, 0) + 7) / 8;
  const auto offsetAt = [&](std::size_t i) { return row.size() - maskSize - 4 - 2 * i; };
  const std::size_t count = readU16(row, row.size() - maskSize - 2);
  for (const auto& column : catalog.columns) {
    if (column.name == "Type") writeU16(row, 2 + column.fixedOffset, 6);
    if (column.name != "Database" && column.name != "ForeignName") continue;
    const std::string& text = column.name == "Database" ? file : foreignName;
    std::vector<std::uint8_t> value(column.is(JetType::Memo) ? 12 : 0);
    if (!value.empty()) writeU32(value, 0, std::uint32_t(2 * text.size()) | 0x80000000u);
    for (char c : text) value.insert(value.end(), {static_cast<std::uint8_t>(c), 0});
    const std::size_t k = column.variableIndex, from = readU16(row, offsetAt(k));
    ASSERT_TRUE(k < count && readU16(row, offsetAt(k + 1)) == from);  // no value yet
    row.insert(row.begin() + static_cast<std::ptrdiff_t>(from), value.begin(), value.end());
    for (std::size_t j = k + 1; j <= count; ++j) {
      writeU16(row, offsetAt(j),
               static_cast<std::uint16_t>(readU16(row, offsetAt(j)) + value.size()));
    }
    row[row.size() - maskSize + column.number / 8] |=
        static_cast<std::uint8_t>(1u << (column.number % 8));
  }
  const std::size_t start = old.end - row.size();
  ASSERT_GT(start, format.rowCountOffset + 2 * (last + 2));
  std::copy(row.begin(), row.end(), page.begin() + static_cast<std::ptrdiff_t>(start));
  writeU16(page, format.rowCountOffset + 2 + 2 * last, static_cast<std::uint16_t>(start));
  writeU16(page, 2, static_cast<std::uint16_t>(readU16(page, 2) - (row.size() - old.size())));
  testing::writeBytes(path, bytes);
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

  Connection connection;
  connection.open(accessConnection(path));
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
  EXPECT_EQ(linkedTableMessage({"code", "dbo.code", "", true}),
            "The table 'code' is a link to the table 'dbo.code' of an ODBC data source; its rows "
            "are not in this file");
  EXPECT_EQ(linkedTableMessage({"t\nx", "", "", false}),
            "The table 't?x' is a link to a table in another file, which the link does not name; "
            "its rows are not in this file");
}

}  // namespace
}  // namespace leafward::jet
