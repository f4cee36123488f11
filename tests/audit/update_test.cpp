#include "audit/update.h"

#include <gtest/gtest.h>

#include "dataaccess/errors.h"
#include "support/fake_session.h"

namespace leafward::audit {
namespace {

using dataaccess::ErrorKind;

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
                     bool server = false) {
    auto session = std::make_unique<testing::FakeSession>();
    const std::string& setLeaf = server ? testing::kSetLeafServer : testing::kSetLeafAccess;
    session->updates = {{testing::kClearNonLeaf, nonLeaf}, {setLeaf, leaf}};
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

TEST(UpdateTest, NothingOpenNothingHappens) {
  connection::SharedConnection closed;
  TextWorkbench bench;
  bench.text = "kept";
  EXPECT_FALSE(runUpdate(closed, bench).ran);
  EXPECT_EQ(bench.text, "kept");
  EXPECT_TRUE(bench.enabled);
  EXPECT_EQ(bench.pointer, kPointerDefault);
}

}  // namespace
}  // namespace leafward::audit
