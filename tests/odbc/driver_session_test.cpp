// What a driver says never shows a secret: through Debian's SQLite ODBC driver, which repeats a
// table's name, and without a driver at all. (FreeTDS against the stand-in runs the rest of the
// ODBC plumbing end to end; Leafward's own statements fetch only short texts and whole numbers.)
#include "dataaccess/odbc/driver_session.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "dataaccess/errors.h"

namespace leafward::odbc {
namespace {

using namespace std::chrono_literals;

std::string failureOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const dataaccess::DataAccessError& error) {
    return error.what();
  }
  return "(no error)";
}

TEST(OdbcSessionTest, SecretsAreMaskedInDriverMessages) {
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
}

}  // namespace
}  // namespace leafward::odbc
