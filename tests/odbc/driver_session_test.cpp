// The ODBC plumbing where the SQL Server tests (FreeTDS against the stand-in) do not take it:
// values longer than a read, the kinds of field Leafward's own statements never fetch, and
// secrets in a driver's messages. The driver is Debian's SQLite ODBC driver.
#include "dataaccess/odbc/driver_session.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "dataaccess/connection.h"
#include "dataaccess/errors.h"
#include "dataaccess/odbc/column_reader.h"
#include "dataaccess/recordset.h"

namespace leafward::odbc {
namespace {

using dataaccess::DataAccessError;
using dataaccess::Value;
using namespace std::chrono_literals;

constexpr const char* kSqliteDriver = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";

// A database of its own in memory.
std::unique_ptr<DriverSession> openSqlite(std::string secret = {}) {
  return DriverSession::connect(std::string("DRIVER=") + kSqliteDriver + ";Database=:memory:;", 5s,
                                "the test database", TextMode::Utf8, std::move(secret));
}

std::string failureOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const DataAccessError& error) {
    return error.what();
  }
  return "(no error)";
}

TEST(SqliteOdbcTest, FieldsComeBackWholeWithTheirKind) {
  if (!std::filesystem::exists(kSqliteDriver)) GTEST_SKIP() << "libsqliteodbc is missing";
  dataaccess::Connection connection;
  connection.adopt(openSqlite());
  const std::string longText = std::string(20000, 'x') + "口";
  for (const std::string& statement : std::vector<std::string>{
           "create table t (c varchar(40), b bit, d double, m datetime, x blob)",
           "insert into t values ('1001', 1, 2.5, '2024-01-02 03:04:05', x'00AB1F')",
           "insert into t values ('" + longText + "', 0, null, '1899-12-30', zeroblob(20000))"}) {
    connection.execute(statement);
  }
  const auto rows = connection.execute("select c, b, d, m, x from t");
  EXPECT_EQ(rows->field("C"), Value::text("1001"));
  EXPECT_EQ(rows->field(1), Value::integer(1));  // 1 as SQL Server hands out a bit, not Jet's -1
  EXPECT_EQ(rows->field(2), Value::floating(2.5));
  EXPECT_EQ(rows->field(3).toText(), "2024-01-02 03:04:05");
  EXPECT_EQ(rows->field(4), Value::binary({0x00, 0xAB, 0x1F}));
  rows->moveNext();
  EXPECT_EQ(rows->field(0), Value::text(longText));  // read in pieces, as is the blob
  EXPECT_TRUE(rows->field(2).isNull());
  EXPECT_EQ(rows->field(3), Value::date({0}));
  EXPECT_EQ(rows->field(4), Value::binary(std::vector<std::uint8_t>(20000, 0)));
  // SQLite has no GUID type: a GUID's fields are laid out as Jet stores them.
  const SQLGUID guid = {
      0x8E39276A, 0xBCA8, 0x4AC4, {0x89, 0x1E, 0x49, 0x91, 0x1D, 0x84, 0x38, 0xDD}};
  EXPECT_EQ(Value::guid(guidOf(guid)).toText(), "{8E39276A-BCA8-4AC4-891E-49911D8438DD}");
}

// A missing driver names the target, never the password; SQLite repeats an unknown table's
// name, which must not come back when it is the secret.
TEST(SqliteOdbcTest, SecretsAreMaskedInDriverMessages) {
  const std::string missing = failureOf([] {
    DriverSession::connect("DRIVER={No Such Driver};PWD={topsecret};", 2s, "the target",
                           TextMode::Wide, "topsecret");
  });
  EXPECT_EQ(missing.rfind("Cannot connect to the target: ", 0), 0u) << missing;
  EXPECT_EQ(missing.find("topsecret"), std::string::npos) << missing;
  if (!std::filesystem::exists(kSqliteDriver)) GTEST_SKIP() << "libsqliteodbc is missing";
  const auto session = openSqlite("hushhush");
  const std::string unknown = failureOf([&] { session->execute("select * from hushhush"); });
  EXPECT_NE(unknown.find("no such table: ****"), std::string::npos) << unknown;
  EXPECT_EQ(unknown.find("hushhush"), std::string::npos) << unknown;
}

}  // namespace
}  // namespace leafward::odbc
