// SQL Server logins through the real driver (FreeTDS here), against stand-ins on loopback; and,
// through Debian's SQLite ODBC driver, which repeats a table's name, secrets kept out of a
// driver's messages and a text longer than one read. (The stand-in runs the rest of the ODBC
// plumbing end to end; Leafward's own statements fetch only texts and whole numbers.)
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <tuple>

#include "dataaccess/connection.h"
#include "dataaccess/errors.h"
#include "dataaccess/odbc/driver_session.h"
#include "dataaccess/odbc/odbc_session.h"
#include "dataaccess/recordset.h"
#include "support/loopback.h"
#include "support/tds_stand_in.h"

namespace leafward::odbc {
namespace {

using dataaccess::ConnectionString;
using dataaccess::DataAccessError;
using namespace std::chrono_literals;

std::string failureOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const DataAccessError& error) {
    return error.what();
  }
  return "(no error)";
}

std::string loginString(std::string_view password, std::string_view server,
                        std::string_view database) {
  return "Provider=SQLOLEDB;Password=" + ConnectionString::quoteValue(password) +
         ";Persist Security Info='True';User ID='sa';Initial Catalog=" +
         ConnectionString::quoteValue(database) +
         ";Data Source=" + ConnectionString::quoteValue(server);
}

// Opens and returns the error text and how long the attempt took.
std::pair<std::string, std::chrono::duration<double>> failedOpen(std::string_view oledb,
                                                                 std::chrono::seconds timeout) {
  const auto start = std::chrono::steady_clock::now();
  std::string text;
  try {
    openOdbcSession(ConnectionString::parse(oledb), "", "", timeout);
    text = "<opened>";
  } catch (const DataAccessError& error) {
    text = error.what();
  }
  return {text, std::chrono::steady_clock::now() - start};
}

TEST(SqlServerLoginTest, ASilentServerIsGivenUpAfterTheLoginTimeOut) {
  std::uint16_t port = 0;
  const int silent = testing::listenOnLoopback(port);
  const auto [text, took] =
      failedOpen(loginString("pw", "127.0.0.1," + std::to_string(port), "master"), 2s);
  close(silent);
  EXPECT_NE(text.find("Cannot connect to SQL Server"), std::string::npos) << text;
  EXPECT_GE(took, 1s);
  EXPECT_LT(took, 12s);  // it must not hang on a server that never answers
}

// The stand-in server accepts only the password and database it holds, so an open connection
// proves that both arrived exactly as typed: quotes, ';', braces (one at the end too), padding,
// non-ASCII, "|n" and an empty password.
TEST(SqlServerLoginTest, TheDriverSendsTheLoginExactlyAsTyped) {
  for (const auto& [password, database] : {std::pair{"pa;ss{w=o'rd\"", "pelkor_001_2024;x"},
                                           {"a}b", " db}x "},
                                           {"ab}", "{x}"},
                                           {"}", "}"},
                                           {"{x}", "pelkor_001_2024"},
                                           {" a;b ", "a;b"},
                                           {"口令 密码", "账套"},
                                           {"master|2", "|1"},
                                           {"", "a b"}}) {
    testing::TdsStandIn server(password);
    server.addDatabase(database);
    dataaccess::Connection connection;
    try {
      connection.open(loginString(password, server.serverName(), database));
      EXPECT_EQ(connection.defaultDatabase(), database);
    } catch (const DataAccessError& error) {
      ADD_FAILURE() << password << ": " << error.what();
    }
    const auto logins = server.logins();
    ASSERT_EQ(logins.size(), 1u) << password;
    EXPECT_EQ(logins[0].user, "sa");
    EXPECT_EQ(logins[0].password, password);
    EXPECT_EQ(logins[0].database, database);
    EXPECT_EQ(logins[0].application, "Leafward");
  }
}

