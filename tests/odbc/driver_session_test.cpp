// The ODBC plumbing against a real driver that runs here: Debian's SQLite ODBC driver.
#include "dataaccess/odbc/driver_session.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "dataaccess/connection.h"
#include "dataaccess/errors.h"
#include "dataaccess/odbc/sql_server_driver.h"
#include "dataaccess/recordset.h"

namespace leafward::odbc {
namespace {

using dataaccess::Connection;
using dataaccess::DataAccessError;
using dataaccess::Value;
using namespace std::chrono_literals;

constexpr const char* kSqliteLibrary = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";

std::string sqliteDriver() {
  const auto registered = registeredOdbcDrivers();
  if (std::find(registered.begin(), registered.end(), "SQLite3") != registered.end()) {
    return "SQLite3";
  }
  return std::filesystem::exists(kSqliteLibrary) ? kSqliteLibrary : "";
}

class SqliteOdbcTest : public ::testing::Test {
 protected:
  void SetUp() override {
    driver_ = sqliteDriver();
    if (driver_.empty()) GTEST_SKIP() << "the SQLite ODBC driver (libsqliteodbc) is missing";
    folder_ = std::filesystem::temp_directory_path() /
              ("leafward-odbc-" + std::to_string(getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(folder_);
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
  void TearDown() override {
    if (connection_.state() == dataaccess::kAdStateOpen) connection_.close();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  std::unique_ptr<DriverSession> open(std::string secret) {
    return DriverSession::connect(
        "DRIVER=" + driver_ + ";Database=" + (folder_ / "set.db").string() + ";", 5s,
        "the test database", TextMode::Utf8, std::move(secret));
  }

  std::string driver_;
  std::filesystem::path folder_;
  Connection connection_;
};

TEST_F(SqliteOdbcTest, QueriesComeBackWholeWithTypedFields) {
  auto rows = connection_.execute("select ccode, bend, amount, made from code");
  ASSERT_EQ(rows->state(), dataaccess::kAdStateOpen);
  EXPECT_EQ(rows->recordCount(), 3);
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
  EXPECT_TRUE(rows->eof());
}

TEST_F(SqliteOdbcTest, ClipStringAndEmptyResults) {
  auto rows = connection_.execute("select ccode from code where bend = 1");
  EXPECT_EQ(rows->getString(dataaccess::kAdClipString, -1, "", ",", ""), "1001,口令,");
  EXPECT_TRUE(rows->eof());

  auto none = connection_.execute("select ccode from code where 1 = 0");
  ASSERT_EQ(none->state(), dataaccess::kAdStateOpen);
  EXPECT_TRUE(none->eof());
  EXPECT_EQ(none->recordCount(), 0);
  EXPECT_EQ(none->getString(dataaccess::kAdClipString, -1, "", ",", ""), "");
}

TEST_F(SqliteOdbcTest, UpdatesReportTheRowsTheyChanged) {
  std::int64_t changed = -5;
  auto result = connection_.execute("update code set bend = 1 where bend = 0", &changed);
  EXPECT_EQ(result->state(), dataaccess::kAdStateClosed);
  EXPECT_EQ(changed, 1);
  connection_.execute("update code set bend = 1 where ccode = 'none'", &changed);
  EXPECT_EQ(changed, 0);
  connection_.execute("update code set bend = 0", &changed);
  EXPECT_EQ(changed, 3);
}

TEST_F(SqliteOdbcTest, LongTextArrivesInPieces) {
  const std::string longText(20000, 'x');
  connection_.execute("insert into code (ccode) values ('" + longText + "口')");
  auto rows = connection_.execute("select ccode from code where length(ccode) > 100");
  ASSERT_FALSE(rows->eof());
  EXPECT_EQ(rows->field(0), Value::text(longText + "口"));
}

TEST_F(SqliteOdbcTest, TheCurrentCatalogIsWhatTheDriverReports) {
  // SQLite has no catalogs; its driver reports an empty name rather than failing.
  EXPECT_NO_THROW({
    const std::string name = connection_.defaultDatabase();
    EXPECT_EQ(name, "");
  });
}

TEST_F(SqliteOdbcTest, FailuresCarryTheDriversReason) {
  try {
    connection_.execute("select * from nosuch");
    FAIL() << "a missing table was accepted";
  } catch (const DataAccessError& error) {
    EXPECT_NE(std::string(error.what()).find("no such table: nosuch"), std::string::npos)
        << error.what();
  }
  try {
    connection_.execute("selec ccode from code");
    FAIL() << "bad SQL was accepted";
  } catch (const DataAccessError& error) {
    EXPECT_NE(std::string(error.what()).find("syntax error"), std::string::npos) << error.what();
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
