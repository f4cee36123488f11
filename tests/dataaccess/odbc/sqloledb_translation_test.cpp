#include "dataaccess/odbc/sqloledb_translation.h"

#include <gtest/gtest.h>

#include "dataaccess/errors.h"
#include "dataaccess/odbc/sql_server_driver.h"
#include "dataaccess/odbc/utf16.h"

namespace leafward::odbc {
namespace {

using dataaccess::ConnectionString;
using dataaccess::DataAccessError;
using Kind = SqlServerDriver::Kind;

const SqlServerDriver kFreeTds{Kind::FreeTds, "FreeTDS", 0};
const SqlServerDriver kMicrosoft18{Kind::Microsoft, "ODBC Driver 18 for SQL Server", 18};
// The drivers of a Windows computer.
const SqlServerDriver kWindows17{Kind::Microsoft, "ODBC Driver 17 for SQL Server", 17, true};
const SqlServerDriver kNativeClient{Kind::NativeClient, "SQL Server Native Client 11.0", 1100,
                                    true};
const SqlServerDriver kLegacy{Kind::Legacy, "SQL Server", 0, true};

// The login dialog's connection string through `driver`, or the reason it is refused.
std::string translate(const SqlServerDriver& driver, std::string_view dataSource,
                      std::string_view password = "pw") {
  try {
    return odbcConnectionString(
        ConnectionString::parse(
            "Provider=SQLOLEDB;Password=" + ConnectionString::quoteValue(password) +
            ";Persist Security Info='True';User ID='sa';Initial "
            "Catalog='master';Data Source=" +
            ConnectionString::quoteValue(dataSource)),
        driver, "", "");
  } catch (const DataAccessError& error) {
    return error.what();
  }
}

// What a translation gives `key`, up to the keyword `next`; the reason when it is refused.
std::string valueOf(const std::string& translated, const std::string& key,
                    const std::string& next) {
  const auto start = translated.find(";" + key + "=");
  if (start == std::string::npos) return translated;
  const auto from = start + key.size() + 2;
  return translated.substr(from, translated.find(";" + next + "=", from) - from);
}

// Each driver gets the keywords it knows (encryption as the server asks, a certificate it would
// not check) and the server name in its own form: FreeTDS a port of its own, Windows' drivers
// the computer's own server also through shared memory.
TEST(SqlOleDbTranslationTest, EachDriverGetsItsKeywordsAndItsFormOfTheServerName) {
  const std::string login = "Server={SRV};Database={master};UID={sa};PWD={pw};APP={Leafward};";
  for (const auto& [driver, keywords] :
       {std::pair{&kFreeTds, "TDS_Version=7.4;Encryption=request;ClientCharset=UTF-8;"},
        {&kMicrosoft18, "Encrypt=Optional;TrustServerCertificate=yes;"},
        {&kWindows17, "Encrypt=no;TrustServerCertificate=yes;"},
        {&kNativeClient, "Encrypt=no;TrustServerCertificate=yes;"},
        {&kLegacy, ""}}) {
    EXPECT_EQ(translate(*driver, "SRV"), "DRIVER={" + driver->name + "};" + login + keywords);
  }

  struct Case {
    const char* dataSource;
    const char* freeTds;
    const char* microsoft;  // Microsoft's driver on Linux reaches this computer by TCP only
    const char* windows;    // each Windows driver
  };
  for (const Case& c : {
           Case{"(LOCAL)", "{127.0.0.1}", "{127.0.0.1}", "{(local)}"},
           {".", "{127.0.0.1}", "{127.0.0.1}", "{(local)}"},
           {"", "{127.0.0.1}", "{127.0.0.1}", "{(local)}"},
           {".\\SQLEXPRESS", "{127.0.0.1\\SQLEXPRESS}", "{127.0.0.1\\SQLEXPRESS}",
            "{(local)\\SQLEXPRESS}"},
           {".,1533", "{127.0.0.1};Port=1533", "{127.0.0.1,1533}", "{127.0.0.1,1533}"},
           {" tcp:db1 , 1533 ", "{db1};Port=1533", "{db1,1533}", "{db1,1533}"},
           {"db1\\ACC,1533", "{db1};Port=1533", "{db1\\ACC,1533}", "{db1\\ACC,1533}"},
           {"db1\\ACC", "{db1\\ACC}", "{db1\\ACC}", "{db1\\ACC}"},
       }) {
    SCOPED_TRACE(c.dataSource);
    EXPECT_EQ(valueOf(translate(kFreeTds, c.dataSource), "Server", "Database"), c.freeTds);
    EXPECT_EQ(valueOf(translate(kMicrosoft18, c.dataSource), "Server", "Database"), c.microsoft);
    for (const SqlServerDriver* driver : {&kWindows17, &kNativeClient, &kLegacy}) {
      EXPECT_EQ(valueOf(translate(*driver, c.dataSource), "Server", "Database"), c.windows);
    }
  }
  for (const char* bad : {"db1,", "db1,x", "db1,0", "db1,65536"}) {
    EXPECT_EQ(translate(kFreeTds, bad),
              "The server name '" + std::string(bad) + "' holds an invalid port");
  }
}

// Braces keep every character of a value: a "}" doubled for Microsoft's drivers. FreeTDS reads
// a braced value up to the first "}" before ";" without undoing doubled braces, and Windows'
// old driver takes no "}" at all: what they cannot be given is refused, naming the field.
TEST(SqlOleDbTranslationTest, ValuesKeepEveryCharacterOrAreRefused) {
  const std::string noFreeTds = "The password holds \"};\", which cannot be given to FreeTDS";
  const std::string noLegacy =
      "The password holds \"}\", which cannot be given to the \"SQL Server\" ODBC driver";
  struct Case {
    const char* password;
    std::string freeTds, microsoft, legacy;
  };
  for (const Case& c : {Case{"a;b=c'\"", "{a;b=c'\"}", "{a;b=c'\"}", "{a;b=c'\"}"},
                        {"", "{}", "{}", "{}"},
                        {"x}y{", "{x}y{}", "{x}}y{}", noLegacy},
                        {"ab}", "{ab}}", "{ab}}}", noLegacy},
                        {"{x}", "{{x}}", "{{x}}}", noLegacy},
                        {"x}};PWD=y", noFreeTds, "{x}}}};PWD=y}", noLegacy},
                        {"};", noFreeTds, "{}};}", noLegacy},
                        {"a}};", noFreeTds, "{a}}}};}", noLegacy}}) {
    SCOPED_TRACE(c.password);
    const auto pwd = [&](const SqlServerDriver& driver) {
      return valueOf(translate(driver, "S", c.password), "PWD", "APP");
    };
    EXPECT_EQ(pwd(kFreeTds), c.freeTds);
    EXPECT_EQ(pwd(kNativeClient), c.microsoft);
    EXPECT_EQ(pwd(kLegacy), c.legacy);
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

// On Windows: the newest Microsoft driver, then Native Client, then the old one, never FreeTDS.
// Elsewhere: the newest Microsoft driver, then FreeTDS registered or on disk; a driver registered
// as "SQL Server" is not taken for Windows' own.
TEST(SqlServerDriverTest, ChoosesTheNewestOfTheBestKind) {
  const auto choice = [](std::vector<std::string> registered, bool windows, bool onDisk = false) {
    const auto chosen = chooseSqlServerDriver(
        registered, [&](auto&) { return onDisk; }, windows);
    if (!chosen) return std::string("none");
    return (chosen->kind == Kind::FreeTds ? "FreeTDS " : "") + chosen->name + " " +
           std::to_string(chosen->version);
  };
  std::vector<std::string> registered = {"SQL Server",
                                         "SQL Server Native Client 10.0",
                                         "ODBC Driver 13 for SQL Server",
                                         "FreeTDS",
                                         "SQL Server Native Client 11.0",
                                         "ODBC Driver 17 for SQL Server",
                                         "Microsoft Access Driver (*.mdb)"};
  EXPECT_EQ(choice(registered, true), "ODBC Driver 17 for SQL Server 17");
  EXPECT_EQ(choice(registered, false), "ODBC Driver 17 for SQL Server 17");
  std::erase_if(registered, [](const std::string& name) { return name.starts_with("ODBC"); });
  EXPECT_EQ(choice(registered, true), "SQL Server Native Client 11.0 1100");
  EXPECT_EQ(choice(registered, false), "FreeTDS FreeTDS 0");
  std::erase_if(registered,
                [](const std::string& name) { return name.starts_with("SQL Server N"); });
  EXPECT_EQ(choice(registered, true), "SQL Server 0");
  EXPECT_EQ(choice({"FreeTDS", "SQL Server Native Client x.0"}, true), "none");
  EXPECT_EQ(choice({"SQLite3", "ODBC Driver 18 for SQL Server", "ODBC Driver 9 for SQL Server",
                    "freetds"},
                   false),
            "ODBC Driver 18 for SQL Server 18");
  EXPECT_EQ(choice({"SQLite3", "freetds", "ODBC Driver x for SQL Server"}, false),
            "FreeTDS freetds 0");
  EXPECT_EQ(choice({"SQL Server", "SQL Server Native Client 11.0"}, false), "none");
  EXPECT_EQ(choice({"SQLite3"}, false, true), "FreeTDS " + freeTdsLibraryPaths().front() + " 0");
}

TEST(Utf16Test, RoundTripsEveryPlaneAndReplacesBrokenInput) {
  for (std::string text : {"", "plain", "口令错误", "a\xF0\x9F\x98\x80z"}) {
    EXPECT_EQ(utf8FromUtf16(utf16FromUtf8(text)), text);
  }
  EXPECT_EQ(utf16FromUtf8("\xF0\x9F\x98\x80").size(), 2u);
  EXPECT_EQ(utf8FromUtf16(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");
  EXPECT_EQ(utf8FromUtf16(u"\xDC00x"), "\xEF\xBF\xBDx");
  EXPECT_EQ(utf16FromUtf8("\xC0\xAF"), u"\xFFFD\xFFFD");        // overlong
  EXPECT_EQ(utf16FromUtf8("a\xE5\x8F"), u"a\xFFFD\xFFFD");      // cut short
  EXPECT_EQ(utf16FromUtf8("\xED\xA0\x80").front(), u'\xFFFD');  // encoded surrogate
}

}  // namespace
}  // namespace leafward::odbc