// decimal, numeric and money values arrive with every digit, past the 15 or so a double holds.
TEST(SqlServerLoginTest, DecimalsAndMoneyArriveExactly) {
  testing::TdsStandIn server;
  server.addDatabase("pelkor_001_2024");
  using Exact = testing::Reply::Exact;
  server.answerAlso("select amount from ledger",
                    {.column = "amount",
                     .exact = Exact{38, 10},
                     .cells = {"12345678901234567890.0123456789",
                               "-0.5000000000",
                               {},
                               "9999999999999999999999999999.9999999999"}});
  server.answerAlso("select fee from ledger",
                    {.column = "fee",
                     .exact = Exact{},
                     .cells = {"922337203685477.5807", "-922337203685477.5808", "12.3400"}});
  dataaccess::Connection connection;
  connection.open(loginString("right", server.serverName(), "pelkor_001_2024"));
  const auto texts = [&](const std::string& statement) {
    return connection.execute(statement)->getString(dataaccess::kAdClipString, -1, "", "|", "NULL");
  };
  EXPECT_EQ(texts("select amount from ledger"),
            "12345678901234567890.0123456789|-0.5|NULL|"
            "9999999999999999999999999999.9999999999|");
  EXPECT_EQ(texts("select fee from ledger"), "922337203685477.5807|-922337203685477.5808|12.34|");
}

// A commit whose connection fails under it may or may not have been carried out: the change is
// reported failed and unknown, never as undone. Once the server has committed it, a connection
// that cannot be set back to commit each statement on its own is only a notice.
TEST(SqlServerLoginTest, AConnectionLostAtTheCommitLeavesTheOutcomeUnknown) {
  const dataaccess::KeyedFlagUpdate update{"code", "ccode", "bend", {{"100201", false, true, 1}}};
  const auto connected = [](testing::TdsStandIn& server, dataaccess::Connection& connection) {
    server.addDatabase("pelkor_001_2024", testing::fixtureAccountSet("worked-example"));
    connection.open(loginString("right", server.serverName(), "pelkor_001_2024"));
  };
  {
    testing::TdsStandIn server;
    dataaccess::Connection connection;
    connected(server, connection);
    server.dropConnection(testing::TdsStandIn::Drop::AtCommit);
    EXPECT_THAT(failureOf([&] { connection.setFlagsByKey(update); }),
                ::testing::HasSubstr("is not known"));
  }
  testing::TdsStandIn server;
  dataaccess::Connection connection;
  connected(server, connection);
  server.dropConnection(testing::TdsStandIn::Drop::AfterCommit);
  EXPECT_EQ(connection.setFlagsByKey(update), 1);
  const std::vector<std::string> notices = connection.takeNotices();
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_THAT(notices[0], ::testing::HasSubstr("the change was committed"));
  EXPECT_EQ(server.accountSet("pelkor_001_2024").code[3].bend, true);
}

// FreeTDS ends a braced value at the first "};", so a value holding it cannot be passed: it is
// refused before anything is sent, naming the field and never the value.
TEST(SqlServerLoginTest, AValueHoldingBraceSemicolonIsRefusedBeforeItIsSent) {
  testing::TdsStandIn server("a};b");
  server.addDatabase("x};y");
  for (const auto& [password, database, field] :
       {std::tuple{"a};b", "master", "password"}, std::tuple{"pw", "x};y", "database name"}}) {
    const auto [text, took] = failedOpen(loginString(password, server.serverName(), database), 5s);
    EXPECT_EQ(text,
              "The " + std::string(field) + " holds \"};\", which cannot be given to FreeTDS");
  }
  EXPECT_TRUE(server.logins().empty());
}

TEST(OdbcSessionTest, SecretsAreMaskedAndLongTextsComeBackWhole) {
  const std::string missing = failureOf([] {
    DriverSession::connect("DRIVER={No Such Driver};PWD={topsecret};", 2s, "the target",
                           TextMode::Wide, "topsecret");
  });
  EXPECT_EQ(missing.rfind("Cannot connect to the target: ", 0), 0u) << missing;
  EXPECT_EQ(missing.find("topsecret"), std::string::npos) << missing;

  const std::string driver = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";
  if (!std::filesystem::exists(driver)) GTEST_SKIP() << "libsqliteodbc is missing";
  const auto session = DriverSession::connect("DRIVER=" + driver + ";Database=:memory:;", 5s,
                                              "the test database", TextMode::Utf8, "hushhush");
  const std::string unknown = failureOf([&] { session->execute("select * from hushhush"); });
  EXPECT_NE(unknown.find("no such table: ****"), std::string::npos) << unknown;
  EXPECT_EQ(unknown.find("hushhush"), std::string::npos) << unknown;
  // A text longer than one read of the driver comes back whole.
  const std::string longText = std::string(9000, 'x') + "口";
  const auto rows = session->execute("select '" + longText + "'").rows;
  EXPECT_EQ(rows.value().rows.at(0).at(0), dataaccess::Value::text(longText));
}

}  // namespace
}  // namespace leafward::odbc
