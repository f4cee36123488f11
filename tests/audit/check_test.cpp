#include "audit/check.h"

#include <gtest/gtest.h>

#include "audit/report.h"
#include "support/fake_session.h"

namespace leafward::audit {
namespace {

using testing::AccountSet;
using testing::texts;

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

}  // namespace
}  // namespace leafward::audit
