#include "dataaccess/connection_string.h"

#include <gtest/gtest.h>

#include "dataaccess/errors.h"

namespace leafward::dataaccess {
namespace {

TEST(ConnectionStringTest, ReadsTheAccessTemplate) {
  const auto parsed =
      ConnectionString::parse("PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source='C:\\a b\\x.mdb';");
  EXPECT_EQ(parsed.get("Provider"), "Microsoft.Jet.OLEDB.4.0");
  EXPECT_EQ(parsed.get("data source"), "C:\\a b\\x.mdb");
  EXPECT_EQ(parsed.get("User ID"), std::nullopt);
}

TEST(ConnectionStringTest, ReadsQuotedAndBareValues) {
  const auto parsed = ConnectionString::parse(
      " Provider = SQLOLEDB ;Password='it''s;x';User ID=\"say \"\"hi\"\"\";Initial Catalog=;");
  EXPECT_EQ(parsed.get("provider"), "SQLOLEDB");
  EXPECT_EQ(parsed.get("Password"), "it's;x");
  EXPECT_EQ(parsed.get("User ID"), "say \"hi\"");
  EXPECT_EQ(parsed.get("Initial Catalog"), "");
}

TEST(ConnectionStringTest, LastEntryOfAKeyWins) {
  EXPECT_EQ(ConnectionString::parse("a=1;A=2").get("a"), "2");
}

TEST(ConnectionStringTest, RefusesMalformedText) {
  for (const char* text : {"Password='open", "Provider", "=x", "a='x'y;", "a=\"x"}) {
    EXPECT_THROW(ConnectionString::parse(text), DataAccessError) << text;
  }
}

TEST(ConnectionStringTest, QuotedValuesReadBackUnchanged) {
  for (std::string value : {"", "plain", "it's", "say \"hi\"", "both ' and \"", "a;b=c", "  pad  ",
                            "|2master", "口令"}) {
    const std::string text = "Password=" + ConnectionString::quoteValue(value) + ";Data Source=x";
    const auto parsed = ConnectionString::parse(text);
    EXPECT_EQ(parsed.get("Password"), value) << text;
    EXPECT_EQ(parsed.get("Data Source"), "x") << text;
  }
  EXPECT_EQ(ConnectionString::quoteValue("sa"), "'sa'");
}

}  // namespace
}  // namespace leafward::dataaccess
