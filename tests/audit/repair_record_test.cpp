// The record of repairs as the window meets it, through the functions it calls: Update with a
// record sends what Update sends and reports the same lines, or nothing at all when the record
// cannot be written; the question before an undo names the repair.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "audit/recorded_update.h"
#include "audit/undo.h"
#include "record/record_file.h"
#include "support/fake_session.h"
#include "support/files.h"

namespace leafward::audit {
namespace {

using ::testing::HasSubstr;
using testing::texts;

const record::AccountSet kSet = record::AccountSet::serverDatabase("PC1\\SQL", "pelkor_001_2024");

struct RecordedUpdateRun {
  connection::SharedConnection shared;
  TextWorkbench bench;
  std::shared_ptr<std::vector<std::string>> sent;
  UpdateOutcome outcome;

  RecordedUpdateRun(const std::string& folder, std::int64_t nonLeaf = 3) {
    testing::AccountSet set;
    set.server = true;
    set.firstList = texts({"1001", "1002", nullptr});
    set.secondList = texts({"100201"});
    auto session = set.session();
    session->updates[testing::kClearNonLeaf] = nonLeaf;
    session->updates[testing::kSetLeafServer] = 1;
    sent = session->sent;
    shared.startUp();
    shared.blnServer = true;
    shared.cnData.adopt(std::move(session));
    outcome = runRecordedUpdate(shared, bench, {folder, kSet});
  }
};

TEST(RecordedUpdateTest, ListsBeforeUpdatesOnRecordAndTheSameLines) {
  testing::TempDir dir;
  const RecordedUpdateRun run(dir.file("repairs"));
  EXPECT_EQ(*run.sent,
            (std::vector<std::string>{testing::kFirstListServer, testing::kSecondListServer,
                                      testing::kClearNonLeaf, testing::kSetLeafServer}));
  EXPECT_EQ(run.bench.text, "\r\n有 3个非末级科目标志被更新\r\n有 1个末级科目标志被更新");
  EXPECT_TRUE(run.outcome.recordFailure.empty());
  EXPECT_TRUE(run.bench.enabled);
  const auto repairs = record::readRecord(dir.file("repairs"), kSet).repairs;
  ASSERT_EQ(repairs.size(), 1u);
  const std::vector<record::CodeChange> cleared = {
      {"1001", true, false}, {"1002", true, false}, {std::nullopt, true, false}};
  EXPECT_EQ(repairs[0].steps[0].planned, cleared);
  EXPECT_EQ(repairs[0].steps[0].statement, testing::kClearNonLeaf);
  EXPECT_EQ(repairs[0].steps[1].planned,
            (std::vector<record::CodeChange>{{"100201", false, true}}));
  EXPECT_TRUE(repairs[0].steps[0].exact() && repairs[0].steps[1].exact());

  // A count that differs from the list (none at all too), or that the database does not give,
  // is noted and not taken for exact.
  for (const std::int64_t count : {2, 0, -1}) {
    const RecordedUpdateRun other(dir.file("repairs"), count);
    const record::Step step = record::readRecord(dir.file("repairs"), kSet).repairs.back().steps[0];
    EXPECT_FALSE(step.exact());
    EXPECT_THAT(step.confirmation->note, HasSubstr("所列科目代码"));
  }
}

// The codes of a statement whose count the database did not give are listed and left alone by
// the undo: which rows that statement changed is not known.
TEST(RecordedUpdateTest, AnUndoLeavesAStatementWithoutACountAlone) {
  // The leaf flag of 100201 stands as the repair left it, and is put back.
  struct Now : testing::FakeSession {
    dataaccess::FlagsNow lookUpFlags(const dataaccess::FlagLookup& lookup) override {
      dataaccess::FlagsNow now;
      now.rows.resize(lookup.rows.size());
      now.keys = {{"100201", {1, 0}}};
      return now;
    }
    std::int64_t setFlagsByKey(const dataaccess::KeyedFlagUpdate& update) override {
      return static_cast<std::int64_t>(update.flags.size());
    }
  };
  testing::TempDir dir;
  RecordedUpdateRun run(dir.file("repairs"), -1);
  run.shared.cnData.adopt(std::make_unique<Now>());
  TextWorkbench bench;
  const UndoOutcome undo = runUndo(run.shared, bench, {dir.file("repairs"), kSet});
  EXPECT_EQ(undo.leaf.count, 1);
  EXPECT_THAT(bench.text, HasSubstr("\r\n如下非末级科目标志的修复记录与更新的行数不符，未恢复："
                                    "1001,1002,\r\n"));
  EXPECT_EQ(undo.leftAlone, 3);
}

// On an Access file the writer says which planned rows it changed: other rows than planned, as
// many, are noted, and the statement is not taken for exact.
TEST(RecordedUpdateTest, AnAccessUpdateThatChangedOtherRowsIsNoted) {
  struct OtherRows : dataaccess::PlannedUpdate {
    std::vector<dataaccess::PlannedChange> planned = {
        {dataaccess::Value::text("1001"), true, false, "3:0"},
        {dataaccess::Value::text("1002"), false, false, "3:1"},
        {dataaccess::Value::text("1003"), true, false, "3:2"}};
    const std::vector<dataaccess::PlannedChange>& changes() const override { return planned; }
    dataaccess::PlannedUpdateResult carryOut() override { return {2, {0, 1}, {}}; }
  };
  struct Planning : testing::FakeSession {
    std::unique_ptr<dataaccess::PlannedUpdate> planUpdate(std::string_view,
                                                          std::string_view) override {
      return std::make_unique<OtherRows>();
    }
  };
  testing::TempDir dir;
  connection::SharedConnection shared;
  shared.startUp();
  shared.cnData.adopt(std::make_unique<Planning>(), "Microsoft.Jet.OLEDB.4.0");
  TextWorkbench bench;
  runRecordedUpdate(shared, bench, {dir.file("repairs"), kSet});
  const record::Step step = record::readRecord(dir.file("repairs"), kSet).repairs.at(0).steps[0];
  EXPECT_EQ(step.planned, (std::vector<record::CodeChange>{{"1001", true, false, "3:0"},
                                                           {"1003", true, false, "3:2"}}));
  EXPECT_EQ(step.confirmation->count, 2);
  EXPECT_EQ(step.confirmation->note, "更新的行与计划的行不同，所列科目代码不确切");
  EXPECT_FALSE(step.exact());
}

TEST(RecordedUpdateTest, NothingIsUpdatedWhenTheRecordCannotBeWritten) {
  testing::TempDir dir;
  testing::writeBytes(dir.file("blocked"), {'x'});
  const RecordedUpdateRun run(dir.file("blocked") + "/repairs");
  EXPECT_EQ(*run.sent,
            (std::vector<std::string>{testing::kFirstListServer, testing::kSecondListServer}));
  EXPECT_THAT(run.bench.text,
              ::testing::StartsWith("\r\n未能写入修复记录，没有更新任何科目标志：cannot write the "
                                    "record of repairs: cannot make the folder"));
  EXPECT_THAT(run.outcome.recordFailure, HasSubstr(dir.file("blocked")));
  EXPECT_FALSE(run.outcome.nonLeaf.failed || run.outcome.leaf.failed);
  EXPECT_TRUE(run.bench.enabled);
}

// What the confirmation box asks: which repair, by whom, how many flags.
TEST(UndoPreviewTest, TheQuestionNamesTheRepair) {
  testing::TempDir dir;
  const RecordTarget target{dir.file("repairs"), kSet};
  EXPECT_EQ(previewUndo(target).question(), "没有可以撤销的修复");

  record::Repair repair;
  repair.steps = {
      {record::Direction::NonLeaf, "s", {{"1001", true, false}, {"1002", true, false}}, {}},
      {record::Direction::Leaf, "t", {{"100201", false, true}}, {}}};
  {
    record::RecordFile book = record::RecordFile::openForRepair(target.folder, kSet);
    book.begin(repair);
    repair.steps[0].confirmation = record::Confirmation{false, 2, {}};
    book.confirm(repair, 0);
  }
  UndoPreview preview = previewUndo(target);
  ASSERT_EQ(preview.state, UndoPreview::State::Ready);
  EXPECT_EQ(preview.repairId, repair.id);
  const std::string asked = "撤销 " + repair.id.substr(0, 10) + " " + repair.id.substr(11, 8) +
                            " 由 " + repair.user + "（" + repair.computer +
                            "）所做的修复？\n该修复";
  EXPECT_EQ(preview.question(), asked + "中断前更新了 2个非末级科目标志、1个末级科目标志。");
  {
    record::RecordFile book = record::RecordFile::openForRepair(target.folder, kSet);
    repair.steps[1].confirmation = record::Confirmation{false, 1, {}};
    book.confirm(repair, 1);
  }
  EXPECT_EQ(previewUndo(target).question(), asked + "更新了 2个非末级科目标志、1个末级科目标志。");

  // A record cut short, or a row changed by hand, makes the record unreadable.
  const std::string path = record::recordPath(target.folder, kSet);
  const std::vector<std::uint8_t> whole = testing::readBytes(path);
  std::vector<std::uint8_t> damaged(whole.begin(), whole.end() - 1);
  testing::writeBytes(path, damaged);
  EXPECT_THAT(previewUndo(target).question(),
              ::testing::StartsWith("无法撤销：" + path + " has been cut short"));
  damaged = whole;
  damaged[std::string(damaged.begin(), damaged.end()).find(",1001,") + 4] = '9';
  testing::writeBytes(path, damaged);
  preview = previewUndo(target);
  EXPECT_EQ(preview.state, UndoPreview::State::Unreadable);
  EXPECT_THAT(preview.question(),
              ::testing::StartsWith("无法撤销：" + path + " is damaged at line"));
}

// The window puts back the repair the person agreed to, or none: another repair recorded
// between the question and the answer is not undone in its place.
TEST(UndoPreviewTest, AnUndoOfAnotherRepairThanTheOneConfirmedIsRefused) {
  testing::TempDir dir;
  const RecordTarget target{dir.file("repairs"), kSet};
  const RecordedUpdateRun first(target.folder);
  const UndoPreview preview = previewUndo(target);
  RecordedUpdateRun meanwhile(target.folder);
  const std::string now = record::readRecord(target.folder, kSet).repairs.at(1).id;
  const std::size_t sent = meanwhile.sent->size();
  TextWorkbench bench;
  const UndoOutcome outcome = runUndo(meanwhile.shared, bench, target, preview.repairId);
  EXPECT_THAT(outcome.failure,
              HasSubstr("the repair to undo is now " + now + ", not " + preview.repairId));
  EXPECT_EQ(meanwhile.sent->size(), sent);
  EXPECT_EQ(record::readRecord(target.folder, kSet).repairs.size(), 2u);
}

}  // namespace
}  // namespace leafward::audit
