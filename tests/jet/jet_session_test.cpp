#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "dataaccess/connection.h"
#include "dataaccess/connection_string.h"
#include "dataaccess/recordset.h"
#include "jet_test_support.h"

namespace leafward::jet {
namespace {

using namespace dataaccess;

std::string accessConnection(const std::string& file) {
  return "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source='" + file + "';";
}

std::string clip(Connection& connection, const std::string& sql) {
  auto recordset = connection.execute(sql);
  return recordset->getString(kAdClipString, -1, "", ",", "");
}

TEST(JetSessionTest, RunsTheCheckQueriesOverTheFileAndReportsNoDefaultDatabase) {
  Connection connection;
  connection.setCursorLocation(kAdUseClient);
  connection.open(accessConnection(testing::fixture("account-sets/spec-example.mdb")));
  ASSERT_EQ(connection.state(), kAdStateOpen);
  EXPECT_EQ(connection.defaultDatabase(), "");
  EXPECT_EQ(clip(connection,
                 "SELECT  ccode FROM [code] where exists (SELECT  * FROM [code] p where p.ccode "
                 "like code.ccode+'_%') and [bend]"),
            "1001,1002,100202,");
  EXPECT_EQ(clip(connection,
                 "SELECT  ccode FROM [code] where not exists(SELECT  * FROM [code] p where "
                 "p.ccode like code.ccode+'_%') and not [bend]"),
            "100201,");
  EXPECT_EQ(clip(connection, "select cValue from AccInformation where cName='cGradeLevel'"),
            "4,2,2,");
}

TEST(JetSessionTest, UpdatesArePlannedThenRefused) {
  Connection connection;
  connection.open(accessConnection(testing::fixture("account-sets/spec-example.mdb")));
  auto failureOf = [&](const std::string& sql) -> std::string {
    try {
      connection.execute(sql);
    } catch (const DataAccessError& error) {
      return error.what();
    }
    return "(ran)";
  };
  EXPECT_EQ(failureOf("update code Set [bend] = 0 where ccode = '1001'"),
            "Changing data in Access files is not supported yet");
  // A statement the engine cannot plan says why instead.
  EXPECT_THAT(failureOf("update nothere set x = 1"), ::testing::HasSubstr("nothere"));
}

TEST(JetSessionTest, AFileThatCannotBeOpenedLeavesTheConnectionClosedWithTheReason) {
  Connection connection;
  EXPECT_THROW(connection.open(accessConnection("/nonexistent/folder/x.mdb")), DataAccessError);
  EXPECT_EQ(connection.state(), kAdStateClosed);
  EXPECT_THAT(connection.lastError(), ::testing::HasSubstr("does not exist"));
}

}  // namespace
}  // namespace leafward::jet
