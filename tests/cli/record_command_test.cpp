// leafward-cli update, undo and history with the record of repairs, on Access files: every
// change written down before it is made, put back byte for byte, and a record that cannot be
// trusted or written refused before anything changes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <thread>

#include "cli_run.h"
#include "connection/shared_connection.h"
#include "dataaccess/connection.h"
#include "record/record_file.h"
#include "support/files.h"

namespace leafward::cli {
namespace {

namespace fs = std::filesystem;
using testing::CliRun;
using testing::FixtureCopy;
using ::testing::HasSubstr;
using testing::readBytes;
using testing::runCli;

// Where runCli keeps the records of the account sets in `folder`.
std::string recordsIn(const fs::path& folder) {
  return (folder / "repairs").string();
}

record::RecordReading recordOf(const std::string& file) {
  return record::readRecord(recordsIn(fs::path(file).parent_path()),
                            record::AccountSet::accessFile(file));
}

CliRun command(const std::string& name, const std::string& file) {
  return runCli({name, file}, fs::path(file).parent_path());
}

// Every row's code and flag as the reader sees them, in table order.
std::vector<std::string> codeRows(const std::string& file) {
  const CliRun run =
      runCli({"query", file, "SELECT ccode, bend FROM code"}, fs::path(file).parent_path());
  std::vector<std::string> lines;
  std::istringstream in(run.out);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The codes whose flag differs between two readings, as the record lists them ("code 1 0").
std::multiset<std::string> changedCodes(const std::vector<std::string>& before,
                                        const std::vector<std::string>& after) {
  std::multiset<std::string> changed;
  for (std::size_t i = 0; i < before.size() && i < after.size(); ++i) {
    if (before[i] == after[i]) continue;
    const auto tab = before[i].find('\t');
    changed.insert(before[i].substr(0, tab) + " " +
                   (before[i].substr(tab + 1) == "0" ? "0 1" : "1 0"));
  }
  return changed;
}

std::multiset<std::string> recordedCodes(const record::Repair& repair) {
  std::multiset<std::string> codes;
  for (const record::Step& step : repair.steps) {
    for (const record::CodeChange& change : step.planned) {
      codes.insert(change.code.value_or("") + " " + (change.before ? "1" : "0") + " " +
                   (change.after ? "1" : "0"));
    }
  }
  return codes;
}

class UndoAfterUpdateTest : public ::testing::TestWithParam<std::string> {};

// The record lists exactly the flags the update changed; undo puts each back, and the file is
// again what it was, byte for byte. An update that was refused, or found nothing, leaves
// nothing to undo.
TEST_P(UndoAfterUpdateTest, ReturnsTheFileByteForByte) {
  FixtureCopy copy(fs::path(GetParam()).filename().string());
  const auto original = readBytes(copy.path());
  const auto rowsBefore = codeRows(copy.path());
  const CliRun update = command("update", copy.path());
  const auto repaired = readBytes(copy.path());
  const auto changed = changedCodes(rowsBefore, codeRows(copy.path()));
  const record::RecordReading reading = recordOf(copy.path());

  const CliRun undo = command("undo", copy.path());
  EXPECT_EQ(undo.exitCode, 0) << undo.err;
  EXPECT_EQ(readBytes(copy.path()), original);
  EXPECT_FALSE(fs::exists(copy.path() + ".leafward-journal"));
  const CliRun history = command("history", copy.path());
  EXPECT_EQ(history.exitCode, 0) << history.err;
  if (changed.empty()) {
    EXPECT_EQ(undo.out, "\n没有可以撤销的修复\n");
    // A refused update is on record, with why; one that found nothing is not.
    EXPECT_EQ(reading.repairs.size(), update.exitCode == 0 ? 0u : 1u);
    return;
  }
  EXPECT_EQ(update.exitCode, 0) << update.err;
  ASSERT_EQ(reading.repairs.size(), 1u);
  const record::Repair& repair = reading.repairs[0];
  EXPECT_EQ(recordedCodes(repair), changed);
  EXPECT_TRUE(repair.steps[0].exact() && repair.steps[1].exact());
  EXPECT_THAT(undo.out, HasSubstr("撤销 " + repair.id + " 的修复"));
  EXPECT_EQ(history.out.substr(history.out.find('\n') + 1),
            repair.id + " " + repair.user + "@" + repair.computer + " 修复：非末级科目标志 " +
                std::to_string(repair.steps[0].planned.size()) + "个，末级科目标志 " +
                std::to_string(repair.steps[1].planned.size()) + "个，已撤销\n");
  EXPECT_THAT(history.out, HasSubstr(" 撤销 " + repair.id + "："));
  // The undo is a repair of its own: undoing it repairs the file again, and so on.
  EXPECT_EQ(command("undo", copy.path()).exitCode, 0);
  EXPECT_EQ(readBytes(copy.path()), repaired);
  EXPECT_EQ(command("undo", copy.path()).exitCode, 0);
  EXPECT_EQ(readBytes(copy.path()), original);
}

INSTANTIATE_TEST_SUITE_P(AccountSets, UndoAfterUpdateTest,
                         ::testing::ValuesIn(testing::fixturesIn("account-sets")),
                         [](const auto& info) { return testing::testName(info.param); });

// A code changed by hand between the repair and the undo keeps the hand's value and is listed;
// the others are put back.
TEST(UndoTest, ACodeChangedSinceTheRepairIsLeftAloneAndListed) {
  FixtureCopy copy("worked-example.mdb");
  const auto original = readBytes(copy.path());
  ASSERT_EQ(command("update", copy.path()).exitCode, 0);
  {
    dataaccess::Connection connection;
    connection.open(connection::accessConnectionString(copy.path()));
    connection.execute("update code Set [bend] = true where ccode = '1002'");
  }
  const record::Repair repair = recordOf(copy.path()).repairs.at(0);
  const CliRun undo = command("undo", copy.path());
  EXPECT_EQ(undo.exitCode, 0) << undo.err;
  EXPECT_EQ(undo.out, "\n撤销 " + repair.id + " 的修复（" + repair.user + "，" + repair.computer +
                          "）\n有 2个非末级科目标志被恢复\n如下非末级科目标志在修复后已被改动或"
                          "已不存在，未恢复：1002\n有 1个末级科目标志被恢复\n");
  // 1002 was set by hand to what it held before the repair: the file is as it was.
  EXPECT_EQ(readBytes(copy.path()), original);
  const record::Repair undone = recordOf(copy.path()).repairs.at(1);
  EXPECT_EQ(undone.undoes, repair.id);
  EXPECT_EQ(recordedCodes(undone),
            (std::multiset<std::string>{"1001 0 1", "100202 0 1", "100201 1 0"}));
}

// A code held by two rows, one of them repaired: the record names the very row, so that undo
// gives the file back byte for byte and, once another program has set that row back, leaves it
// and the other row alone.
TEST(UndoTest, OfACodeHeldByTwoRowsTouchesOnlyTheRowTheRepairChanged) {
  FixtureCopy copy("odd-codes.mdb");  // 1001 is held by two rows, both leaf and flagged so
  const auto setFirst1001 = [&](bool from, bool to) {
    dataaccess::Connection connection;
    connection.open(connection::accessConnectionString(copy.path()));
    const auto plan = connection.planUpdate(
        std::string("update code set bend = ") + (to ? "true" : "false") + " where ccode = '1001'",
        "ccode");
    ASSERT_EQ(plan->changes().size(), 2u);
    EXPECT_EQ(connection.setFlagsByKey(
                  {"code", "ccode", "bend", {{"1001", from, to, 1, plan->changes()[0].row}}}),
              1);
  };
  setFirst1001(true, false);
  const auto original = readBytes(copy.path());
  ASSERT_EQ(command("update", copy.path()).exitCode, 0);
  const auto repaired = readBytes(copy.path());
  EXPECT_EQ(codeRows(copy.path())[4], "1001\t-1");
  ASSERT_EQ(command("undo", copy.path()).exitCode, 0);
  EXPECT_EQ(readBytes(copy.path()), original);
  ASSERT_EQ(command("undo", copy.path()).exitCode, 0);
  EXPECT_EQ(readBytes(copy.path()), repaired);

  // Another program sets the repaired row back: undo leaves it, and the other 1001, alone.
  setFirst1001(true, false);
  const CliRun undo = command("undo", copy.path());
  EXPECT_EQ(undo.exitCode, 0) << undo.err;
  EXPECT_THAT(undo.out, HasSubstr("如下末级科目标志在修复后已被改动或已不存在，未恢复：1001\n"));
  const std::vector<std::string> rows = codeRows(copy.path());
  EXPECT_EQ(rows[4], "1001\t0");
  EXPECT_EQ(rows[5], "1001\t-1");
}

// A record that was edited, cut short or is not Leafward's is never trusted: undo and history
// refuse it with the reason, and update refuses to add to it, changing nothing.
TEST(RecordRefusalTest, ARecordThatCannotBeTrustedOrWrittenChangesNothing) {
  FixtureCopy copy("worked-example.mdb");
  const auto original = readBytes(copy.path());
  ASSERT_EQ(command("update", copy.path()).exitCode, 0);
  const std::string path = recordOf(copy.path()).path;
  const std::string good = testing::readFile(path);
  const auto repaired = readBytes(copy.path());
  std::string edited = good;
  edited.replace(edited.find(",1002,"), 6, ",1003,");
  struct Damage {
    std::string bytes;
    const char* reason;
    bool anchored = true;
  };
  const std::string anchor = testing::readFile(record::anchorPath(path));
  for (const Damage& damage :
       {Damage{edited, "its checksum does not match"},
        Damage{good.substr(0, good.find("\r\n", good.find(",计划,")) + 2), "has been cut short"},
        Damage{"", "has been cut short: it holds 0 bytes"},
        Damage{"\xEF\xBB\xBF"
               "code,bend\r\n1001,0\r\n",
               "is not a record of repairs", false}}) {
    SCOPED_TRACE(damage.reason);
    if (damage.anchored) {
      testing::writeBytes(record::anchorPath(path),
                          std::vector<std::uint8_t>(anchor.begin(), anchor.end()));
    } else {
      fs::remove(record::anchorPath(path));
    }
    testing::writeBytes(path, std::vector<std::uint8_t>(damage.bytes.begin(), damage.bytes.end()));
    testing::writeBytes(copy.path(), repaired);
    const CliRun undo = command("undo", copy.path());
    EXPECT_EQ(undo.exitCode, 2);
    EXPECT_THAT(undo.out, HasSubstr("\n无法撤销：" + path));
    EXPECT_THAT(undo.err, HasSubstr(damage.reason));
    EXPECT_TRUE(testing::oneLine(undo.err)) << undo.err;
    EXPECT_EQ(readBytes(copy.path()), repaired);
    const CliRun history = command("history", copy.path());
    EXPECT_EQ(history.exitCode, 2);
    EXPECT_EQ(history.out, "");
    EXPECT_THAT(history.err, HasSubstr(damage.reason));

    testing::writeBytes(copy.path(), original);
    const CliRun update = command("update", copy.path());
    EXPECT_EQ(update.exitCode, 2);
    EXPECT_THAT(update.out, HasSubstr("\n未能写入修复记录，没有更新任何科目标志："));
    EXPECT_THAT(update.err, HasSubstr(damage.reason));
    EXPECT_EQ(readBytes(copy.path()), original);
    EXPECT_EQ(testing::readFile(path), damage.bytes);
  }

  // No folder can be made where the record should go: nothing changes, unless asked to run
  // without a record.
  const std::string blocked = (copy.dir() / "blocked").string();
  testing::writeBytes(blocked, {'x'});
  const testing::Environment elsewhere = {{"LEAFWARD_RECORD_DIR", blocked + "/repairs"}};
  const CliRun refused = runCli({"update", copy.path()}, copy.dir(), elsewhere);
  EXPECT_EQ(refused.exitCode, 2);
  EXPECT_EQ(refused.out,
            "\n未能写入修复记录，没有更新任何科目标志：cannot write the record of "
            "repairs: " +
                refused.err.substr(refused.err.find("cannot make")));
  EXPECT_EQ(readBytes(copy.path()), original);
  const CliRun unrecorded = runCli({"update", "--no-record", copy.path()}, copy.dir(), elsewhere);
  EXPECT_EQ(unrecorded.exitCode, 0) << unrecorded.err;
  EXPECT_EQ(unrecorded.out, "\n有 3个非末级科目标志被更新\n有 1个末级科目标志被更新\n");
}

TEST(RecordUsageTest, UndoAndHistoryTakeExactlyOneAccountSet) {
  const testing::TempDir folder;
  for (const std::vector<std::string>& args : {std::vector<std::string>{"undo", "a.mdb", "b.mdb"},
                                               {"undo", "--server", "x", "--all-databases"},
                                               {"undo"},
                                               {"history", "--code-page", "936", "a.mdb"},
                                               {"history", "a.mdb", "b.mdb"}}) {
    const CliRun run = runCli(args, folder.path());
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_THAT(run.err, HasSubstr("usage: leafward-cli " + args[0] + " "));
  }
}

// Two processes repairing two account sets at once, both making the record folder: each
// record is complete.
TEST(RecordConcurrencyTest, TwoRepairsAtOnceBothKeepCompleteRecords) {
  for (int round = 0; round < 3; ++round) {
    testing::TempDir dir;
    const std::string first = dir.copyFixture("account-sets/worked-example.mdb");
    const std::string second = dir.copyFixture("account-sets/realistic-5k.mdb");
    const testing::Environment shared = {
        {"LEAFWARD_RECORD_DIR", (dir.path() / "new" / "repairs").string()}};
    CliRun runs[2];
    std::thread other([&] { runs[1] = runCli({"update", second}, dir.path(), shared); });
    runs[0] = runCli({"update", first}, dir.path(), shared);
    other.join();
    for (const auto& [run, file] : {std::pair{&runs[0], first}, {&runs[1], second}}) {
      EXPECT_EQ(run->exitCode, 0) << run->err;
      const CliRun history = runCli({"history", file}, dir.path(), shared);
      EXPECT_EQ(history.exitCode, 0) << history.err;
      EXPECT_THAT(history.out, ::testing::EndsWith("，已完成\n"));
      EXPECT_EQ(std::count(history.out.begin(), history.out.end(), '\n'), 1);
    }
  }
}

}  // namespace
}  // namespace leafward::cli
