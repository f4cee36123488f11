// The rows of a record: what is written reads back the same, and a file that was edited, cut
// short or belongs elsewhere is refused with the line and the reason.
#include "record/record_rows.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace leafward::record {
namespace {

using ::testing::HasSubstr;

const AccountSet kSet = AccountSet::serverDatabase("127.0.0.1,1433", "pelkor_001_2024");
constexpr const char* kClear = "update code Set [bend] = 0 where ...";
constexpr const char* kSet1 = "update code Set [bend] = 1 where ...";

Repair update() {
  Repair repair;
  repair.id = "2025-03-14T09:26:53.589+08:00";
  repair.user = "张三";
  repair.computer = "PC-1";
  repair.version = "0.1.0";
  repair.accountSet = kSet;
  repair.steps = {
      {Direction::NonLeaf, kClear, {{"1001", true, false}, {"10,\"1", true, false}}, {}},
      {Direction::Leaf, kSet1, {{std::nullopt, false, true}, {"", false, true}}, {}}};
  return repair;
}

// The whole file: BOM, header, the repair and its confirmations; an undo of it when asked.
std::string fileText(bool withUndo = false) {
  RowWriter writer = RowWriter::afterHeader();
  Repair repair = update();
  std::string text = std::string(kByteOrderMark) + headerLine() + writer.beginning(repair);
  repair.steps[0].confirmation = Confirmation{false, 2, {}};
  text += writer.confirmation(repair, 0);
  repair.steps[1].confirmation = Confirmation{true, 0, "文件正被其他程序使用, \"locked\""};
  text += writer.confirmation(repair, 1);
  if (withUndo) {
    Repair undo;
    undo.id = "2025-03-14T09:30:00.000+08:00";
    undo.accountSet = kSet;
    undo.undoes = repair.id;
    undo.steps = {{Direction::NonLeaf, "by key", {{"1001", false, true}}, {}}};
    text += writer.beginning(undo);
  }
  return text;
}

std::vector<Repair> read(const std::string& text, bool underWay = false) {
  return readRecordText(text, kSet, "rec.csv", underWay).repairs;
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

TEST(RecordRowsTest, WhatIsWrittenReadsBackTheSame) {
  const std::vector<Repair> repairs = read(fileText(true));
  ASSERT_EQ(repairs.size(), 2u);
  Repair expected = update();
  expected.steps[0].confirmation = Confirmation{false, 2, {}};
  expected.steps[1].confirmation = Confirmation{true, 0, "文件正被其他程序使用, \"locked\""};
  const Repair& first = repairs[0];
  EXPECT_EQ(first.id, expected.id);
  EXPECT_EQ(first.user, "张三");
  EXPECT_EQ(first.computer, "PC-1");
  EXPECT_EQ(first.version, "0.1.0");
  EXPECT_TRUE(first.accountSet.sameAs(kSet));
  EXPECT_EQ(first.steps, expected.steps);
  EXPECT_EQ(repairs[1].undoes, first.id);
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
    EXPECT_EQ(empty.checksum, RowWriter::afterHeader().checksum());
  }
}

TEST(RecordRowsTest, AFileEditedOrForeignIsRefusedAndRowsLeftUnfinishedArePassedOver) {
  const std::string good = fileText(true);
  const std::string line3 = good.substr(0, good.find("\r\n", good.find("1001")) + 2);
  std::string swapped = good;
  const auto at = swapped.find(",1001,");
  swapped.replace(at, 6, ",1002,");
  struct Case {
    std::string text;
    const char* reason;
  };
  const Case cases[] = {
      {swapped, "rec.csv is damaged at line 3: its checksum does not match"},
      {withLine(good, 3, "\r\n"), "rec.csv is damaged at line 3: it has 1 fields, not 18"},
      // A row removed: the next one no longer chains on.
      {withLine(good, 4, ""), "rec.csv is damaged at line 4: its checksum does not match"},
      {good.substr(3), "rec.csv is not a record of repairs written by Leafward (no byte-order"},
      {std::string(kByteOrderMark) + "code,bend\r\n1001,1\r\n",
       "rec.csv is not a record of repairs written by Leafward (its first row is not"},
      {good + "x\"y\r\n", "rec.csv is damaged at line 11: a quote stands inside"},
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
  // A file that ends inside a row: a writer stopped there. The unfinished row is passed over,
  // and with it a repair whose code rows were still being written (it never ran); the next
  // row chains on the last one kept.
  const std::string first = fileText();
  const RecordContents kept = readRecordText(first, kSet, "rec.csv");
  for (const std::string& torn :
       {good.substr(0, good.size() - 2), first + good.substr(first.size(), 60)}) {
    const RecordContents contents = readRecordText(torn, kSet, "rec.csv");
    EXPECT_EQ(contents.repairs.size(), 1u);
    EXPECT_EQ(contents.wholeSize, first.size());
    EXPECT_EQ(contents.checksum, kept.checksum);
  }
  const RecordContents none = readRecordText(line3.substr(0, line3.size() - 2), kSet, "rec.csv");
  EXPECT_TRUE(none.repairs.empty());
  EXPECT_EQ(none.wholeSize, kByteOrderMark.size() + headerLine().size());
  // While a repair writes the file, its last repair may still lack codes.
  EXPECT_EQ(read(good.substr(0, good.size() - 2), true).size(), 2u);
}

// Rows that chain correctly but do not fit together are refused too.
TEST(RecordRowsTest, RowsThatDoNotFitTheRepairAreRefused) {
  const std::string id = "2025-03-14T09:26:53.589+08:00";
  // The repair's first row (2 statements, `codes` codes), then `rows`, all chained.
  const auto record = [&](const std::string& codes, std::vector<std::vector<std::string>> rows,
                          const std::string& directions = "非末级/末级") {
    RowWriter writer = RowWriter::afterHeader();
    std::string text = std::string(kByteOrderMark) + headerLine();
    text += writer.row({id, "修复", "u", "c", "0.1.0", kSet.server, kSet.name, "", "2", directions,
                        "", "", "", "", codes});
    for (auto& row : rows) text += writer.row(std::move(row));
    return text;
  };
  const auto planned = [&](const char* step, const char* direction, const char* before,
                           const char* after, const char* note = "") {
    return std::vector<std::string>{id,        "计划", "",     "",    "",  "", "", "",  step,
                                    direction, "1001", before, after, "s", "", "", note};
  };
  const auto confirmation = [&](const char* step, const char* direction, const char* count) {
    return std::vector<std::string>{id,   "确认",    "", "", "", "",  "",    "",
                                    step, direction, "", "", "", "s", count, "完成"};
  };
  EXPECT_EQ(read(record("1", {planned("1", "非末级", "1", "0"), confirmation("1", "非末级", "1"),
                              confirmation("2", "末级", "0")}))
                .size(),
            1u);
  struct Case {
    std::string text;
    std::string reason;
  };
  const Case cases[] = {
      {record("1", {planned("3", "非末级", "1", "0")}), "line 3: '3' is out of range"},
      {record("1", {planned("0", "非末级", "1", "0")}), "line 3: it names no statement"},
      {record("1", {planned("1", "末级", "1", "0")}), "line 3: its flag differs"},
      {record("1", {planned("1", "非末级", "1", "1")}), "line 3: the flag is the same"},
      {record("1", {planned("1", "非末级", "1", "-1")}), "line 3: a flag is '-1', not 1 or 0"},
      {record("1", {planned("1", "非末级", "1", "0", "note")}), "line 3: the note of a code"},
      {record("0", {planned("1", "非末级", "1", "0")}), "line 3: the repair "},
      {record("2", {planned("1", "非末级", "1", "0"), confirmation("1", "非末级", "1")}),
       "line 4: a statement is confirmed before all codes"},
      {record("1", {planned("1", "非末级", "1", "0"), confirmation("1", "非末级", "01")}),
       "line 4: '01' is not a count"},
      {record("1", {planned("1", "非末级", "1", "0"), confirmation("1", "非末级", "1"),
                    confirmation("1", "非末级", "1")}),
       "line 5: the statement is confirmed a second time"},
      {record("2", {planned("1", "非末级", "1", "0")}), "the repair " + id + " lists 1 of its 2"},
      {record("1", {}, "非末级"), "line 2: its flags do not name its 2 statements"},
      {record("1", {}, "非末级/末级/末级"), "line 2: its flags do not name its 2 statements"},
      {record("1", {}, "非末级/叶子"), "line 2: '叶子' is not a kind of flag"},
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
  EXPECT_THAT(refusal(header + writer.row({id, "修复", "", "", "", kSet.server, kSet.name, id, "1",
                                           "末级", "", "", "", "", "0"})),
              HasSubstr("line 2: it undoes a repair the record does not hold"));
}

}  // namespace
}  // namespace leafward::record
