// The details window's decisions on a window without a toolkit: the rows of a Check's wrong
// flags, their filter and order, copying and exporting them.
#include "app/details_window.h"

#include <gtest/gtest.h>

#include "record/csv.h"
#include "support/files.h"

namespace leafward::app {
namespace {

using audit::WrongFlag;
using audit::WrongFlagKind;
using Column = DetailsColumn;

WrongFlag wrong(WrongFlagKind kind, const char* code, const char* name, std::int64_t level,
                std::int64_t subCodes, const char* first = nullptr) {
  WrongFlag made;
  made.kind = kind;
  if (code) made.code = code;
  auto details = std::make_shared<audit::CodeDetails>();
  if (name) details->name = name;
  details->level = level;
  details->subCodes = subCodes;
  if (first) details->firstSubCode = first;
  made.details = std::move(details);
  return made;
}

const auto kNonLeaf = WrongFlagKind::NonLeafFlaggedAsLeaf;
const auto kLeaf = WrongFlagKind::LeafFlaggedAsNonLeaf;

// The findings of a Check, in the order it listed them.
std::vector<WrongFlag> findings() {
  return {wrong(kNonLeaf, "1002", "银行存款", 1, 3, "100201"),
          wrong(kNonLeaf, "1001", "库存现金", 1, 1, "100101"),
          wrong(kLeaf, "100201", "工商银行, \"基本户\"", 2, 0),
          wrong(kLeaf, nullptr, nullptr, 10, 0)};
}

struct FakeDetailsView : DetailsView {
  int changes = 0;
  std::string clipboard;
  std::vector<std::string> saveAnswers;  // taken in turn; none left: Cancel
  std::vector<std::string> messages;
  void rowsChanged() override { ++changes; }
  void setClipboardText(std::string_view text) override { clipboard = text; }
  std::string askSaveFileName(const FileBoxDesign& box, std::string_view name) override {
    EXPECT_EQ(box.title, kExportFileBox.title);
    EXPECT_EQ(name, kExportFileName);
    if (saveAnswers.empty()) return {};
    std::string answer = saveAnswers.front();
    saveAnswers.erase(saveAnswers.begin());
    return answer;
  }
  void showMessage(std::string_view text, std::string_view) override {
    messages.emplace_back(text);
  }
};

std::vector<std::string> column(const DetailsWindow& details, Column which) {
  std::vector<std::string> cells;
  for (int row = 0; row < details.rowCount(); ++row) cells.push_back(details.cell(row, which));
  return cells;
}

TEST(DetailsWindowTest, RowsSortedByCodeWithTheirReasons) {
  const DetailsWindow details(findings());
  EXPECT_EQ(column(details, Column::Code),
            (std::vector<std::string>{"", "1001", "1002", "100201"}));
  EXPECT_EQ(details.cell(2, Column::Name), "银行存款");
  EXPECT_EQ(details.cell(2, Column::Level), "1");
  EXPECT_EQ(details.cell(2, Column::Flag), "末级");
  EXPECT_EQ(details.cell(2, Column::WantedFlag), "非末级");
  EXPECT_EQ(details.cell(2, Column::Reason), "有下级科目 100201 等 3 个");
  EXPECT_EQ(details.cell(1, Column::Reason), "有下级科目 100101");
  EXPECT_EQ(details.cell(3, Column::Reason), "没有下级科目");
  EXPECT_EQ(details.cell(3, Column::Flag), "非末级");
  EXPECT_EQ(details.cell(0, Column::Name), "");  // a NULL code without a name
  EXPECT_EQ(details.summary(), "显示 4 个，共 4 个");
  // Details that could not be read leave the reason without its example.
  WrongFlag unknown;
  unknown.code = "1001";
  EXPECT_EQ(detailsCell(unknown, Column::Reason), "有下级科目");
  EXPECT_EQ(detailsCell(unknown, Column::Level), "");
}

TEST(DetailsWindowTest, SortedByAnyColumnEitherWayAndFilteredByKind) {
  DetailsWindow details(findings());
  FakeDetailsView view;
  details.attach(&view);
  // Levels as numbers, not as text: 10 after 2.
  details.columnClick(Column::Level);
  EXPECT_EQ(column(details, Column::Level), (std::vector<std::string>{"1", "1", "2", "10"}));
  // Rows that sort alike keep the Check's order.
  EXPECT_EQ(details.cell(0, Column::Code), "1002");
  EXPECT_TRUE(details.ascending());
  details.columnClick(Column::Level);
  EXPECT_FALSE(details.ascending());
  EXPECT_EQ(column(details, Column::Level), (std::vector<std::string>{"10", "2", "1", "1"}));
  EXPECT_EQ(details.sortChoice(), 2 * static_cast<int>(Column::Level) + 1);
  EXPECT_EQ(DetailsWindow::sortChoices()[static_cast<std::size_t>(details.sortChoice())],
            "级次（降序）");
  // The reason by the number of sub-codes.
  details.chooseSort(2 * static_cast<int>(Column::Reason) + 1);
  EXPECT_EQ(column(details, Column::Code).front(), "1002");

  details.chooseFilter(2);  // only those that should be leaf
  EXPECT_EQ(column(details, Column::Code), (std::vector<std::string>{"100201", ""}));
  EXPECT_EQ(details.summary(), "显示 2 个，共 4 个");
  details.chooseFilter(1);
  EXPECT_EQ(details.rowCount(), 2);
  EXPECT_EQ(details.cell(0, Column::WantedFlag), "非末级");
  details.chooseFilter(7);  // no such choice: nothing changes
  EXPECT_EQ(details.filterChoice(), 1);
  EXPECT_EQ(view.changes, 5);
}

TEST(DetailsWindowTest, CopiesTheSelectedRowsAsTabSeparatedLines) {
  std::vector<WrongFlag> rows = findings();
  rows[0] = wrong(kNonLeaf, "1002", "银行\t存款\r\n", 1, 3, "100201");
  DetailsWindow details(rows);
  FakeDetailsView view;
  details.attach(&view);
  details.copyRows({2, 1});
  EXPECT_EQ(view.clipboard,
            "1001\t库存现金\t1\t末级\t非末级\t有下级科目 100101\r\n"
            "1002\t银行 存款  \t1\t末级\t非末级\t有下级科目 100201 等 3 个\r\n");
  view.clipboard = "kept";
  details.copyRows({});
  EXPECT_EQ(view.clipboard, "kept");
}

// The export is what shows, as RFC 4180 CSV that a strict reader reads back: the byte-order
// mark, the column names, CR LF, quotes doubled.
TEST(DetailsWindowTest, ExportsWhatShowsAsCsvThatReadsBack) {
  testing::TempDir folder;
  const std::string path = folder.file("明细.csv");
  testing::writeBytes(path, std::vector<std::uint8_t>(100000, 'x'));  // replaced whole
  DetailsWindow details(findings());
  FakeDetailsView view;
  details.attach(&view);
  details.chooseFilter(2);
  view.saveAnswers = {path};
  details.exportClick();
  const std::string written = testing::readFile(testing::utf8Path(path));
  ASSERT_TRUE(written.starts_with("\xEF\xBB\xBF")) << written.substr(0, 20);
  const record::CsvText read = record::readCsv(std::string_view(written).substr(3));
  ASSERT_EQ(read.problem, "");
  ASSERT_EQ(read.records.size(), 3u);
  EXPECT_EQ(read.records[0].fields,
            (std::vector<std::string>{"科目代码", "科目名称", "级次", "当前标志", "应为", "原因"}));
  EXPECT_EQ(read.records[1].fields[0], "");  // a NULL code first
  EXPECT_EQ(read.records[2].fields, (std::vector<std::string>{"100201", "工商银行, \"基本户\"", "2",
                                                              "非末级", "末级", "没有下级科目"}));
  EXPECT_FALSE(read.cutShort);

  // Cancelled: nothing written; a file that cannot be written: a message, nothing else.
  details.exportClick();
  view.saveAnswers = {folder.file("no such folder/明细.csv")};
  details.exportClick();
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_TRUE(view.messages[0].starts_with("未能导出明细：")) << view.messages[0];
}

}  // namespace
}  // namespace leafward::app
