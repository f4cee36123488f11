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

}  // namespace
}  // namespace leafward::dataaccess
