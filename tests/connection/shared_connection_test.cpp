#include "connection/shared_connection.h"

#include <gtest/gtest.h>

#include "connection/steps.h"
#include "dataaccess/connection_string.h"
#include "support/fake_session.h"

namespace leafward::connection {
namespace {

using dataaccess::kAdStateClosed;
using testing::FakeSession;

TEST(ConnectionStringTest, AccessPathGoesInQuotedSoThatQuotesStayInside) {
  EXPECT_EQ(accessConnectionString("/home/acc/2024 set.mdb"),
            "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source='/home/acc/2024 set.mdb';");
  for (const std::string path : {"/tmp/o'neil/a.mdb", "/tmp/a\"b'c.mdb", "/tmp/|1.mdb"}) {
    EXPECT_EQ(dataaccess::ConnectionString::parse(accessConnectionString(path)).get("Data Source"),
              path);
  }
}

TEST(SharedConnectionTest, Lifecycle) {
  SharedConnection shared;
  shared.startUp();
  EXPECT_EQ(shared.cnData.cursorLocation(), dataaccess::kAdUseClient);
  EXPECT_EQ(shared.rsData->state(), kAdStateClosed);

  auto fake = std::make_unique<FakeSession>();
  fake->answer("SELECT 1", testing::texts({"a", "b"})).failures["SELECT bad"] = "no table";
  shared.cnData.adopt(std::move(fake));
  shared.strSQL = "SELECT 1";
  shared.executeQuery();
  const auto rows = shared.rsData;
  EXPECT_EQ(rows->recordCount(), 2);
  // A failed query, and any update, leave rsData as it was.
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
  EXPECT_TRUE(holds([]() -> bool { throw dataaccess::DataAccessError("closed"); }));
  EXPECT_FALSE(holds([] { return false; }));
}

}  // namespace
}  // namespace leafward::connection
