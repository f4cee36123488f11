// The record of repairs on SQL Server, through FreeTDS and the stand-in server: the codes the
// two UPDATEs change, a count that differs from the list read before it, and the undo as one
// transaction of parameterised statements per kind of flag.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "cli_run.h"
#include "platform/process.h"
#include "record/record_file.h"
#include "support/files.h"
#include "support/statement_texts.h"
#include "support/tds_stand_in.h"

namespace leafward::cli {
namespace {

using testing::CliRun;
using testing::CodeRow;
using ::testing::HasSubstr;
using testing::TdsStandIn;

constexpr const char* kDatabase = "pelkor_001_2024";

// Odd codes, and codes a CSV must quote: a comma, a quote, a line end, a trailing space; each
// of the new ones with a wrong flag.
testing::ServerAccountSet oddAccountSet() {
  testing::ServerAccountSet set = testing::fixtureAccountSet("odd-codes");
  set.code.push_back({"30,\"1", true});
  for (const char* code : {"30,\"101", "40\r\n", "5 ", "6\""}) set.code.push_back({code, false});
  return set;
}

class ServerRecordTest : public ::testing::Test {
 protected:
  CliRun run(const std::string& command) {
    return testing::runCli({command, "--server", server_.serverName(), "--database", kDatabase},
                           folder_.path(), {{"LEAFWARD_SA_PASSWORD", "right"}}, true);
  }
  record::RecordReading record() const {
    return record::readRecord((folder_.path() / "repairs").string(),
                              record::AccountSet::serverDatabase(server_.serverName(), kDatabase));
  }
  std::vector<CodeRow> rows() const { return server_.accountSet(kDatabase).code; }

