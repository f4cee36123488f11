#include "connection/server_connection_string.h"

#include <gtest/gtest.h>

#include "dataaccess/connection_string.h"

namespace leafward::connection {
namespace {

using dataaccess::ConnectionString;

// Whatever the user types (an empty database name too, which empties the catalogue) reaches
// the provider as typed: no quote, ';', '=' or placeholder in one value spills into another.
TEST(ServerConnectionStringTest, EveryValueReadsBackAsTyped) {
  const std::string hostile[] = {"",          "|1",      "|2",    "master",
                                 "'master'",  "it's",    "a;b=c", "say \"x\"",
                                 "both ' \"", "  pad  ", "口令",  "Data Source='evil'"};
  for (const std::string& password : hostile) {
    for (const std::string& server : hostile) {
      for (const std::optional<std::string_view> database :
           {std::optional<std::string_view>(), std::optional<std::string_view>("master|1"),
            std::optional<std::string_view>(password)}) {
        const std::string text = serverConnectionString(password, server, database);
        const auto parsed = ConnectionString::parse(text);
        EXPECT_EQ(parsed.get("Password"), password) << text;
        EXPECT_EQ(parsed.get("Data Source"), server) << text;
        EXPECT_EQ(parsed.get("Initial Catalog"), database ? *database : "master") << text;
        EXPECT_EQ(parsed.get("User ID"), "sa") << text;
        EXPECT_EQ(parsed.get("Provider"), "SQLOLEDB") << text;
        EXPECT_EQ(parsed.entries().size(), 6u) << text;
      }
    }
  }
}

}  // namespace
}  // namespace leafward::connection
