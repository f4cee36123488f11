// Check: the leaf-flag lists and the coding scheme.
#include "audit/check.h"

#include <gtest/gtest.h>

#include "audit/coding_scheme.h"
#include "audit/level_string.h"
#include "audit/report.h"
#include "support/fake_session.h"

namespace leafward::audit {
namespace {

using testing::AccountSet;
using testing::numbers;
using testing::texts;
using testing::Value;

// A Check on an account set that answers like the fake, the box holding `before`.
struct CheckRun {
  connection::SharedConnection shared;
  TextWorkbench bench;
  std::shared_ptr<std::vector<std::string>> sent;
  CheckOutcome outcome;

  CheckRun(std::unique_ptr<testing::FakeSession> session, std::string before = {},
           bool server = false) {
    shared.startUp();
    shared.blnServer = server;
    sent = session->sent;
    shared.cnData.adopt(std::move(session));
    bench.text = std::move(before);
    outcome = runCheck(shared, bench);
  }
  CheckRun(const AccountSet& set, std::string before = {})
      : CheckRun(set.session(), std::move(before), set.server) {}
  bool busy() const { return !bench.enabled && bench.pointer == kPointerHourglass; }
};

TEST(CheckTest, SendsEveryStatementExactlyAsSpelledInBothDialects) {
  AccountSet set;
  set.firstList = texts({"1001", "1002"});
  set.secondList = texts({"100201"});
  for (bool server : {false, true}) {
    set.server = server;
    CheckRun run(set);
    const std::vector<std::string> expected = {
        server ? testing::kFirstListServer : testing::kFirstListAccess,
        server ? testing::kSecondListServer : testing::kSecondListAccess, testing::kLengths,
        testing::kAccScheme, testing::kGradeScheme};
    EXPECT_EQ(*run.sent, expected);
    EXPECT_EQ(run.bench.text, "如下非末级科目标志有误：1001,1002\r\n如下末级科目标志有误：100201");
    EXPECT_EQ(run.outcome.end, CheckEnd::Finished);
    EXPECT_FALSE(run.busy());
    EXPECT_EQ(run.shared.rsData->state(), dataaccess::kAdStateClosed);
  }
}

TEST(CheckTest, ReportRules) {
  AccountSet set;
  // Only a first list that finds codes replaces the report.
  set.firstList = texts({"20%", "1_", "10"});
  EXPECT_EQ(CheckRun(set, "earlier").bench.text, "如下非末级科目标志有误：20%,1_,10");
  // Otherwise lines go below what the box holds, typed text included; an empty box gets an
  // empty first line. A NULL code is an empty entry.
  set.firstList = {};
  set.secondList = texts({nullptr, "科目9"});
  EXPECT_EQ(CheckRun(set).bench.text, "\r\n如下末级科目标志有误：,科目9");
  EXPECT_EQ(CheckRun(set, "typed\r\nby hand").bench.text,
            "typed\r\nby hand\r\n如下末级科目标志有误：,科目9");
  // "No errors" only on an empty box.
  const AccountSet consistent;
  EXPECT_EQ(CheckRun(consistent).bench.text, "没有发现错误");
  EXPECT_EQ(CheckRun(consistent, "有 3个非末级科目标志被更新").bench.text,
            "有 3个非末级科目标志被更新");
}

TEST(CheckTest, EarlyEnds) {
  // Nothing open: nothing happens, not even the busy state.
  connection::SharedConnection closed;
  TextWorkbench bench;
  bench.text = "kept";
  EXPECT_EQ(runCheck(closed, bench).end, CheckEnd::NotOpen);
  EXPECT_EQ(bench.text, "kept");
  EXPECT_TRUE(bench.enabled);

  // A query that fails ends the check busy, without verdict, keeping what was written.
  AccountSet set;
  set.firstList = texts({"1001"});
  for (const std::string& failing :
       {testing::kFirstListAccess, testing::kSecondListAccess, testing::kLengths}) {
    auto session = set.session();
    session->failures[failing] = "connection lost";
    CheckRun run(std::move(session), "before");
    EXPECT_EQ(run.outcome.end, CheckEnd::EndedEarly);
    EXPECT_EQ(run.outcome.failure, "connection lost");
    EXPECT_EQ(run.bench.text,
              failing == testing::kFirstListAccess ? "before" : "如下非末级科目标志有误：1001");
    EXPECT_TRUE(run.busy());
    EXPECT_EQ(run.sent->back(), failing);
  }

  // No codes, or only NULL codes: no lengths, so no verdict either.
  AccountSet empty;
  empty.lengths = {};
  CheckRun noCodes(empty);
  EXPECT_EQ(noCodes.outcome.end, CheckEnd::EndedEarly);
  EXPECT_TRUE(noCodes.outcome.failure.empty());
  EXPECT_EQ(noCodes.bench.text, "");
  EXPECT_TRUE(noCodes.busy());
  empty.lengths = texts({nullptr});
  EXPECT_EQ(CheckRun(empty).outcome.end, CheckEnd::EndedEarly);
}

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
  const std::vector<Case> cases = {{"4,2,2,2", "422", true},  {"4,2,2", "422", true},
                                   {"4,3,2", "422", false},   {"4,2", "422", false},
                                   {"4-2-2", "422", false},   {"4,2,2", "4", true},
                                   {"4,2,2,2", "44", false},  {"4,10", "410", true},
                                   {"4,2,2,x", "422", false}, {"4222", "8-2-2", false}};
  for (const Case& c : cases) {
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
