#include <gtest/gtest.h>

#include "connection/server_connection_string.h"
#include "connection/shared_connection.h"
#include "connection/steps.h"
#include "dataaccess/connection_string.h"
#include "support/fake_session.h"

namespace leafward::connection {
namespace {

using dataaccess::ConnectionString;
using dataaccess::kAdStateClosed;

// Whatever the user types (an empty database name too, which empties the catalogue) reaches
// the provider as typed: no quote, ';', '=' or placeholder in one value spills into another.
// An Access path likewise.
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
  EXPECT_EQ(accessConnectionString("/home/acc/2024 set.mdb"),
            "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source='/home/acc/2024 set.mdb';");
  for (const std::string path : {"/tmp/o'neil/a.mdb", "/tmp/a\"b'c.mdb", "/tmp/|1.mdb"}) {
    EXPECT_EQ(ConnectionString::parse(accessConnectionString(path)).get("Data Source"), path);
  }
}

// A failed query, and any update, leave rsData as it was.
TEST(SharedConnectionTest, Lifecycle) {
  SharedConnection shared;
  shared.startUp();
  EXPECT_EQ(shared.cnData.cursorLocation(), dataaccess::kAdUseClient);
  EXPECT_EQ(shared.rsData->state(), kAdStateClosed);

  auto fake = std::make_unique<testing::FakeSession>();
  fake->answer("SELECT 1", testing::texts({"a", "b"})).failures["SELECT bad"] = "no table";
  shared.cnData.adopt(std::move(fake));
  shared.strSQL = "SELECT 1";
  shared.executeQuery();
  const auto rows = shared.rsData;
  EXPECT_EQ(rows->recordCount(), 2);
  shared.strSQL = "SELECT bad";
  EXPECT_THROW(shared.executeQuery(), dataaccess::DataAccessError);
  shared.strSQL = "SELECT 1";
  EXPECT_EQ(shared.executeUpdate(), 0);
  EXPECT_EQ(shared.rsData, rows);

  shared.shutDown();
  EXPECT_EQ(shared.cnData.state(), kAdStateClosed);
  EXPECT_EQ(rows->state(), kAdStateClosed);
  shared.shutDown();  // nothing left to close
}

TEST(StepsTest, AFailingStepIsSkippedAndAFailingTestLetsItsStepsRun) {
  std::string failure;
  EXPECT_FALSE(attempt([] { throw dataaccess::DataAccessError("refused"); }, &failure));
  EXPECT_EQ(failure, "refused");
  EXPECT_TRUE(holdsOrFails([]() -> bool { throw dataaccess::DataAccessError("closed"); }));
  EXPECT_FALSE(holdsOrFails([] { return false; }));
}

}  // namespace
}  // namespace leafward::connection
