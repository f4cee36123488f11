#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "dataaccess/connection.h"
#include "dataaccess/connection_string.h"
#include "dataaccess/jet/write_hooks.h"
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

// A Connection on a private copy of an account set, with the statement helpers the update
// tests need.
class JetUpdateTest : public ::testing::Test {
 protected:
  void open(const std::string& fixture) {
    path_ = dir_.file("set.mdb");
    testing::writeBytes(path_, testing::readBytes(testing::fixture("account-sets/" + fixture)));
    connection_.open(accessConnection(path_));
  }
  std::int64_t update(const std::string& sql) {
    std::int64_t affected = -7;
    auto recordset = connection_.execute(sql, &affected);
    EXPECT_EQ(recordset->state(), kAdStateClosed);
    return affected;
  }
  std::string failureOf(const std::string& sql) {
    try {
      connection_.execute(sql);
    } catch (const DataAccessError& error) {
      return error.what();
    }
    return "(ran)";
  }

  testing::TempDir dir_;
  std::string path_;
  Connection connection_;
};

std::size_t writeSteps = 0;
void countWriteStep(WriteStep, std::size_t) {
  ++writeSteps;
}

TEST_F(JetUpdateTest, RepairsChangeTheFileAndLaterStatementsSeeTheNewFlags) {
  open("spec-example.mdb");
  EXPECT_EQ(update("update code Set [bend] = 0  where exists (SELECT  * FROM [code] p where "
                   "p.ccode like code.ccode+'_%') and [bend]<>0"),
            3);
  EXPECT_EQ(clip(connection_, "SELECT ccode FROM code where not bend"), "1001,1002,100201,100202,");
  // true is stored as -1, and -1 is unequal to 0.
  EXPECT_EQ(update("update code Set [bend] = true where not exists (SELECT  * FROM [code] p "
                   "where p.ccode like code.ccode+'_%') and [bend]=0"),
            1);
  EXPECT_EQ(clip(connection_, "SELECT bend FROM code"), "0,-1,0,-1,0,-1,");
  EXPECT_EQ(update("update code set bend = 0 where [bend]<>0"), 3);
  EXPECT_EQ(update("update code set bend = -1 where [bend]=0 and ccode like '1001%'"), 2);

  // A statement that selects no rows touches nothing, not even the journal.
  const auto before = testing::readBytes(path_);
  writeSteps = 0;
  setWriteStepHook(&countWriteStep);
  EXPECT_EQ(update("update code set bend = 0 where ccode = 'none'"), 0);
  setWriteStepHook(nullptr);
  EXPECT_EQ(writeSteps, 0u);
  EXPECT_EQ(testing::readBytes(path_), before);
}

TEST_F(JetUpdateTest, ANullSatisfiesNeitherTheTestNorItsOpposite) {
  open("odd-codes.mdb");
  EXPECT_EQ(update("update code set bend = 0 where len(ccode)<>0"), 9);
  EXPECT_EQ(update("update code set bend = 0 where len(ccode)=0"), 0);
  EXPECT_EQ(clip(connection_, "SELECT bend FROM code where ccode is null"), "0,");
  EXPECT_EQ(update("update code set bend = true where ccode is null"), 1);
}

TEST_F(JetUpdateTest, OnlyOneYesNoColumnCanBeSet) {
  open("realistic-5k.mdb");
  const auto before = testing::readBytes(path_);
  EXPECT_THAT(failureOf("update code set ccode = 'x' where ccode = '1001'"),
              ::testing::HasSubstr("not supported"));
  EXPECT_THAT(failureOf("update code set bend = 0, ccode = 'x'"),
              ::testing::HasSubstr("not supported"));
  // A statement the engine cannot plan says why.
  EXPECT_THAT(failureOf("update nothere set x = 1"), ::testing::HasSubstr("nothere"));
  EXPECT_EQ(testing::readBytes(path_), before);
}

TEST(JetSessionTest, AFileThatCannotBeOpenedLeavesTheConnectionClosedWithTheReason) {
  Connection connection;
  EXPECT_THROW(connection.open(accessConnection("/nonexistent/folder/x.mdb")), DataAccessError);
  EXPECT_EQ(connection.state(), kAdStateClosed);
  EXPECT_THAT(connection.lastError(), ::testing::HasSubstr("does not exist"));
}

}  // namespace
}  // namespace leafward::jet
