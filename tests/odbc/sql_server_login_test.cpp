// SQL Server logins through the real driver (FreeTDS here), against stand-ins on loopback.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>

#include "dataaccess/errors.h"
#include "dataaccess/odbc/odbc_session.h"
#include "odbc/tds_login_catcher.h"
#include "support/loopback.h"

namespace leafward::odbc {
namespace {

using dataaccess::ConnectionString;
using dataaccess::DataAccessError;
using namespace std::chrono_literals;

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

TEST(SqlServerLoginTest, AClosedPortFailsAtOnceWithoutThePassword) {
  const std::string server = "127.0.0.1," + std::to_string(testing::closedLoopbackPort());
  const auto [text, took] = failedOpen(loginString("Pa55;word", server, "master"), 15s);
  EXPECT_EQ(text.rfind("Cannot connect to SQL Server '" + server + "': ", 0), 0u) << text;
  EXPECT_EQ(text.find("Pa55"), std::string::npos) << text;
  // Refused at once, not after waiting for the login time-out.
  EXPECT_LT(took, 10s);
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

TEST(SqlServerLoginTest, TheDriverSendsTheLoginExactlyAsTyped) {
  struct Case {
    std::string password;
    std::string database;
  };
  // Quotes, ';', braces, padding, non-ASCII, "|n" and an empty password.
  const Case cases[] = {{"pa;ss{w=o'rd\"", "pelkor_001_2024;x"},
                        {" p}ass{word ", " db}x "},
                        {"口令 密码", "账套"},
                        {"master|2", "|1"},
                        {"", "a b"}};
  for (const Case& c : cases) {
    testing::TdsLoginCatcher catcher;
    const std::string server = "127.0.0.1," + std::to_string(catcher.port());
    const auto [text, took] = failedOpen(loginString(c.password, server, c.database), 5s);
    const testing::CaughtLogin login = catcher.login();
    ASSERT_TRUE(login.received) << c.password << ": " << text;
    EXPECT_EQ(login.user, "sa");
    EXPECT_EQ(login.password, c.password);
    EXPECT_EQ(login.database, c.database);
    EXPECT_EQ(login.application, "Leafward");
    if (c.password.size() >= 4) {
      EXPECT_EQ(text.find(c.password), std::string::npos) << text;
    }
  }
}

}  // namespace
}  // namespace leafward::odbc
