#include "audit/coding_scheme.h"

#include <gtest/gtest.h>

#include "audit/level_string.h"
#include "support/fake_session.h"

namespace leafward::audit {
namespace {

using testing::AccountSet;
using testing::numbers;
using testing::texts;
using testing::Value;

TEST(LevelStringTest, LevelsAndTheirMatchWithStoredSchemes) {
  EXPECT_EQ(levelString({4, 6, 8, 10}), "4222");
  EXPECT_EQ(levelString({4, 8}), "44");
  EXPECT_EQ(levelString({4, 14}), "410");
  EXPECT_EQ(levelString({8, 6, 4}), "8-2-2");
  struct Case {
    const char* stored;
    const char* level;
    bool matches;
  };
  for (const Case& c : {Case{"4,2,2,2", "422", true},
                        {"4,2,2", "422", true},
                        {"4,3,2", "422", false},
                        {"4,2", "422", false},
                        {"4-2-2", "422", false},
                        {"4,2,2", "4", true},
                        {"4,2,2,2", "44", false},
                        {"4,10", "410", true},
                        {"4,2,2,x", "422", false},
                        {"4222", "8-2-2", false}}) {
    EXPECT_EQ(schemeMatches(withoutCommas(c.stored), c.level), c.matches) << c.stored;
  }
  // At most fifteen levels beyond those in use.
  EXPECT_TRUE(schemeMatches("4" + std::string(15, '2'), "4"));
  EXPECT_FALSE(schemeMatches("4" + std::string(16, '2'), "4"));
}

std::string schemeReport(std::unique_ptr<testing::FakeSession> session) {
  connection::SharedConnection shared;
  shared.cnData.adopt(std::move(session));
  TextWorkbench bench;
  EXPECT_TRUE(auditCodingScheme(shared, bench));
  EXPECT_EQ(shared.rsData->state(), dataaccess::kAdStateClosed);
  return bench.text;
}
std::string schemeReport(const AccountSet& set) {
  return schemeReport(set.session());
}

TEST(CodingSchemeTest, ReportsEachMissingOrUnfittingSchemeQuotedAsStored) {
  AccountSet set;
  set.cGradeLevel = texts({"4,3,2"});
  set.gradeDef = texts({"4,2", "4,2,2"});  // only the first row counts
  EXPECT_EQ(schemeReport(set),
            "\r\nAccInformation的科目编码有问题：'4,3,2'\r\nGradeDef的科目编码有问题：'4,2'");
  // A NULL scheme says nothing; a missing table counts as a missing row.
  set.cGradeLevel = {Value()};
  auto session = set.session();
  session->failures[testing::kGradeScheme] = "no table GradeDef";
  EXPECT_EQ(schemeReport(std::move(session)), "\r\nGradeDef的科目编码有问题");
}

TEST(CodingSchemeTest, LevelsComeFromTheLengthsAsDeliveredSkippingWhatCannotBeRead) {
  AccountSet set;
  set.lengths = numbers({8, 6, 4});
  set.cGradeLevel = texts({"4,2,2"});
  set.gradeDef = texts({"8-2-2"});
  EXPECT_EQ(schemeReport(set), "\r\nAccInformation的科目编码有问题：'4,2,2'");

  // A NULL code has no length; a row that cannot be read ends the reading.
  set.lengths = {Value(), Value::integer(4), Value::integer(14)};
  set.cGradeLevel = texts({"4,10"});
  set.gradeDef = texts({"4,10,2"});
  EXPECT_EQ(schemeReport(set), "");
  auto session = set.session();
  session->answers[testing::kLengths].rows = {{Value::integer(4)}, {}, {Value::integer(9)}};
  session->answer(testing::kGradeScheme, texts({"4"}));
  EXPECT_EQ(schemeReport(std::move(session)), "");
}

}  // namespace
}  // namespace leafward::audit
