// The ODBC plumbing against a real driver that runs here: Debian's SQLite ODBC driver.
#include "dataaccess/odbc/driver_session.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "dataaccess/connection.h"
#include "dataaccess/errors.h"
#include "dataaccess/odbc/column_reader.h"
#include "dataaccess/recordset.h"

namespace leafward::odbc {
namespace {

using dataaccess::Connection;
using dataaccess::DataAccessError;
using dataaccess::Value;
using namespace std::chrono_literals;

constexpr const char* kSqliteDriver = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";

class SqliteOdbcTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(kSqliteDriver)) GTEST_SKIP() << "libsqliteodbc is missing";
    connection_.adopt(open("secret-pw"));
    for (const char* statement : {
             "create table code (ccode varchar(40), bend bit, amount double, made datetime)",
             "insert into code values ('1001', 1, 2.5, '2024-01-02 03:04:05')",
             "insert into code values ('100101', 0, null, null)",
             "insert into code values ('口令', 1, -1, '1899-12-30')",
         }) {
      connection_.execute(statement);
    }
  }

  // A database of its own in memory.
  static std::unique_ptr<DriverSession> open(std::string secret) {
    return DriverSession::connect(std::string("DRIVER=") + kSqliteDriver + ";Database=:memory:;",
                                  5s, "the test database", TextMode::Utf8, std::move(secret));
  }

  Connection connection_;
};

// Typed fields, RecordCount, EOF, GetString, long text read in pieces and the catalog name
// (SQLite has none: the driver reports it empty rather than failing).
TEST_F(SqliteOdbcTest, QueriesComeBackWholeWithTypedFields) {
  connection_.execute("insert into code (ccode) values ('" + std::string(20000, 'x') + "口')");
  auto rows = connection_.execute("select ccode, bend, amount, made from code");
  ASSERT_EQ(rows->state(), dataaccess::kAdStateOpen);
  EXPECT_EQ(rows->recordCount(), 4);
  ASSERT_EQ(rows->fieldCount(), 4u);
  EXPECT_EQ(rows->field("CCODE"), Value::text("1001"));
  // A bit is 1 or 0, the way SQL Server hands it out, not Jet's -1.
  EXPECT_EQ(rows->field("bend"), Value::integer(1));
  EXPECT_EQ(rows->field(2), Value::floating(2.5));
  EXPECT_EQ(rows->field(3).toText(), "2024-01-02 03:04:05");
  rows->moveNext();
  EXPECT_EQ(rows->field(1), Value::integer(0));
  EXPECT_TRUE(rows->field(2).isNull());
  rows->moveNext();
  EXPECT_EQ(rows->field(0), Value::text("口令"));
  EXPECT_EQ(rows->field(3), Value::date({0}));
  rows->moveNext();
  EXPECT_EQ(rows->field(0), Value::text(std::string(20000, 'x') + "口"));
  rows->moveNext();
  EXPECT_TRUE(rows->eof());

  rows = connection_.execute("select ccode from code where bend = 1");
  EXPECT_EQ(rows->getString(dataaccess::kAdClipString, -1, "", ",", ""), "1001,口令,");
  EXPECT_TRUE(rows->eof());
  rows = connection_.execute("select ccode from code where 1 = 0");
  ASSERT_EQ(rows->state(), dataaccess::kAdStateOpen);
  EXPECT_TRUE(rows->eof());
  EXPECT_EQ(rows->recordCount(), 0);
  EXPECT_EQ(rows->getString(dataaccess::kAdClipString, -1, "", ",", ""), "");
  EXPECT_EQ(connection_.defaultDatabase(), "");
}

// Binary data and GUIDs print as the Access provider prints them. (SQLite has no GUID type:
// a GUID's fields are laid out as Jet stores them.)
TEST_F(SqliteOdbcTest, BinaryAndGuidFieldsKeepTheirKind) {
  connection_.execute("create table stored (b blob)");
  connection_.execute("insert into stored values (x'00AB1F')");
  connection_.execute("insert into stored values (null)");
  connection_.execute("insert into stored values (zeroblob(20000))");  // in pieces
  auto rows = connection_.execute("select b from stored");
  EXPECT_EQ(rows->field(0), Value::binary({0x00, 0xAB, 0x1F}));
  rows->moveNext();
  EXPECT_TRUE(rows->field(0).isNull());
  rows->moveNext();
  EXPECT_EQ(rows->field(0), Value::binary(std::vector<std::uint8_t>(20000, 0)));
  const SQLGUID guid = {
      0x8E39276A, 0xBCA8, 0x4AC4, {0x89, 0x1E, 0x49, 0x91, 0x1D, 0x84, 0x38, 0xDD}};
  EXPECT_EQ(Value::guid(guidOf(guid)).toText(), "{8E39276A-BCA8-4AC4-891E-49911D8438DD}");
}

TEST_F(SqliteOdbcTest, UpdatesReportTheRowsTheyChanged) {
  std::int64_t changed = -5;
  EXPECT_EQ(connection_.execute("update code set bend = 1 where bend = 0", &changed)->state(),
            dataaccess::kAdStateClosed);
  EXPECT_EQ(changed, 1);
  connection_.execute("update code set bend = 1 where ccode = 'none'", &changed);
  EXPECT_EQ(changed, 0);
  connection_.execute("update code set bend = 0", &changed);
  EXPECT_EQ(changed, 3);
}

TEST_F(SqliteOdbcTest, FailuresCarryTheDriversReason) {
  for (const auto& [statement, reason] :
       {std::pair{"select * from nosuch", "no such table: nosuch"},
        std::pair{"selec ccode from code", "syntax error"}}) {
    try {
      connection_.execute(statement);
      ADD_FAILURE() << statement << " was accepted";
    } catch (const DataAccessError& error) {
      EXPECT_NE(std::string(error.what()).find(reason), std::string::npos) << error.what();
    }
  }
  // The connection stays usable after a failed statement.
  EXPECT_EQ(connection_.execute("select ccode from code")->recordCount(), 3);
}

TEST_F(SqliteOdbcTest, SecretsAreMaskedInDriverMessages) {
  // SQLite repeats the offending name; a name that is the secret must not come back.
  auto session = open("hushhush");
  try {
    session->execute("select * from hushhush");
    FAIL();
  } catch (const DataAccessError& error) {
    EXPECT_EQ(std::string(error.what()).find("hushhush"), std::string::npos) << error.what();
    EXPECT_NE(std::string(error.what()).find("no such table: ****"), std::string::npos)
        << error.what();
  }
}

TEST(OdbcConnectTest, AMissingDriverGivesAClearError) {
  try {
    DriverSession::connect("DRIVER={No Such Driver};PWD={topsecret};", 2s, "the target",
                           TextMode::Wide, "topsecret");
    FAIL();
  } catch (const DataAccessError& error) {
    const std::string text = error.what();
    EXPECT_EQ(text.rfind("Cannot connect to the target: ", 0), 0u) << text;
    EXPECT_EQ(text.find("topsecret"), std::string::npos) << text;
  }
}

}  // namespace
}  // namespace leafward::odbc
