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

TEST(SqlServerDriverTest, PrefersTheNewestMicrosoftDriverThenFreeTds) {
  // What is chosen from the registered drivers, with or without FreeTDS's library on disk.
  const auto choice = [](std::vector<std::string> registered, bool libraryThere) {
    const auto chosen = chooseSqlServerDriver(registered, [&](auto&) { return libraryThere; });
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
