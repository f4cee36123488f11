#include "dataaccess/recordset.h"

#include <gtest/gtest.h>

#include "dataaccess/connection.h"
#include "dataaccess/errors.h"

namespace leafward::dataaccess {
namespace {

ResultSet codes(std::vector<Value> values) {
  ResultSet rows;
  rows.columnNames = {"ccode"};
  for (auto& value : values) rows.rows.push_back({std::move(value)});
  return rows;
}

// A session that has nothing to say.
class Recordless : public Session {
 public:
  StatementResult execute(std::string_view) override { return {}; }
  std::string currentCatalog() const override { return ""; }
};

TEST(RecordsetTest, ClipStringPutsTheRowDelimiterAfterEveryRowAndNullAsEmpty) {
  Recordset recordset(codes({Value::text("1001"), Value(), Value::text("1002")}));
  EXPECT_EQ(recordset.getString(kAdClipString, -1, "", ",", ""), "1001,,1002,");
  EXPECT_TRUE(recordset.eof());
}

TEST(RecordsetTest, ClipStringSeparatesColumnsAndStartsAtTheCurrentRow) {
  ResultSet rows;
  rows.columnNames = {"a", "b"};
  rows.rows = {{Value::integer(1), Value::yesNo(true)}, {Value::integer(2), Value::yesNo(false)}};
  Recordset recordset(rows);
  recordset.moveNext();
  EXPECT_EQ(recordset.getString(kAdClipString, -1, "\t", "\n", "(null)"), "2\t0\n");
}

TEST(RecordsetTest, NavigatesAndReadsFieldsByPositionOrName) {
  Recordset recordset(codes({Value::text("10"), Value::text("20")}));
  EXPECT_EQ(recordset.recordCount(), 2);
  EXPECT_EQ(recordset.field(0), Value::text("10"));
  recordset.moveNext();
  EXPECT_EQ(recordset.field("CCODE"), Value::text("20"));
  EXPECT_THROW(recordset.field("missing"), DataAccessError);
  recordset.moveNext();
  EXPECT_TRUE(recordset.eof());
  EXPECT_THROW(recordset.field(0), DataAccessError);
  EXPECT_THROW(recordset.moveNext(), DataAccessError);
}

TEST(RecordsetTest, ClosedRecordsetRefusesEverything) {
  Recordset recordset;
  EXPECT_EQ(recordset.state(), 0);
  EXPECT_THROW(recordset.eof(), DataAccessError);
  EXPECT_THROW(recordset.recordCount(), DataAccessError);
  EXPECT_THROW(recordset.close(), DataAccessError);
}

TEST(ConnectionTest, UnknownOrMissingProviderFailsAndStaysClosed) {
  Connection connection;
  EXPECT_THROW(connection.open("Provider=Nope.1;Data Source=x"), DataAccessError);
  EXPECT_EQ(connection.state(), kAdStateClosed);
  EXPECT_NE(connection.lastError().find("Nope.1"), std::string::npos);
  EXPECT_THROW(connection.open("Data Source=x"), DataAccessError);
  EXPECT_THROW(connection.open("Provider='unterminated"), DataAccessError);
  EXPECT_THROW(connection.execute("SELECT 1"), DataAccessError);
  EXPECT_THROW(connection.defaultDatabase(), DataAccessError);
}

TEST(ConnectionTest, KnowsTheProviderOfWhatIsOpen) {
  Connection connection;
  EXPECT_THROW(connection.open("Provider=SQLOLEDB;Data Source='x,0'"), DataAccessError);
  EXPECT_EQ(connection.provider(), "");
  connection.adopt(std::make_unique<Recordless>(), "Microsoft.Jet.OLEDB.4.0");
  EXPECT_EQ(connection.provider(), "Microsoft.Jet.OLEDB.4.0");
  connection.close();
  EXPECT_EQ(connection.provider(), "");
}

}  // namespace
}  // namespace leafward::dataaccess