  testing::TempDir folder_;
  TdsStandIn server_{"right"};
};

// "code before after" for each row whose flag differs, in table order.
std::multiset<std::string> changed(const std::vector<CodeRow>& before,
                                   const std::vector<CodeRow>& after) {
  std::multiset<std::string> codes;
  for (std::size_t i = 0; i < before.size(); ++i) {
    if (before[i].bend == after[i].bend) continue;
    codes.insert(before[i].ccode.value_or("(null)") + (*before[i].bend ? " 1 0" : " 0 1"));
  }
  return codes;
}

std::multiset<std::string> recorded(const record::Repair& repair) {
  std::multiset<std::string> codes;
  for (const record::Step& step : repair.steps) {
    for (const record::CodeChange& change : step.planned) {
      codes.insert(change.code.value_or("(null)") + (change.before ? " 1 0" : " 0 1"));
    }
  }
  return codes;
}

TEST_F(ServerRecordTest, TheRecordListsExactlyTheCodesTheUpdatesChanged) {
  server_.addDatabase(kDatabase, oddAccountSet());
  const std::vector<CodeRow> before = rows();
  std::vector<std::string> sent;
  bool heldWhileListed = false;
  server_.onStatement([&](const std::string& text, auto&) {
    sent.push_back(text);
    // The update holds the record before it lists the codes: no other repair comes between.
    if (text == testing::kFirstListServer) heldWhileListed = record().repairUnderWay;
  });
  const CliRun update = run("update");
  EXPECT_EQ(update.exitCode, 0) << update.err;
  EXPECT_TRUE(heldWhileListed);
  // Both lists are read before either UPDATE runs; the UPDATEs are sent as ever.
  EXPECT_EQ(sent, (std::vector<std::string>{testing::kFirstListServer, testing::kSecondListServer,
                                            testing::kClearNonLeaf, testing::kSetLeafServer}));
  const auto changes = changed(before, rows());
  ASSERT_EQ(record().repairs.size(), 1u);
  const record::Repair repair = record().repairs[0];
  EXPECT_EQ(recorded(repair), changes);
  EXPECT_TRUE(changes.count("30,\"1 1 0") && changes.count("(null) 0 1") &&
              changes.count("40\r\n 0 1"));
  EXPECT_TRUE(repair.steps[0].exact() && repair.steps[1].exact());
  EXPECT_EQ(repair.accountSet.server, server_.serverName());
  EXPECT_EQ(repair.accountSet.name, kDatabase);

  const CliRun undo = run("undo");
  EXPECT_EQ(undo.exitCode, 0) << undo.err;
  EXPECT_EQ(rows(), before);
  EXPECT_THAT(undo.out, HasSubstr("个非末级科目标志被恢复\n"));
  EXPECT_EQ(undo.out.find("未恢复"), std::string::npos) << undo.out;
  const CliRun history = run("history");
  EXPECT_EQ(history.exitCode, 0) << history.err;
  EXPECT_THAT(history.out, ::testing::EndsWith("已撤销\n"));
}

// The record opens as intended in a CSV reader other than Leafward's (Python's): every field,
// a code with a comma and a quote among them, comes back as it was written.
TEST_F(ServerRecordTest, TheRecordReadsBackThroughACsvReader) {
  server_.addDatabase(kDatabase, oddAccountSet());
  ASSERT_EQ(run("update").exitCode, 0);
  const std::string path = record().path;
  const std::string script =
      "import csv,sys\n"
      "rows=list(csv.reader(open(sys.argv[1],encoding='utf-8-sig',newline='')))\n"
      "print(len(rows[0]),len(rows),rows[0][11])\n"
      "for r in rows[1:]:\n"
      "  if r[1]=='计划': print(repr(r[11]),r[13],r[14],r[18])\n";
  platform::ProcessRun python;
  try {
    python = platform::runProcess({"python3", "-c", script, path});
  } catch (const std::exception&) {
    GTEST_SKIP() << "no python3 to read the CSV with";
  }
  ASSERT_EQ(python.exitCode, 0) << python.err;
  EXPECT_THAT(python.out, ::testing::StartsWith("20 "));
  EXPECT_THAT(python.out, HasSubstr(" 科目代码\n"));
  EXPECT_THAT(python.out, HasSubstr("'30,\"1' 1 0 \n"));
  EXPECT_THAT(python.out, HasSubstr("'40\\r\\n' 0 1 \n"));
  EXPECT_THAT(python.out, HasSubstr("'5 ' 0 1 \n"));
  EXPECT_THAT(python.out, HasSubstr("'' 0 1 科目代码为NULL\n"));
}

// Another program changes the table between the list and the UPDATE: the record says the
// counts differ, and an undo leaves that statement's codes alone rather than guess.
TEST_F(ServerRecordTest, ACountThatDiffersFromItsListIsNotedAndNotUndone) {
  server_.addDatabase(kDatabase, testing::fixtureAccountSet("worked-example"));
  bool added = false;
  server_.onStatement([&](const std::string& text, testing::ServerAccountSet& set) {
    if (text != testing::kClearNonLeaf || added) return;
    set.code.push_back({"10010101", true});  // 100101 now has a longer code, flagged as leaf
    added = true;
  });
  ASSERT_EQ(run("update").exitCode, 0);
  const record::Repair repair = record().repairs.at(0);
  EXPECT_EQ(repair.steps[0].confirmation->count, 4);
  EXPECT_EQ(repair.steps[0].planned.size(), 3u);
  EXPECT_THAT(repair.steps[0].confirmation->note, HasSubstr("更新了 4 行，而更新前读出的是 3 行"));
  EXPECT_TRUE(repair.steps[1].exact());

  const CliRun undo = run("undo");
  EXPECT_EQ(undo.exitCode, 0) << undo.err;
  EXPECT_THAT(undo.out, HasSubstr("\n如下非末级科目标志的修复记录与更新的行数不符，未恢复："
                                  "1001,1002,100202\n有 1个末级科目标志被恢复\n"));
  const std::vector<CodeRow> expected = {{"1001", false},   {"100101", false}, {"1002", false},
                                         {"100201", false}, {"100202", false}, {"10020201", true},
                                         {"10010101", true}};
  EXPECT_EQ(rows(), expected);
}

// An undo whose table changes half way through one kind of flag rolls that kind back whole;
// the other kind, a transaction of its own, is put back. The undo that failed in part is taken
// up again: the next one puts back the rest of the same repair.
TEST_F(ServerRecordTest, AnUndoChangesEachKindOfFlagInOneTransaction) {
  server_.addDatabase(kDatabase, testing::fixtureAccountSet("worked-example"));
  const std::vector<CodeRow> original = rows();
  ASSERT_EQ(run("update").exitCode, 0);
  const std::vector<CodeRow> repaired = rows();
  int byCode = 0;
  server_.onStatement([&](const std::string& text, testing::ServerAccountSet& set) {
    if (text == testing::kSetFlagByCode && ++byCode == 2) set.code[2].bend = true;  // 1002
  });
  const CliRun undo = run("undo");
  EXPECT_EQ(undo.exitCode, 2);
  EXPECT_THAT(undo.out,
              HasSubstr("\n非末级科目标志未能恢复：记录在读取后已被其他程序修改\n有 1个末级"
                        "科目标志被恢复\n"));
  EXPECT_TRUE(testing::oneLine(undo.err)) << undo.err;
  std::vector<CodeRow> expected = repaired;
  expected[3].bend = false;  // 100201, the leaf flag put back
  EXPECT_EQ(rows(), expected);
  const record::Repair undone = record().repairs.at(1);
  EXPECT_TRUE(undone.steps[0].confirmation->failed);
  EXPECT_EQ(undone.steps[1].confirmation->count, 1);

  // The next undo takes up that undo: 1002, whose statement failed, now holds what the repair
  // found by another hand, and counts as put back; the rest is put back, and that is the undo.
  bool byHand = false;
  server_.onStatement([&](const std::string&, testing::ServerAccountSet& set) {
    if (!std::exchange(byHand, true)) set.code[2].bend = true;
  });
  const CliRun again = run("undo");
  EXPECT_EQ(again.exitCode, 0) << again.err;
  EXPECT_THAT(again.out, HasSubstr("续做中断的撤销 " + undone.id));
  EXPECT_THAT(again.out, ::testing::EndsWith("\n有 2个非末级科目标志被恢复\n"));
  EXPECT_EQ(rows(), original);
  const CliRun history = run("history");
  EXPECT_THAT(history.out, ::testing::EndsWith("已撤销\n"));
  EXPECT_THAT(history.out, HasSubstr("已完成（中断后续做）\n"));
  // Next, the undo is the last repair, and is put back.
  EXPECT_THAT(run("undo").out, HasSubstr("撤销 " + undone.id + " 的撤销"));
  EXPECT_EQ(rows(), repaired);
}

// A code is all that names a row on SQL Server. Every row of a code the repair changed whole is
// put back; a code that more rows hold with the repaired flag than the repair changed is listed
// and left alone, whichever rows they are.
TEST_F(ServerRecordTest, AnUndoPutsBackACodeOnlyWhereItsRowsAddUp) {
  testing::ServerAccountSet set = testing::fixtureAccountSet("worked-example");
  set.code.push_back({"1001", true});   // 1001 twice, both wrong: both repaired
  set.code.push_back({"1002", false});  // 1002 twice, one already right: repaired in part
  server_.addDatabase(kDatabase, set);
  const std::vector<CodeRow> original = rows();
  ASSERT_EQ(run("update").exitCode, 0);
  const CliRun undo = run("undo");
  EXPECT_EQ(undo.exitCode, 0) << undo.err;
  EXPECT_THAT(undo.out, HasSubstr("\n有 3个非末级科目标志被恢复\n如下非末级科目标志由多行共用，"
                                  "无法确定修复改动的是哪几行，未恢复：1002\n"));
  std::vector<CodeRow> expected = original;
  expected[2].bend = false;  // 1002 left as the repair made it
  EXPECT_EQ(rows(), expected);
}

// An undo stopped before its statements ran, taken up after another program gave one of its
// codes the flag it was to put back, on more rows than it planned: the code is listed, not
// taken for done, and not put back again when that undo is undone.
TEST_F(ServerRecordTest, ATakenUpUndoListsACodeBackOnMoreRowsThanItPlanned) {
  server_.addDatabase(kDatabase, testing::fixtureAccountSet("worked-example"));
  ASSERT_EQ(run("update").exitCode, 0);
  // The undo written down, then stopped before it ran.
  const record::Repair update = record().repairs.at(0);
  {
    record::RecordFile book = record::RecordFile::openForRepair(
        (folder_.path() / "repairs").string(),
        record::AccountSet::serverDatabase(server_.serverName(), kDatabase));
    record::Repair undo;
    undo.undoes = update.id;
    for (const record::Step& step : update.steps) {
      std::vector<record::CodeChange> back;
      for (const record::CodeChange& change : step.planned) {
        back.push_back({change.code, change.after, change.before});
      }
      undo.steps.push_back({step.direction, "s", back});
    }
    book.begin(undo);
  }
  server_.onStatement([&](const std::string&, testing::ServerAccountSet& set) {
    if (set.code.size() > 6) return;
    set.code[0].bend = true;             // 1001 back as the repair found it...
    set.code.push_back({"1001", true});  // ...and on a row it never had
  });
  const CliRun taken = run("undo");
  EXPECT_EQ(taken.exitCode, 0) << taken.err;
  EXPECT_THAT(taken.out, HasSubstr("续做中断的撤销"));
  EXPECT_THAT(taken.out, HasSubstr("如下非末级科目标志已被改动或已不存在，未续做：1001\n"));
  const record::Repair undone = record().repairs.at(1);
  ASSERT_EQ(undone.steps[0].takeUps.size(), 1u);
  EXPECT_EQ(undone.steps[0].takeUps[0].leftAlone,
            (std::vector<record::CodeChange>{{"1001", false, true}}));
}

}  // namespace
}  // namespace leafward::cli
