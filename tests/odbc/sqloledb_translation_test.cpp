#include "dataaccess/odbc/sqloledb_translation.h"

#include <gtest/gtest.h>

#include "dataaccess/errors.h"
#include "dataaccess/odbc/sql_server_driver.h"

namespace leafward::odbc {
namespace {

using dataaccess::ConnectionString;
using dataaccess::DataAccessError;

const SqlServerDriver kFreeTds{SqlServerDriver::Kind::FreeTds, "FreeTDS", 0};
const SqlServerDriver kMicrosoft18{SqlServerDriver::Kind::Microsoft,
                                   "ODBC Driver 18 for SQL Server", 18};
// The drivers of a Windows computer.
const SqlServerDriver kWindows17{SqlServerDriver::Kind::Microsoft, "ODBC Driver 17 for SQL Server",
                                 17, true};
const SqlServerDriver kNativeClient{SqlServerDriver::Kind::NativeClient,
                                    "SQL Server Native Client 11.0", 1100, true};
const SqlServerDriver kLegacy{SqlServerDriver::Kind::Legacy, "SQL Server", 0, true};

std::string translate(std::string_view oledb, const SqlServerDriver& driver = kFreeTds) {
  return odbcConnectionString(ConnectionString::parse(oledb), driver, "", "");
}

TEST(SqlOleDbTranslationTest, TheLoginTemplateBecomesAFreeTdsString) {
  EXPECT_EQ(translate("Provider=SQLOLEDB;Password='pw';Persist Security Info='True';"
                      "User ID='sa';Initial Catalog='master';Data Source='SRV'"),
            "DRIVER={FreeTDS};Server={SRV};Database={master};UID={sa};PWD={pw};APP={Leafward};"
            "TDS_Version=7.4;Encryption=request;ClientCharset=UTF-8;");
  EXPECT_EQ(translate("Provider=SQLOLEDB;Password='pw';User ID='sa';Initial Catalog='master';"
                      "Data Source='SRV'",
                      kMicrosoft18),
            "DRIVER={ODBC Driver 18 for SQL Server};Server={SRV};Database={master};UID={sa};"
            "PWD={pw};APP={Leafward};Encrypt=Optional;TrustServerCertificate=yes;");
}

TEST(SqlOleDbTranslationTest, BracesKeepEveryCharacterOfAValue) {
  EXPECT_EQ(odbcBraced(""), "{}");
  const char* oledb =
      "Provider=SQLOLEDB;Password='x}};PWD=y';User ID='sa';Initial Catalog=\"it's\";"
      "Data Source='S'";
  const std::string text = translate(oledb, kMicrosoft18);
  EXPECT_NE(text.find(";PWD={x}}}};PWD=y};"), std::string::npos) << text;
  EXPECT_NE(text.find(";Database={it's};"), std::string::npos) << text;
}

// FreeTDS reads a braced value up to the first "}" before ";", without undoing doubled braces.
TEST(SqlOleDbTranslationTest, FreeTdsValuesAreBracedAsTheyStand) {
  EXPECT_EQ(freeTdsValue("a;b=c'\"", "password"), "{a;b=c'\"}");
  EXPECT_EQ(freeTdsValue("", "password"), "{}");
  EXPECT_EQ(freeTdsValue("x}y{", "password"), "{x}y{}");
  EXPECT_EQ(freeTdsValue("ab}", "password"), "{ab}}");
  EXPECT_EQ(freeTdsValue("{x}", "password"), "{{x}}");
  for (const char* unsayable : {"x};y", "};", "a}};"}) {
    try {
      freeTdsValue(unsayable, "password");
      FAIL() << unsayable;
    } catch (const DataAccessError& error) {
      EXPECT_STREQ(error.what(), "The password holds \"};\", which cannot be given to FreeTDS");
    }
  }
  EXPECT_THROW(translate("Provider=SQLOLEDB;Password='x}};PWD=y';Data Source='S'"),
               DataAccessError);
}

TEST(SqlOleDbTranslationTest, ThisComputerInstancesAndPorts) {
  struct Case {
    const char* dataSource;
    const char* freeTds;
    const char* microsoft;
  };
  const Case cases[] = {
      {"(LOCAL)", "Server={127.0.0.1};", "Server={127.0.0.1};"},
      {".", "Server={127.0.0.1};", "Server={127.0.0.1};"},
      {"", "Server={127.0.0.1};", "Server={127.0.0.1};"},
      {".\\SQLEXPRESS", "Server={127.0.0.1\\SQLEXPRESS};", "Server={127.0.0.1\\SQLEXPRESS};"},
      {"db1,1533", "Server={db1};Port=1533;", "Server={db1,1533};"},
      {" tcp:db1 , 1533 ", "Server={db1};Port=1533;", "Server={db1,1533};"},
      {"db1\\ACC,1533", "Server={db1};Port=1533;", "Server={db1\\ACC,1533};"},
  };
  for (const Case& c : cases) {
    const std::string oledb = "Provider=SQLOLEDB;User ID='sa';Password='';Data Source=" +
                              ConnectionString::quoteValue(c.dataSource);
    EXPECT_NE(translate(oledb).find(std::string(";") + c.freeTds), std::string::npos)
        << c.dataSource << " -> " << translate(oledb);
    EXPECT_NE(translate(oledb, kMicrosoft18).find(std::string(";") + c.microsoft),
              std::string::npos)
        << c.dataSource << " -> " << translate(oledb, kMicrosoft18);
  }
  for (const char* bad : {"db1,", "db1,x", "db1,0", "db1,65536"}) {
    EXPECT_THROW(translate(std::string("Provider=SQLOLEDB;Data Source='") + bad + "'"),
                 DataAccessError)
        << bad;
  }
}

TEST(SqlOleDbTranslationTest, EmptyCatalogMeansTheLoginsDefaultAndArgumentsOverride) {
  const auto oledb = ConnectionString::parse(
      "Provider=SQLOLEDB;Password='a';User ID='sa';Initial Catalog='';Data Source='S'");
  EXPECT_EQ(odbcConnectionString(oledb, kFreeTds, "", "").find("Database="), std::string::npos);
  const std::string overridden = odbcConnectionString(oledb, kFreeTds, "bob", "b");
  EXPECT_NE(overridden.find(";UID={bob};PWD={b};"), std::string::npos) << overridden;
  EXPECT_EQ(loginPassword(oledb, ""), "a");
  EXPECT_EQ(loginPassword(oledb, "b"), "b");
}

// Each Windows driver gets the keywords it knows: encryption as the server asks, a certificate
// it would not check, and the computer's own server also through shared memory.
TEST(SqlOleDbTranslationTest, EachWindowsDriverGetsItsOwnKeywords) {
  const std::string login =
      "Provider=SQLOLEDB;Password='pw';User ID='sa';Initial Catalog='master';Data Source='SRV'";
  const std::string common = "Server={SRV};Database={master};UID={sa};PWD={pw};APP={Leafward};";
  EXPECT_EQ(translate(login, kWindows17), "DRIVER={ODBC Driver 17 for SQL Server};" + common +
                                              "Encrypt=no;TrustServerCertificate=yes;");
  EXPECT_EQ(translate(login, kNativeClient), "DRIVER={SQL Server Native Client 11.0};" + common +
                                                 "Encrypt=no;TrustServerCertificate=yes;");
  EXPECT_EQ(translate(login, kLegacy), "DRIVER={SQL Server};" + common);

  const auto server = [](const char* dataSource, const SqlServerDriver& driver) {
    const std::string text = translate(
        std::string("Provider=SQLOLEDB;User ID='sa';Password='';Data Source='") + dataSource + "'",
        driver);
    const auto start = text.find(";Server=") + 8;
    return text.substr(start, text.find(';', start) - start);
  };
  for (const SqlServerDriver& driver : {kWindows17, kNativeClient, kLegacy}) {
    SCOPED_TRACE(driver.name);
    EXPECT_EQ(server("(local)", driver), "{(local)}");
    EXPECT_EQ(server(".\\SQLEXPRESS", driver), "{(local)\\SQLEXPRESS}");
    EXPECT_EQ(server(" tcp:db1 , 1533 ", driver), "{db1,1533}");
    EXPECT_EQ(server(".,1533", driver), "{127.0.0.1,1533}");
    EXPECT_EQ(server("db1\\ACC", driver), "{db1\\ACC}");
  }
  // Microsoft's driver on Linux reaches this computer by TCP only.
  EXPECT_EQ(server("(local)", kMicrosoft18), "{127.0.0.1}");

  // Braces: doubled for the newer drivers; the old one cannot be given a "}" at all.
  const std::string braced = "Provider=SQLOLEDB;Password='a}b';User ID='sa';Data Source='S'";
  EXPECT_NE(translate(braced, kNativeClient).find(";PWD={a}}b};"), std::string::npos);
  try {
    translate(braced, kLegacy);
    FAIL();
  } catch (const DataAccessError& error) {
    EXPECT_STREQ(error.what(),
                 "The password holds \"}\", which cannot be given to the \"SQL Server\" ODBC "
                 "driver");
  }
  EXPECT_NE(translate("Provider=SQLOLEDB;Password='a{b;c';User ID='sa';Data Source='S'", kLegacy)
                .find(";PWD={a{b;c};"),
            std::string::npos);
}

TEST(SqlServerDriverTest, OnWindowsPrefersMicrosoftThenNativeClientThenTheOldDriver) {
  const auto choice = [](std::vector<std::string> registered) {
    const auto chosen = chooseSqlServerDriver(
        registered, [](auto&) { return true; }, true);
    return chosen ? chosen->name + " " + std::to_string(chosen->version) : std::string("none");
  };
  std::vector<std::string> registered = {"SQL Server",
                                         "SQL Server Native Client 10.0",
                                         "ODBC Driver 13 for SQL Server",
                                         "FreeTDS",
                                         "SQL Server Native Client 11.0",
                                         "ODBC Driver 17 for SQL Server",
                                         "Microsoft Access Driver (*.mdb)"};
  EXPECT_EQ(choice(registered), "ODBC Driver 17 for SQL Server 17");
  std::erase_if(registered, [](const std::string& name) { return name.starts_with("ODBC"); });
  EXPECT_EQ(choice(registered), "SQL Server Native Client 11.0 1100");
  std::erase_if(registered,
                [](const std::string& name) { return name.starts_with("SQL Server N"); });
  EXPECT_EQ(choice(registered), "SQL Server 0");
  // FreeTDS is not a Windows choice; on Linux a driver registered as "SQL Server" is not taken
  // for Windows' own.
  EXPECT_EQ(choice({"FreeTDS", "SQL Server Native Client x.0"}), "none");
  const auto linux = chooseSqlServerDriver(
      {"SQL Server", "FreeTDS"}, [](auto&) { return false; }, false);
  ASSERT_TRUE(linux);
  EXPECT_EQ(linux->kind, SqlServerDriver::Kind::FreeTds);
  EXPECT_FALSE(chooseSqlServerDriver(
      {"SQL Server Native Client 11.0"}, [](auto&) { return false; }, false));
}

TEST(SqlServerDriverTest, PrefersTheNewestMicrosoftDriverThenFreeTds) {
  // What is chosen from the registered drivers, with or without FreeTDS's library on disk.
  const auto choice = [](std::vector<std::string> registered, bool libraryThere) {
    const auto chosen = chooseSqlServerDriver(
        registered, [&](auto&) { return libraryThere; }, false);
    if (!chosen) return std::string("none");
    const bool freeTds = chosen->kind == SqlServerDriver::Kind::FreeTds;
    return (freeTds ? "FreeTDS " : "Microsoft ") + chosen->name + " " +
           std::to_string(chosen->version);
  };
  EXPECT_EQ(choice({"SQLite3", "ODBC Driver 17 for SQL Server", "FreeTDS",
                    "ODBC Driver 18 for SQL Server", "ODBC Driver 9 for SQL Server"},
                   false),
            "Microsoft ODBC Driver 18 for SQL Server 18");
  EXPECT_EQ(choice({"SQLite3", "freetds", "ODBC Driver x for SQL Server"}, false),
            "FreeTDS freetds 0");
  EXPECT_EQ(choice({"SQLite3"}, true), "FreeTDS " + freeTdsLibraryPaths().front() + " 0");
  EXPECT_EQ(choice({"SQLite3"}, false), "none");
}

}  // namespace
}  // namespace leafward::odbc
