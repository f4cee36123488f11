#include "audit/coding_scheme.h"

#include <gtest/gtest.h>

#include "audit/level_string.h"
#include "support/fake_session.h"

namespace leafward::audit {
namespace {

using dataaccess::Value;
using testing::AccountSet;
using testing::numbers;
using testing::texts;

TEST(LevelStringTest, IsTheFirstLengthThenEachIncrease) {
  EXPECT_EQ(levelString({4, 6, 8, 10}), "4222");
  EXPECT_EQ(levelString({4, 6, 8}), "422");
  EXPECT_EQ(levelString({4}), "4");
  EXPECT_EQ(levelString({4, 8}), "44");
  EXPECT_EQ(levelString({4, 14}), "410");
  EXPECT_EQ(levelString({8, 6, 4}), "8-2-2");
  EXPECT_EQ(levelString({}), "");
}

TEST(SchemeMatchTest, StoredSchemeMustStartWithTheLevelsAndAddOnlyDigits) {
  struct Case {
    const char* stored;
    const char* level;
    bool matches;
  };
  const Case cases[] = {
      {"4,2,2,2", "422", true}, {"4,2,2", "422", true},   {"4,3,2", "422", false},
      {"4,2", "422", false},    {"4-2-2", "422", false},  {"4,2,2", "4", true},
      {"4,2,2,2", "44", false}, {"4,10", "410", true},    {"4,2,2,x", "422", false},
      {"", "422", false},       {"4222", "8-2-2", false}, {"8-2-2", "8-2-2", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(schemeMatches(withoutCommas(c.stored), c.level), c.matches)
        << c.stored << " against " << c.level;
  }
  // At most fifteen levels beyond those in use.
  EXPECT_TRUE(schemeMatches("4" + std::string(15, '2'), "4"));
  EXPECT_FALSE(schemeMatches("4" + std::string(16, '2'), "4"));
}

struct SchemeRun {
  connection::SharedConnection shared;
  TextWorkbench bench;
  bool goesOn = false;

  explicit SchemeRun(std::unique_ptr<testing::FakeSession> session) {
    shared.cnData.adopt(std::move(session));
    goesOn = auditCodingScheme(shared, bench);
  }
  explicit SchemeRun(const AccountSet& set) : SchemeRun(set.session()) {}
};

TEST(CodingSchemeTest, ReportsEachMissingOrUnfittingSchemeAccInformationFirst) {
  AccountSet set;
  set.cGradeLevel = texts({"4,3,2"});
  set.gradeDef = texts({"4,2"});
  SchemeRun both(set);
  EXPECT_TRUE(both.goesOn);
  EXPECT_EQ(both.bench.text,
            "\r\nAccInformation的科目编码有问题：'4,3,2'\r\nGradeDef的科目编码有问题：'4,2'");

  set.cGradeLevel = {};
  set.gradeDef = texts({"4-2-2"});
  EXPECT_EQ(SchemeRun(set).bench.text,
            "\r\nAccInformation的科目编码有问题\r\nGradeDef的科目编码有问题：'4-2-2'");

  // The value is quoted as stored, commas and quotes and all.
  set.cGradeLevel = texts({"4,2'2"});
  set.gradeDef = texts({"4,2,2", "9"});  // only the first row counts
  EXPECT_EQ(SchemeRun(set).bench.text, "\r\nAccInformation的科目编码有问题：'4,2'2'");
}

TEST(CodingSchemeTest, ANullSchemeSaysNothingAndAMissingTableCountsAsAMissingRow) {
  AccountSet set;
  set.cGradeLevel = {Value()};
  set.gradeDef = texts({"4,3,2"});
  EXPECT_EQ(SchemeRun(set).bench.text, "\r\nGradeDef的科目编码有问题：'4,3,2'");

  auto noTables = AccountSet{}.session();
  noTables->fail(testing::kAccScheme, "no table AccInformation")
      .fail(testing::kGradeScheme, "no table GradeDef");
  SchemeRun run(std::move(noTables));
  EXPECT_TRUE(run.goesOn);
  EXPECT_EQ(run.bench.text, "\r\nAccInformation的科目编码有问题\r\nGradeDef的科目编码有问题");
  EXPECT_EQ(run.shared.rsData->state(), dataaccess::kAdStateClosed);
}

TEST(CodingSchemeTest, LevelsComeFromTheLengthsAsDeliveredSkippingNullCodes) {
  AccountSet descending;
  descending.lengths = numbers({8, 6, 4});
  descending.cGradeLevel = texts({"4,2,2"});
  descending.gradeDef = texts({"8-2-2"});
  EXPECT_EQ(SchemeRun(descending).bench.text, "\r\nAccInformation的科目编码有问题：'4,2,2'");

  AccountSet tenLong;
  tenLong.lengths = numbers({4, 14});
  tenLong.cGradeLevel = texts({"4,10"});
  tenLong.gradeDef = texts({"4,10,2"});
  EXPECT_EQ(SchemeRun(tenLong).bench.text, "");

  // A NULL code has no length: lengths NULL, 4, 6, 8 are the levels 4, 2, 2.
  AccountSet withNull;
  withNull.lengths = {Value(), Value::integer(4), Value::integer(6), Value::integer(8)};
  withNull.cGradeLevel = texts({"4,2,2"});
  EXPECT_EQ(SchemeRun(withNull).bench.text, "");
}

TEST(CodingSchemeTest, ALengthThatCannotBeReadEndsTheReadingWithTheLengthsSoFar) {
  dataaccess::ResultSet rows;
  rows.columnNames = {"Expr1000"};
  rows.rows = {{Value::integer(4)}, {Value::integer(6)}, {}, {Value::integer(8)}};
  auto session = AccountSet{}.session();
  session->answerRows(testing::kLengths, rows);
  session->answer(testing::kAccScheme, texts({"4,2"})).answer(testing::kGradeScheme, texts({"42"}));
  SchemeRun run(std::move(session));
  EXPECT_TRUE(run.goesOn);
  EXPECT_EQ(run.bench.text, "");
}

}  // namespace
}  // namespace leafward::audit
