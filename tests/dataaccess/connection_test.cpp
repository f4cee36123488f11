// Connection strings, the connection's provider choice and the recordset. (Quoting values on the
// way in is the server connection string's test, with hostile values.)
#include "dataaccess/connection.h"

#include <gtest/gtest.h>

#include "dataaccess/connection_string.h"
#include "dataaccess/errors.h"
#include "dataaccess/recordset.h"

namespace leafward::dataaccess {
namespace {

TEST(ConnectionStringTest, ReadsQuotedAndBareValuesWithKeysInAnyCase) {
  const auto parsed = ConnectionString::parse(
      " PROVIDER = SQLOLEDB ;Password='it''s;x';User ID=\"say \"\"hi\"\"\";Initial Catalog=;"
      "a=1;A=2");
  EXPECT_EQ(parsed.get("provider"), "SQLOLEDB");
  EXPECT_EQ(parsed.get("Password"), "it's;x");
  EXPECT_EQ(parsed.get("User ID"), "say \"hi\"");
  EXPECT_EQ(parsed.get("Initial Catalog"), "");
  EXPECT_EQ(parsed.get("a"), "2");  // the last entry of a key wins
  EXPECT_EQ(parsed.get("Data Source"), std::nullopt);
  for (const char* text : {"Password='open", "Provider", "=x", "a='x'y;", "a=\"x"}) {
    EXPECT_THROW(ConnectionString::parse(text), DataAccessError) << text;
  }
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

TEST(RecordsetTest, NavigatesAndReadsFieldsByPositionOrNameAndRefusesTheRest) {
  Recordset recordset(ResultSet{{"ccode"}, {{Value::text("10")}, {Value::text("20")}}});
  EXPECT_EQ(recordset.recordCount(), 2);
  EXPECT_EQ(recordset.field(0), Value::text("10"));
  recordset.moveNext();
  EXPECT_EQ(recordset.field("CCODE"), Value::text("20"));
  EXPECT_THROW(recordset.field("missing"), DataAccessError);
  recordset.moveNext();
  EXPECT_TRUE(recordset.eof());
  EXPECT_THROW(recordset.field(0), DataAccessError);
  EXPECT_THROW(recordset.moveNext(), DataAccessError);

  Recordset closed;
  EXPECT_EQ(closed.state(), kAdStateClosed);
  EXPECT_THROW(closed.eof(), DataAccessError);
  EXPECT_THROW(closed.recordCount(), DataAccessError);
  EXPECT_THROW(closed.close(), DataAccessError);
}

}  // namespace
}  // namespace leafward::dataaccess
