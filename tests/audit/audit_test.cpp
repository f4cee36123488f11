// Check (the leaf-flag lists and the coding scheme) and Update on account sets that answer like
// fakes.
#include "audit/check.h"

#include <gtest/gtest.h>

#include "audit/coding_scheme.h"
#include "audit/level_string.h"
#include "audit/report.h"
#include "audit/update.h"
#include "dataaccess/errors.h"
#include "support/fake_session.h"

namespace leafward::audit {
namespace {

using dataaccess::ErrorKind;
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
    // Only then does the check look for the details of the codes it lists.
    const std::vector<std::string> expected = {
        server ? testing::kFirstListServer : testing::kFirstListAccess,
        server ? testing::kSecondListServer : testing::kSecondListAccess,
        testing::kLengths,
        testing::kAccScheme,
        testing::kGradeScheme,
        testing::kDetails,
        testing::kDetailsWithName,
        testing::kDetailsWithLevel,
        testing::kDetailsOfCodes};
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

  // What the database says besides goes to the outcome, not into the verdict.
  auto noticed = AccountSet().session();
  noticed->notices[testing::kFirstListAccess] = "journal left in place";
  const CheckRun run(std::move(noticed));
  EXPECT_EQ(run.bench.text, "没有发现错误");
  EXPECT_EQ(run.outcome.notices, std::vector<std::string>{"journal left in place"});
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

// An Update on a fake account set whose two statements change `nonLeaf` and `leaf` rows (or
// throw what `errors` holds), the box holding `before`.
struct UpdateRun {
  connection::SharedConnection shared;
  TextWorkbench bench;
  std::shared_ptr<std::vector<std::string>> sent;
  std::shared_ptr<dataaccess::Recordset> recordsetBefore = shared.rsData;
  UpdateOutcome outcome;

  explicit UpdateRun(std::int64_t nonLeaf, std::int64_t leaf, std::string before = {},
                     std::exception_ptr nonLeafError = {}, std::exception_ptr leafError = {},
                     bool server = false, std::string nonLeafNotice = {}) {
    auto session = std::make_unique<testing::FakeSession>();
    const std::string& setLeaf = server ? testing::kSetLeafServer : testing::kSetLeafAccess;
    session->updates = {{testing::kClearNonLeaf, nonLeaf}, {setLeaf, leaf}};
    if (!nonLeafNotice.empty()) session->notices[testing::kClearNonLeaf] = nonLeafNotice;
    if (nonLeafError) session->errors[testing::kClearNonLeaf] = nonLeafError;
    if (leafError) session->errors[setLeaf] = leafError;
    sent = session->sent;
    shared.startUp();
    shared.blnServer = server;
    shared.cnData.adopt(std::move(session));
    bench.text = std::move(before);
    outcome = runUpdate(shared, bench);
  }
  bool busy() const { return !bench.enabled || bench.pointer != kPointerDefault; }
};

std::exception_ptr refusal(ErrorKind kind) {
  return std::make_exception_ptr(dataaccess::DataAccessError("provider words", kind));
}

TEST(UpdateTest, SendsBothStatementsExactlyAsSpelledAndLeavesTheRecordsetAlone) {
  for (bool server : {false, true}) {
    UpdateRun run(3, 1, {}, {}, {}, server);
    const std::vector<std::string> expected = {
        testing::kClearNonLeaf, server ? testing::kSetLeafServer : testing::kSetLeafAccess};
    EXPECT_EQ(*run.sent, expected);
    EXPECT_EQ(run.shared.strSQL, expected.back());
    EXPECT_EQ(run.bench.text, "\r\n有 3个非末级科目标志被更新\r\n有 1个末级科目标志被更新");
    EXPECT_EQ(run.shared.rsData, run.recordsetBefore);
    EXPECT_FALSE(run.busy());
    EXPECT_TRUE(run.outcome.ran);
  }
}

TEST(UpdateTest, ReportRules) {
  // Nothing to repair: the report is left as it was.
  EXPECT_EQ(UpdateRun(0, 0, "earlier").bench.text, "earlier");
  // A line only for a statement that changed rows, below whatever the box holds.
  EXPECT_EQ(UpdateRun(0, 12, "typed").bench.text, "typed\r\n有 12个末级科目标志被更新");
  EXPECT_EQ(UpdateRun(5, 0).bench.text, "\r\n有 5个非末级科目标志被更新");
  // A provider that cannot say how many rows changed reports -1: no line.
  EXPECT_EQ(UpdateRun(-1, 0).bench.text, "");
  // Counts are not cut to 16 bits.
  EXPECT_EQ(UpdateRun(32768, 5'000'000'000).bench.text,
            "\r\n有 32768个非末级科目标志被更新\r\n有 5000000000个末级科目标志被更新");
  // What the database says besides of a statement follows its line.
  EXPECT_EQ(
      UpdateRun(2, 1, {}, {}, {}, false, "removal not durable").bench.text,
      "\r\n有 2个非末级科目标志被更新\r\n注意：removal not durable\r\n有 1个末级科目标志被更新");
}

// A refusal of a kind the writer names is worded for the report (the command-line tests meet
// the index, read-only and in-use refusals on real files); any other failure gives the
// database's own words. Either way the other repair still runs.
TEST(UpdateTest, ARefusedRepairSaysWhichAndWhyAndTheOtherStillRuns) {
  const std::pair<ErrorKind, const char*> reasons[] = {
      {ErrorKind::UnknownLayout, "无法识别的记录格式"},
      {ErrorKind::ChangedSinceRead, "记录在读取后已被其他程序修改"},
      {ErrorKind::PendingRollback, "上次中断的修改无法撤销"},
      {ErrorKind::ColumnNotWritable, "bend字段不是是/否字段"},
      {ErrorKind::BeingUpdated, "文件正被其他程序修改"},
  };
  for (const auto& [reason, text] : reasons) {
    UpdateRun first(0, 4, {}, refusal(reason));
    EXPECT_EQ(first.bench.text,
              std::string("\r\n非末级科目标志未能更新：") + text + "\r\n有 4个末级科目标志被更新");
    EXPECT_EQ(first.outcome.nonLeaf.failure, "provider words");
  }
  UpdateRun both(0, 0, "kept", std::make_exception_ptr(dataaccess::DataAccessError("table locked")),
                 refusal(ErrorKind::ReadOnly));
  EXPECT_EQ(
      both.bench.text,
      "kept\r\n非末级科目标志未能更新：table locked\r\n末级科目标志未能更新：文件或文件夹只读");
  EXPECT_TRUE(both.outcome.leaf.failed);
  EXPECT_FALSE(both.busy());
}

// Nothing open: nothing happens, not even the busy state.
TEST(UpdateTest, NothingOpenNothingHappens) {
  connection::SharedConnection closed;
  TextWorkbench bench;
  bench.text = "kept";
  EXPECT_EQ(runCheck(closed, bench).end, CheckEnd::NotOpen);
  EXPECT_FALSE(runUpdate(closed, bench).ran);
  EXPECT_EQ(bench.text, "kept");
  EXPECT_TRUE(bench.enabled);
  EXPECT_EQ(bench.pointer, kPointerDefault);
}

}  // namespace
}  // namespace leafward::audit
