// The check and repair statements over real files are run by the command-line tests; these
// are the session's own refusals.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "dataaccess/connection.h"
#include "jet_test_support.h"

namespace leafward::jet {
namespace {

using namespace dataaccess;
using ::testing::HasSubstr;

std::string accessConnection(const std::string& file) {
  return "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source='" + file + "';";
}

TEST(JetSessionTest, StatementsOtherThanSettingOneYesNoColumnChangeNothing) {
  testing::TempDir dir;
  const std::string path = dir.copyFixture("account-sets/realistic-5k.mdb");
  Connection connection;
  connection.open(accessConnection(path));
  const auto before = testing::readBytes(path);
  const auto failureOf = [&](const std::string& sql) -> std::string {
    try {
      connection.execute(sql);
    } catch (const DataAccessError& error) {
      return error.what();
    }
    return "(ran)";
  };
  EXPECT_THAT(failureOf("update code set ccode = 'x' where ccode = '1001'"),
              HasSubstr("not supported"));
  EXPECT_THAT(failureOf("update code set bend = 0, ccode = 'x'"), HasSubstr("not supported"));
  EXPECT_THAT(failureOf("update nothere set x = 1"), HasSubstr("nothere"));
  EXPECT_EQ(testing::readBytes(path), before);
}

TEST(JetSessionTest, AFileThatCannotBeOpenedLeavesTheConnectionClosedWithTheReason) {
  Connection connection;
  EXPECT_THROW(connection.open(accessConnection("/nonexistent/folder/x.mdb")), DataAccessError);
  EXPECT_EQ(connection.state(), kAdStateClosed);
  EXPECT_THAT(connection.lastError(), HasSubstr("does not exist"));
}

}  // namespace
}  // namespace leafward::jet
