#include "dataaccess/connection_string.h"

#include <gtest/gtest.h>

#include "dataaccess/errors.h"

namespace leafward::dataaccess {
namespace {

// Quoting values on the way in is the server connection string's test, with hostile values.
TEST(ConnectionStringTest, ReadsQuotedAndBareValuesWithKeysInAnyCase) {
  const auto parsed = ConnectionString::parse(
      " PROVIDER = SQLOLEDB ;Password='it''s;x';User ID=\"say \"\"hi\"\"\";Initial Catalog=;"
      "a=1;A=2");
  EXPECT_EQ(parsed.get("provider"), "SQLOLEDB");
  EXPECT_EQ(parsed.get("Password"), "it's;x");
  EXPECT_EQ(parsed.get("User ID"), "say \"hi\"");
  EXPECT_EQ(parsed.get("Initial Catalog"), "");
  EXPECT_EQ(parsed.get("a"), "2");  // the last entry of a key wins
  EXPECT_EQ(parsed.get("Data Source"), std::nullopt);
}

TEST(ConnectionStringTest, RefusesMalformedText) {
  for (const char* text : {"Password='open", "Provider", "=x", "a='x'y;", "a=\"x"}) {
    EXPECT_THROW(ConnectionString::parse(text), DataAccessError) << text;
  }
}

}  // namespace
}  // namespace leafward::dataaccess
