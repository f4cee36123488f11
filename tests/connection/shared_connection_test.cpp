#include "connection/shared_connection.h"

#include <gtest/gtest.h>

#include "connection/steps.h"
#include "dataaccess/connection_string.h"
#include "support/fake_session.h"

namespace leafward::connection {
namespace {

using dataaccess::kAdStateClosed;
using dataaccess::kAdStateOpen;
using testing::FakeSession;
using testing::texts;

TEST(ConnectionStringTest, AccessTemplateTakesThePathQuotedSoThatQuotesStayInside) {
  EXPECT_EQ(accessConnectionString("/home/acc/2024 set.mdb"),
            "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source='/home/acc/2024 set.mdb';");
  for (const std::string path : {"/tmp/o'neil/a.mdb", "/tmp/a\"b'c.mdb", "/tmp/|1.mdb"}) {
    const auto parsed = dataaccess::ConnectionString::parse(accessConnectionString(path));
    EXPECT_EQ(parsed.get("Data Source"), path);
    EXPECT_EQ(parsed.get("Provider"), "Microsoft.Jet.OLEDB.4.0");
  }
}

TEST(ConnectionStringTest, PlaceholdersAreReplacedEverywhereExactlyAndOnlyOnce) {
  EXPECT_EQ(replaceAll("a|1b|1c", "|1", "X"), "aXbXc");
  EXPECT_EQ(replaceAll("Initial Catalog='master';Master", "master", "db"),
            "Initial Catalog='db';Master");
  // Text that was put in is not searched again.
  EXPECT_EQ(replaceAll("Password='|1'", "|1", "p|1q"), "Password='p|1q'");
  EXPECT_EQ(replaceAll("none", "|2", "x"), "none");
}

TEST(SharedConnectionTest, StartsClosedWithClientCursorsAndAnEmptyClosedRecordset) {
  SharedConnection shared;
  shared.startUp();
  EXPECT_EQ(shared.cnData.cursorLocation(), dataaccess::kAdUseClient);
  EXPECT_EQ(shared.cnData.state(), kAdStateClosed);
  ASSERT_NE(shared.rsData, nullptr);
  EXPECT_EQ(shared.rsData->state(), kAdStateClosed);
  EXPECT_FALSE(shared.blnServer);
}

TEST(SharedConnectionTest, OpeningAFileClosesTheOpenConnectionFirstEvenWhenTheOpenFails) {
  SharedConnection shared;
  shared.startUp();
  shared.cnData.adopt(std::make_unique<FakeSession>());
  EXPECT_THROW(shared.openAccess("/nonexistent/leafward/none.mdb"), dataaccess::DataAccessError);
  EXPECT_EQ(shared.cnData.state(), kAdStateClosed);
  EXPECT_FALSE(shared.cnData.lastError().empty());
}

TEST(SharedConnectionTest, QueriesReplaceTheRecordsetAndFailuresLeaveIt) {
  SharedConnection shared;
  auto fake = std::make_unique<FakeSession>();
  fake->answer("SELECT 1", texts({"a", "b"})).fail("SELECT bad", "no such table");
  shared.cnData.adopt(std::move(fake));

  shared.strSQL = "SELECT 1";
  shared.executeQuery();
  const auto first = shared.rsData;
  EXPECT_EQ(first->recordCount(), 2);

  shared.strSQL = "SELECT bad";
  EXPECT_THROW(shared.executeQuery(), dataaccess::DataAccessError);
  EXPECT_EQ(shared.rsData, first);
  // An update's recordset is dropped; rsData stays as it was.
  shared.strSQL = "SELECT 1";
  EXPECT_EQ(shared.executeUpdate(), 0);
  EXPECT_EQ(shared.rsData, first);
}

TEST(SharedConnectionTest, ShutDownClosesBothAndNeverFails) {
  SharedConnection shared;
  shared.shutDown();  // nothing open: nothing to close
  auto fake = std::make_unique<FakeSession>();
  fake->answer("SELECT 1", texts({"a"}));
  shared.cnData.adopt(std::move(fake));
  shared.strSQL = "SELECT 1";
  shared.executeQuery();
  const auto rows = shared.rsData;
  shared.shutDown();
  EXPECT_EQ(shared.cnData.state(), kAdStateClosed);
  EXPECT_EQ(rows->state(), kAdStateClosed);
  EXPECT_NE(shared.rsData, rows);
}

TEST(StepsTest, AFailingStepIsSkippedAndAFailingTestLetsItsStepsRun) {
  std::string failure;
  EXPECT_FALSE(attempt([] { throw dataaccess::DataAccessError("refused"); }, &failure));
  EXPECT_EQ(failure, "refused");
  EXPECT_TRUE(attempt([] {}));
  EXPECT_TRUE(holds([]() -> bool { throw dataaccess::DataAccessError("closed"); }));
  EXPECT_FALSE(holds([] { return false; }));
}

}  // namespace
}  // namespace leafward::connection
