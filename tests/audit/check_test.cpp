#include "audit/check.h"

#include <gtest/gtest.h>

#include "audit/report.h"
#include "support/fake_session.h"

namespace leafward::audit {
namespace {

using connection::SharedConnection;
using testing::AccountSet;
using testing::texts;

constexpr const char* kNoErrors = "没有发现错误";

// A Check on an account set that answers like `set`, with the box holding `before`.
struct CheckRun {
  SharedConnection shared;
  TextWorkbench bench;
  std::shared_ptr<testing::FakeSession::Shared> log;
  CheckOutcome outcome;

  CheckRun(std::unique_ptr<testing::FakeSession> session, std::string before = {},
           bool server = false) {
    shared.startUp();
    shared.blnServer = server;
    log = session->log();
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
    EXPECT_EQ(run.log->sent, expected);
    EXPECT_EQ(run.bench.text, "如下非末级科目标志有误：1001,1002\r\n如下末级科目标志有误：100201");
    EXPECT_EQ(run.outcome.end, CheckEnd::Finished);
    EXPECT_FALSE(run.busy());
    EXPECT_EQ(run.shared.strSQL, testing::kGradeScheme);
    EXPECT_EQ(run.shared.rsData->state(), dataaccess::kAdStateClosed);
  }
}

TEST(CheckTest, OnlyAFirstListThatFindsCodesReplacesTheReport) {
  AccountSet set;
  set.firstList = texts({"1001"});
  EXPECT_EQ(CheckRun(set, "an earlier report").bench.text, "如下非末级科目标志有误：1001");

  set.firstList = {};
  set.secondList = texts({"100201"});
  // Appending to an empty box leaves an empty first line; typed text is kept.
  EXPECT_EQ(CheckRun(set).bench.text, "\r\n如下末级科目标志有误：100201");
  EXPECT_EQ(CheckRun(set, "typed\r\nby hand").bench.text,
            "typed\r\nby hand\r\n如下末级科目标志有误：100201");
}

TEST(CheckTest, NoErrorsIsSaidOnlyOnAnEmptyBox) {
  const AccountSet consistent;
  EXPECT_EQ(CheckRun(consistent).bench.text, kNoErrors);
  EXPECT_EQ(CheckRun(consistent, "有 3个非末级科目标志被更新").bench.text,
            "有 3个非末级科目标志被更新");
  // A scheme line makes the box non-empty: no closing message then.
  AccountSet mismatch;
  mismatch.gradeDef = texts({"4,3,2"});
  EXPECT_EQ(CheckRun(mismatch).bench.text, "\r\nGradeDef的科目编码有问题：'4,3,2'");
}

TEST(CheckTest, CodeListsKeepDeliveryOrderAndShowNullAsAnEmptyEntry) {
  AccountSet set;
  set.firstList = texts({"20%", "1_", "10"});
  set.secondList = texts({nullptr, "科目9"});
  EXPECT_EQ(CheckRun(set).bench.text,
            "如下非末级科目标志有误：20%,1_,10\r\n如下末级科目标志有误：,科目9");
  set.firstList = {};
  set.secondList = texts({nullptr});
  EXPECT_EQ(CheckRun(set).bench.text, "\r\n如下末级科目标志有误：");
}

TEST(CheckTest, WithoutAnOpenConnectionNothingHappens) {
  SharedConnection shared;
  shared.startUp();
  TextWorkbench bench;
  bench.text = "kept";
  EXPECT_EQ(runCheck(shared, bench).end, CheckEnd::NotOpen);
  EXPECT_EQ(bench.text, "kept");
  EXPECT_TRUE(bench.enabled);
  EXPECT_EQ(bench.pointer, kPointerDefault);
  EXPECT_TRUE(shared.strSQL.empty());
}

TEST(CheckTest, AQueryThatFailsEndsTheCheckBusyAndWithoutVerdict) {
  AccountSet set;
  set.firstList = texts({"1001"});

  auto firstFails = set.session();
  firstFails->fail(testing::kFirstListAccess, "no table code");
  CheckRun first(std::move(firstFails), "before");
  EXPECT_EQ(first.outcome.end, CheckEnd::EndedEarly);
  EXPECT_EQ(first.outcome.failure, "no table code");
  EXPECT_EQ(first.bench.text, "before");
  EXPECT_TRUE(first.busy());
  EXPECT_EQ(first.log->sent.size(), 1u);

  auto secondFails = set.session();
  secondFails->fail(testing::kSecondListAccess, "connection lost");
  CheckRun second(std::move(secondFails));
  EXPECT_EQ(second.outcome.end, CheckEnd::EndedEarly);
  EXPECT_EQ(second.bench.text, "如下非末级科目标志有误：1001");
  EXPECT_TRUE(second.busy());

  auto lengthsFail = AccountSet{}.session();
  lengthsFail->fail(testing::kLengths, "connection lost");
  CheckRun third(std::move(lengthsFail));
  EXPECT_EQ(third.outcome.end, CheckEnd::EndedEarly);
  EXPECT_EQ(third.outcome.failure, "connection lost");
  EXPECT_EQ(third.bench.text, "");
  EXPECT_TRUE(third.busy());
}

TEST(CheckTest, NoCodesOrOnlyNullCodesEndTheCheckWithoutVerdict) {
  AccountSet empty;
  empty.lengths = {};
  CheckRun noCodes(empty);
  EXPECT_EQ(noCodes.outcome.end, CheckEnd::EndedEarly);
  EXPECT_TRUE(noCodes.outcome.failure.empty());
  EXPECT_EQ(noCodes.bench.text, "");
  EXPECT_TRUE(noCodes.busy());
  EXPECT_EQ(noCodes.log->sent.back(), testing::kLengths);

  AccountSet onlyNull;
  onlyNull.secondList = texts({nullptr});
  onlyNull.lengths = {dataaccess::Value()};
  CheckRun nullCodes(onlyNull);
  EXPECT_EQ(nullCodes.outcome.end, CheckEnd::EndedEarly);
  EXPECT_EQ(nullCodes.bench.text, "\r\n如下末级科目标志有误：");
}

TEST(ReportTest, DropsTheLastWholeCharacterAndLeavesAnEmptyBoxAlone) {
  TextWorkbench bench;
  dropLastCharacter(bench);
  EXPECT_EQ(bench.text, "");
  bench.text = "码,科目";
  dropLastCharacter(bench);
  EXPECT_EQ(bench.text, "码,科");
  appendLine(bench, "x");
  EXPECT_EQ(bench.text, "码,科\r\nx");
}

}  // namespace
}  // namespace leafward::audit
