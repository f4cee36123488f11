// The rows of a record: what is written reads back the same, in either layout and in a file
// that holds both; the files Leafward 0.1.0 wrote read as they did; and a file that was edited,
// cut short or belongs elsewhere is refused with the line and the reason.
#include "record/record_rows.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "record/repair_states.h"
#include "support/files.h"

namespace leafward::record {
namespace {

using ::testing::HasSubstr;

const AccountSet kSet = AccountSet::serverDatabase("127.0.0.1,1433", "pelkor_001_2024");
constexpr const char* kClear = "update code Set [bend] = 0 where ...";
constexpr const char* kSet1 = "update code Set [bend] = 1 where ...";

// A take-up by another user of the statement that failed, leaving `leftAlone` alone.
TakeUp laterTakeUp(std::vector<CodeChange> leftAlone) {
  TakeUp takeUp;
  takeUp.time = "2025-03-14T10:00:00.000+08:00";
  takeUp.user = "李四";
  takeUp.computer = "PC-2";
  takeUp.version = "0.2.0";
  takeUp.confirmation.count = 1;
  takeUp.leftAlone = std::move(leftAlone);
  return takeUp;
}

Repair update() {
  Repair repair;
  repair.id = "2025-03-14T09:26:53.589+08:00";
  repair.user = "张三";
  repair.computer = "PC-1";
  repair.version = "0.2.0";
  repair.accountSet = kSet;
  repair.steps = {
      {Direction::NonLeaf, kClear, {{"1001", true, false, "12:3"}, {"10,\"1", true, false}}},
      {Direction::Leaf, kSet1, {{std::nullopt, false, true}, {"", false, true, "9:0"}}}};
  return repair;
}

// A whole file: BOM, header, the repair, its confirmations, a take-up of its second statement
// that left a row alone, and when asked an undo of it begun.
std::string fileText(bool withUndo = false) {
  RowWriter writer = RowWriter::afterHeader();
  Repair repair = update();
  std::string text = std::string(kByteOrderMark) + headerLine() + writer.beginning(repair);
  repair.steps[0].confirmation = Confirmation{false, 2, {}};
  text += writer.confirmation(repair, 0);
  repair.steps[1].confirmation = Confirmation{true, 0, "文件正被其他程序使用, \"locked\""};
  text += writer.confirmation(repair, 1);
  text += writer.takeUp(repair, 1, laterTakeUp({repair.steps[1].planned[0]}));
  if (withUndo) {
    Repair undo;
    undo.id = "2025-03-14T10:30:00.000+08:00";
    undo.accountSet = kSet;
    undo.undoes = repair.id;
    undo.steps = {{Direction::NonLeaf, "by key", {{"1001", false, true, "12:3"}}}};
    text += writer.beginning(undo);
  }
  return text;
}

std::vector<Repair> read(const std::string& text, Ending ending = Ending::Whole) {
  return readRecordText(text, kSet, "rec.csv", ending).repairs;
}

std::string refusal(const std::string& text) {
  try {
    read(text);
  } catch (const RecordError& error) {
    return error.what();
  }
  return "(read)";
}

// The text with line `number` (from 1, the header's) replaced.
std::string withLine(const std::string& text, std::size_t number, const std::string& line) {
  std::size_t start = 0;
  for (std::size_t i = 1; i < number; ++i) start = text.find("\r\n", start) + 2;
  const std::size_t end = text.find("\r\n", start) + 2;
  return text.substr(0, start) + line + text.substr(end);
}

std::string legacyFile(const char* name) {
  return testing::readFile(std::string(LEAFWARD_FIXTURES_DIR) + "/records-0.1.0/" + name);
}

// The checksum of every row, in either layout, is FNV-1a (64 bits) over the checksum of the
// row before and each field, each followed by 0x1F; the header's over its own fields alone.
TEST(RecordRowsTest, ChecksumsAreTheKnownAnswers) {
  EXPECT_EQ(rowChecksum("", {"a", "b"}, 2), "a1e3237d91795089");
  EXPECT_EQ(rowChecksum("0123456789abcdef", {"修复", "1001", "unused"}, 2), "dd7c82298d0405dd");
  EXPECT_EQ(rowChecksum("", {}, 0), "af63d24c8601db8e");
  // The header of layout 1, byte for byte as Leafward 0.1.0 wrote it.
  EXPECT_TRUE(legacyFile("odd-codes-update.csv")
                  .starts_with(std::string(kByteOrderMark) + headerLine(Layout::One)));
  EXPECT_EQ(
      headerLine(Layout::Two),
      "修复编号,记录,时间,用户,计算机,版本,服务器,账套,撤销的修复,步骤,标志,科目代码,行,修复前,"
      "修复后,语句,行数,结果,说明,校验\r\n");
}

TEST(RecordRowsTest, WhatIsWrittenReadsBackTheSame) {
  const std::vector<Repair> repairs = read(fileText(true), Ending::UnderWay);
  ASSERT_EQ(repairs.size(), 2u);
  Repair expected = update();
  expected.steps[0].confirmation = Confirmation{false, 2, {}};
  expected.steps[1].confirmation = Confirmation{true, 0, "文件正被其他程序使用, \"locked\""};
  expected.steps[1].takeUps = {laterTakeUp({{std::nullopt, false, true}})};
  EXPECT_EQ(repairs[0], expected);
  EXPECT_TRUE(settled(repairs[0]));
  EXPECT_EQ(repairs[1].undoes, expected.id);
  EXPECT_EQ(repairs[1].steps[0].planned, (std::vector<CodeChange>{{"1001", false, true, "12:3"}}));
  EXPECT_FALSE(repairs[1].finished());
  // Server and database names are compared without regard to case.
  EXPECT_EQ(
      readRecordText(fileText(), AccountSet::serverDatabase("127.0.0.1,1433", "PELKOR_001_2024"),
                     "rec.csv")
          .repairs.size(),
      1u);
  // Nothing, or a header cut short: no repairs yet, and the header is to be written again.
  for (const std::string& start : {std::string(), std::string(kByteOrderMark) + "修复编号,记录"}) {
    const RecordContents empty = readRecordText(start, kSet, "rec.csv");
    EXPECT_TRUE(empty.repairs.empty());
    EXPECT_TRUE(empty.headerIncomplete);
  }
  // The rows from any repair's first row on read alone the same, from where the whole read
  // found it.
  const std::string text = fileText(true);
  const RecordContents whole = readRecordText(text, kSet, "rec.csv", Ending::UnderWay);
  ASSERT_EQ(whole.places.size(), 2u);
  EXPECT_EQ(whole.places[0].offset, kByteOrderMark.size() + headerLine().size());
  const std::string complete = fileText();
  const RecordContents tail = readRecordRows(
      std::string_view(complete).substr(whole.places[0].offset), whole.places[0], kSet, "rec.csv");
  EXPECT_EQ(tail.repairs, read(complete));
  EXPECT_EQ(tail.checksum, readRecordText(complete, kSet, "rec.csv").checksum);
  EXPECT_EQ(tail.places, std::vector<EntryPlace>{whole.places[0]});
}

// Files written by Leafward 0.1.0 (tests/data/records-0.1.0) read as they did: every repair
// with its codes, counts and states. A repair written after them goes on in layout 2.
TEST(RecordRowsTest, RecordsOfLeafward010ReadAsTheyDidAndGoOnInLayout2) {
  const AccountSet worked{{}, "/tmp/lw-legacy/sets/worked-example.mdb"};
  const std::string old = legacyFile("worked-example-update-undo-update.csv");
  const RecordContents contents = readRecordText(old, worked, "old.csv");
  EXPECT_EQ(contents.layout, Layout::One);
  const std::vector<Repair>& repairs = contents.repairs;
  ASSERT_EQ(repairs.size(), 3u);
  EXPECT_EQ(repairs[0].id, "2026-12-07T18:47:02.336+00:00");
  EXPECT_EQ(repairs[0].version, "0.1.0");
  EXPECT_EQ(repairs[1].undoes, repairs[0].id);
  ASSERT_EQ(repairs[0].steps.size(), 2u);
  EXPECT_EQ(repairs[0].steps[0].planned,
            (std::vector<CodeChange>{
                {"1001", true, false}, {"1002", true, false}, {"100202", true, false}}));
  EXPECT_EQ(repairs[0].steps[1].planned, (std::vector<CodeChange>{{"100201", false, true}}));
  EXPECT_EQ(repairs[0].steps[0].statement,
            "update code Set [bend] = 0  where exists (SELECT  * FROM [code] p where p.ccode "
            "like code.ccode+'_%') and [bend]<>0");
  EXPECT_EQ(repairs[0].steps[0].confirmation, (Confirmation{false, 3, {}}));
  EXPECT_EQ(stateOf(repairs, 0, false), RepairState::Undone);
  EXPECT_EQ(stateOf(repairs, 1, false), RepairState::Done);
  EXPECT_EQ(stateOf(repairs, 2, false), RepairState::Done);
  EXPECT_EQ(repairToUndo(repairs), 2u);

  const std::vector<Repair> odd =
      readRecordText(legacyFile("odd-codes-update.csv"), {{}, "/tmp/lw-legacy/sets/odd-codes.mdb"},
                     "old.csv")
          .repairs;
  ASSERT_EQ(odd.size(), 1u);
  EXPECT_EQ(odd[0].steps[0].confirmation->count, 4);
  EXPECT_EQ(odd[0].steps[1].planned, (std::vector<CodeChange>{{std::nullopt, false, true}}));

  // Layout 2 after them, behind the row that switches.
  RowWriter writer(contents.checksum);
  Repair next = update();
  next.id = "2026-12-07T19:00:00.000+00:00";
  next.accountSet = worked;
  std::string mixed = old + writer.layoutSwitch("0.2.0");
  const EntryPlace place{mixed.size(), writer.checksum()};
  mixed += writer.beginning(next);
  const RecordContents both = readRecordText(mixed, worked, "old.csv", Ending::UnderWay);
  EXPECT_EQ(both.layout, Layout::Two);
  ASSERT_EQ(both.repairs.size(), 4u);
  EXPECT_EQ(both.repairs[3].steps[0].planned, next.steps[0].planned);
  EXPECT_EQ(both.places[3], place);
  // A row of layout 1 after the switch, or a second switch, is not Leafward's.
  const auto refused = [&](const std::string& text) {
    try {
      readRecordText(text, worked, "old.csv");
    } catch (const RecordError& error) {
      return std::string(error.what());
    }
    return std::string("(read)");
  };
  RowWriter again = writer;
  EXPECT_THAT(refused(old + RowWriter(contents.checksum).row({"x"})),
              HasSubstr("line 23: it has 20 fields, not 18"));
  EXPECT_THAT(refused(mixed + again.layoutSwitch("0.2.0")), HasSubstr("it has 18 fields, not 20"));
}

TEST(RecordRowsTest, AnyEditOrForeignFileIsRefused) {
  const std::string good = fileText();
  // Each field of each row changed, or text moved from one field into the next: the row's
  // checksum no longer matches.
  std::size_t lineStart = kByteOrderMark.size() + headerLine().size(), line = 2;
  for (; lineStart < good.size(); ++line) {
    const std::size_t lineEnd = good.find("\r\n", lineStart);
    const std::string row = good.substr(lineStart, lineEnd - lineStart);
    for (std::size_t comma = row.find(','); comma != std::string::npos;
         comma = row.find(',', comma + 1)) {
      if (comma == 0 || row[comma - 1] == ',' || row[comma - 1] == '"' || row[comma + 1] == '"') {
        continue;
      }
      std::string moved = row;
      std::swap(moved[comma - 1], moved[comma]);  // the last character into the next field
      EXPECT_THAT(refusal(withLine(good, line, moved + "\r\n")),
                  HasSubstr("line " + std::to_string(line) + ": its checksum does not match"))
          << moved;
      std::string changed = row;
      changed[comma - 1] = changed[comma - 1] == 'x' ? 'y' : 'x';
      EXPECT_THAT(refusal(withLine(good, line, changed + "\r\n")), HasSubstr("does not match"))
          << changed;
    }
    lineStart = lineEnd + 2;
  }
  struct Case {
    std::string text;
    const char* reason;
  };
  const Case cases[] = {
      {withLine(good, 3, "\r\n"), "rec.csv is damaged at line 3: it has 1 fields, not 20"},
      // A row removed: the next one no longer chains on.
      {withLine(good, 4, ""), "rec.csv is damaged at line 4: its checksum does not match"},
      {good.substr(3), "rec.csv is not a record of repairs written by Leafward (no byte-order"},
      {std::string(kByteOrderMark) + "code,bend\r\n1001,1\r\n",
       "rec.csv is not a record of repairs written by Leafward (its first row is not"},
      {good + "x\"y\r\n", "a quote stands inside"},
      {good.substr(0, good.size() - 2), "rec.csv is damaged: it ends inside a row"},
  };
  for (const Case& c : cases) EXPECT_THAT(refusal(c.text), HasSubstr(c.reason)) << c.text;

  // The repairs of another account set are not taken for this one's.
  try {
    readRecordText(good, AccountSet::serverDatabase("127.0.0.1,1433", "pelkor_002_2024"), "x.csv");
    ADD_FAILURE() << "read";
  } catch (const RecordError& error) {
    EXPECT_THAT(error.what(), HasSubstr("x.csv records the repairs of another account set "
                                        "(pelkor_001_2024 on 127.0.0.1,1433)"));
  }
  EXPECT_EQ(firstAccountSet(good, "x.csv"), kSet);
  EXPECT_EQ(firstAccountSet(std::string(kByteOrderMark) + headerLine(), "x.csv"), std::nullopt);
  EXPECT_THROW(firstAccountSet("code,bend\r\n", "x.csv"), RecordError);
}

// What a writer leaves when it is stopped: passed over only in a file of 0.1.0, which has no
// anchor to tell it from a cut; a repair writing the file now may still lack codes.
TEST(RecordRowsTest, RowsLeftUnfinishedArePassedOverOnlyWhereAskedTo) {
  const std::string first = fileText();
  const std::string good = fileText(true);
  const RecordContents kept = readRecordText(first, kSet, "rec.csv");
  // Cut inside the undo's last row, inside its first, and after its statement's row, before its
  // only code.
  const std::string beforeLastRow = good.substr(0, good.rfind("\r\n", good.size() - 3) + 2);
  for (const auto& [torn, whileWritten] : {std::pair{good.substr(0, good.size() - 2), 2u},
                                           {first + good.substr(first.size(), 60), 1u},
                                           {beforeLastRow, 2u}}) {
    const RecordContents contents = readRecordText(torn, kSet, "rec.csv", Ending::Mend);
    EXPECT_EQ(contents.repairs.size(), 1u);
    EXPECT_EQ(contents.wholeSize, first.size());
    EXPECT_EQ(contents.checksum, kept.checksum);
    EXPECT_EQ(read(torn, Ending::UnderWay).size(), whileWritten);
    EXPECT_THAT(refusal(torn), HasSubstr("rec.csv is damaged"));
  }
  EXPECT_THAT(refusal(beforeLastRow),
              HasSubstr("the repair 2025-03-14T10:30:00.000+08:00 lists 0 of its 1"));
  EXPECT_EQ(read(good).size(), 2u);

  // Bytes after a row are an append that was stopped when they chain onto it.
  const std::string_view after = std::string_view(good).substr(first.size());
  const std::string checksum = kept.checksum;
  EXPECT_TRUE(rowsChainOn("", checksum));
  EXPECT_TRUE(rowsChainOn(after, checksum));
  EXPECT_TRUE(rowsChainOn(after.substr(0, after.size() - 5), checksum));
  EXPECT_FALSE(rowsChainOn(after, RowWriter::afterHeader().checksum()));
  EXPECT_FALSE(rowsChainOn("x\r\n", checksum));
  EXPECT_FALSE(rowsChainOn(std::string(after) + "x\"y\r\n", checksum));
}

// Rows that chain correctly but do not fit together are refused too.
TEST(RecordRowsTest, RowsThatDoNotFitTheRepairAreRefused) {
  const std::string id = "2025-03-14T09:26:53.589+08:00";
  using Row = std::vector<std::string>;
  // The repair's first row (2 statements, `codes` codes), then `rows`, all chained.
  const auto record = [&](const std::string& codes, std::vector<Row> rows,
                          const std::string& directions = "非末级/末级") {
    RowWriter writer = RowWriter::afterHeader();
    std::string text = std::string(kByteOrderMark) + headerLine();
    text += writer.row({id, "修复", "", "u", "c", "0.2.0", kSet.server, kSet.name, "", "2",
                        directions, "", "", "", "", "", codes});
    for (Row& row : rows) text += writer.row(std::move(row));
    return text;
  };
  const auto statement = [&](const char* step, const char* direction, const char* rows) {
    return Row{id, "语句", "", "", "", "", "", "", "", step, direction, "", "", "", "", "s", rows};
  };
  const auto planned = [&](const char* step, const char* direction, const char* before,
                           const char* after, const char* note = "", const char* kind = "计划") {
    return Row{id,        kind,   "",    "",     "",    "", "", "", "",  step,
               direction, "1001", "1:2", before, after, "", "", "", note};
  };
  const auto confirmation = [&](const char* step, const char* direction, const char* count) {
    return Row{id,   "确认",    "", "", "", "", "", "",    "",
               step, direction, "", "", "", "", "", count, "完成"};
  };
  const auto takeUp = [&](const char* step, const char* direction, const char* result,
                          const char* time = "2025-03-14T10:00:00.000+08:00") {
    return Row{id,   "续做",    time, "u", "c", "0.2.0", "", "",  "",
               step, direction, "",   "",  "",  "",      "", "1", result};
  };
  const Row first = statement("1", "非末级", "1"), second = statement("2", "末级", "0");
  const Row plan = planned("1", "非末级", "1", "0");
  EXPECT_EQ(read(record("1", {first, plan, second, confirmation("1", "非末级", "1"),
                              confirmation("2", "末级", "0")}))
                .size(),
            1u);
  const std::vector<Repair> takenUp =
      read(record("1", {first, plan, second, planned("1", "非末级", "1", "0", "", "未做"),
                        takeUp("1", "非末级", "完成")}));
  ASSERT_EQ(takenUp.size(), 1u);
  EXPECT_EQ(takenUp[0].steps[0].takeUps.at(0).leftAlone.size(), 1u);
  struct Case {
    std::string text;
    std::string reason;
  };
  const Case cases[] = {
      {record("1", {first, planned("3", "非末级", "1", "0")}), "line 4: '3' is out of range"},
      {record("1", {first, planned("0", "非末级", "1", "0")}), "line 4: it names no statement"},
      {record("1", {first, planned("1", "末级", "1", "0")}), "line 4: its flag differs"},
      {record("1", {first, planned("1", "非末级", "1", "1")}), "line 4: the flag is the same"},
      {record("1", {first, planned("1", "非末级", "1", "-1")}), "line 4: a flag is '-1', not 1"},
      {record("1", {first, planned("1", "非末级", "1", "0", "note")}), "line 4: the note of a"},
      {record("0", {first, plan}), "line 3: its statements list more codes than the repair"},
      {record("1", {plan}), "line 3: a code row does not follow its statement's row"},
      {record("1", {second}), "line 3: its statement comes out of order"},
      {record("2", {first, plan, second, confirmation("1", "非末级", "1")}),
       "line 6: a statement is confirmed before all codes"},
      {record("1", {first, plan, second, confirmation("1", "非末级", "01")}),
       "line 6: '01' is not a count"},
      {record("1", {first, plan, second, confirmation("1", "非末级", "1"),
                    confirmation("1", "非末级", "1")}),
       "line 7: the statement is confirmed a second time"},
      {record("1", {first, plan, second, confirmation("1", "非末级", "1"),
                    takeUp("1", "非末级", "完成")}),
       "line 7: a statement is taken up that needs no take-up"},
      {record("1",
              {first, plan, second, takeUp("1", "非末级", "完成"), confirmation("2", "末级", "0")}),
       "line 7: a statement is confirmed after a take-up"},
      {record("1", {first, plan, second, takeUp("1", "非末级", "完成", "today")}),
       "line 6: 'today' is not a time"},
      {record("1", {first, plan, second, takeUp("1", "非末级", "又做")}),
       "line 6: its result is unknown"},
      {record("1", {first, plan, second, planned("1", "非末级", "1", "0", "", "未做"),
                    takeUp("1", "非末级", "失败")}),
       "line 7: a take-up that changed nothing leaves rows alone"},
      {record("1", {first, plan, second, planned("1", "非末级", "0", "1", "", "未做")}),
       "line 6: a row left alone by a take-up is not one its statement planned"},
      {record("1", {first, plan, second, planned("1", "非末级", "1", "0", "", "未做"),
                    confirmation("1", "非末级", "1")}),
       "line 7: rows left alone by a take-up are not followed by how it ended"},
      {record("2", {first, plan, second}), "the repair " + id + " lists 1 of its 2"},
      {record("1", {}, "非末级"), "line 2: its flags do not name its 2 statements"},
      {record("1", {}, "非末级/末级/末级"), "line 2: its flags do not name its 2 statements"},
      {record("1", {}, "非末级/叶子"), "line 2: '叶子' is not a kind of flag"},
      // A repair no later than the one before it.
      {record("0", {statement("1", "非末级", "0"),
                    statement("2", "末级", "0"),
                    {"2025-03-14T01:26:53.589+00:00", "修复", "", "u", "c", "0.2.0", kSet.server,
                     kSet.name, "", "1", "末级", "", "", "", "", "", "0"}}),
       "line 5: the repair 2025-03-14T01:26:53.589+00:00 is not later than the one before it"},
  };
  for (const Case& c : cases) EXPECT_THAT(refusal(c.text), HasSubstr(c.reason)) << c.reason;

  RowWriter writer = RowWriter::afterHeader();
  const std::string header = std::string(kByteOrderMark) + headerLine();
  EXPECT_THAT(refusal(header + writer.row({"2025-02-30T09:26:53.589+08:00", "修复"})),
              HasSubstr("line 2: '2025-02-30T09:26:53.589+08:00' is not a repair's id"));
  writer = RowWriter::afterHeader();
  EXPECT_THAT(refusal(header + writer.row({id, "计划"})),
              HasSubstr("line 2: it belongs to no repair begun before it"));
  writer = RowWriter::afterHeader();
  EXPECT_THAT(refusal(header + writer.row({id, "修复", "", "", "", "", kSet.server, kSet.name, id,
                                           "1", "末级", "", "", "", "", "", "0"})),
              HasSubstr("line 2: it undoes a repair the record does not hold"));
}

}  // namespace
}  // namespace leafward::record
