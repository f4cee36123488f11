#include "app/details_window.h"

#include <algorithm>
#include <exception>
#include <span>

#include "platform/file.h"
#include "record/csv.h"

namespace leafward::app {
namespace {

using audit::WrongFlag;
using audit::WrongFlagKind;

const char* flagText(bool leaf) {
  return leaf ? "末级" : "非末级";
}

// Why the flag is wrong: "有下级科目 100201 等 3 个", "有下级科目 100201" or "没有下级科目".
std::string reasonText(const WrongFlag& wrong) {
  if (wrong.kind == WrongFlagKind::LeafFlaggedAsNonLeaf) return "没有下级科目";
  std::string text = "有下级科目";
  if (!wrong.details || !wrong.details->firstSubCode) return text;
  text += " " + *wrong.details->firstSubCode;
  const std::int64_t count = wrong.details->subCodes;
  if (count > 1) text += " 等 " + std::to_string(count) + " 个";
  return text;
}

std::optional<std::int64_t> levelOf(const WrongFlag& wrong) {
  return wrong.details ? wrong.details->level : std::nullopt;
}
std::optional<std::int64_t> subCodesOf(const WrongFlag& wrong) {
  if (!wrong.details) return std::nullopt;
  return wrong.details->subCodes;
}

// Whether row a comes before row b in the column's rising order: levels and reasons by their
// numbers, the other columns by their text.
bool before(const WrongFlag& a, const WrongFlag& b, DetailsColumn column) {
  if (column == DetailsColumn::Level) return levelOf(a) < levelOf(b);
  if (column == DetailsColumn::Reason && subCodesOf(a) != subCodesOf(b)) {
    return subCodesOf(a) < subCodesOf(b);
  }
  return detailsCell(a, column) < detailsCell(b, column);
}

// A cell as one field of tab-separated text: no tab or line break inside it.
std::string tsvField(std::string text) {
  std::replace_if(
      text.begin(), text.end(), [](char c) { return c == '\t' || c == '\r' || c == '\n'; }, ' ');
  return text;
}

// Writes `text` as the whole content of the file at `path`, replacing what it held.
void writeWholeFile(const std::string& path, std::string_view text) {
  platform::File file = platform::pathExists(path)
                            ? platform::File::open(path, platform::FileAccess::ReadWrite)
                            : platform::File::createNew(path);
  file.resize(0);
  file.writeAt(0, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
  file.close();
}

}  // namespace

std::string detailsCell(const WrongFlag& wrong, DetailsColumn column) {
  switch (column) {
    case DetailsColumn::Code:
      return wrong.code.value_or("");
    case DetailsColumn::Name:
      return wrong.details ? wrong.details->name.value_or("") : std::string();
    case DetailsColumn::Level:
      return levelOf(wrong) ? std::to_string(*levelOf(wrong)) : std::string();
    case DetailsColumn::Flag:
      return flagText(wrong.flag());
    case DetailsColumn::WantedFlag:
      return flagText(wrong.wantedFlag());
    case DetailsColumn::Reason:
      return reasonText(wrong);
  }
  return {};
}

DetailsWindow::DetailsWindow(std::vector<WrongFlag> wrongFlags)
    : wrongFlags_(std::move(wrongFlags)) {
  arrange();
}

std::string DetailsWindow::cell(int row, DetailsColumn column) const {
  if (row < 0 || row >= rowCount()) return {};
  return detailsCell(wrongFlags_[static_cast<std::size_t>(shown_[static_cast<std::size_t>(row)])],
                     column);
}

void DetailsWindow::arrange() {
  shown_.clear();
  for (std::size_t i = 0; i < wrongFlags_.size(); ++i) {
    const WrongFlagKind kind = wrongFlags_[i].kind;
    if (filter_ == 0 || (filter_ == 1) == (kind == WrongFlagKind::NonLeafFlaggedAsLeaf)) {
      shown_.push_back(static_cast<int>(i));
    }
  }
  // Rows that sort alike keep the order the Check listed them in.
  std::stable_sort(shown_.begin(), shown_.end(), [&](int a, int b) {
    const WrongFlag& first = wrongFlags_[static_cast<std::size_t>(a)];
    const WrongFlag& second = wrongFlags_[static_cast<std::size_t>(b)];
    return ascending_ ? before(first, second, sortColumn_) : before(second, first, sortColumn_);
  });
  if (view_) view_->rowsChanged();
}

void DetailsWindow::chooseFilter(int choice) {
  if (choice < 0 || choice >= static_cast<int>(kDetailsFilters.size())) return;
  filter_ = choice;
  arrange();
}

std::vector<std::string> DetailsWindow::sortChoices() {
  std::vector<std::string> choices;
  for (const ColumnDesign& column : kDetailsColumns) {
    choices.push_back(std::string(column.caption) + "（升序）");
    choices.push_back(std::string(column.caption) + "（降序）");
  }
  return choices;
}

void DetailsWindow::chooseSort(int choice) {
  if (choice < 0 || choice >= 2 * kDetailsColumnCount) return;
  sortColumn_ = static_cast<DetailsColumn>(choice / 2);
  ascending_ = choice % 2 == 0;
  arrange();
}

void DetailsWindow::columnClick(DetailsColumn column) {
  ascending_ = column != sortColumn_ || !ascending_;
  sortColumn_ = column;
  arrange();
}

std::string DetailsWindow::summary() const {
  return "显示 " + std::to_string(shown_.size()) + " 个，共 " + std::to_string(wrongFlags_.size()) +
         " 个";
}

std::string DetailsWindow::rowsAsText(const std::vector<int>& rows) const {
  std::vector<int> ordered = rows;
  std::sort(ordered.begin(), ordered.end());
  std::string text;
  for (const int row : ordered) {
    if (row < 0 || row >= rowCount()) continue;
    for (int column = 0; column < kDetailsColumnCount; ++column) {
      if (column > 0) text += '\t';
      text += tsvField(cell(row, static_cast<DetailsColumn>(column)));
    }
    text += "\r\n";
  }
  return text;
}

void DetailsWindow::copyRows(const std::vector<int>& rows) {
  const std::string text = rowsAsText(rows);
  if (!text.empty() && view_) view_->setClipboardText(text);
}

std::string DetailsWindow::csvText() const {
  std::string text = "\xEF\xBB\xBF";
  std::vector<std::string> fields;
  for (const ColumnDesign& column : kDetailsColumns) fields.emplace_back(column.caption);
  text += record::csvLine(fields);
  for (int row = 0; row < rowCount(); ++row) {
    for (int column = 0; column < kDetailsColumnCount; ++column) {
      fields[static_cast<std::size_t>(column)] = cell(row, static_cast<DetailsColumn>(column));
    }
    text += record::csvLine(fields);
  }
  return text;
}

void DetailsWindow::exportClick() {
  if (!view_) return;
  const std::string path = view_->askSaveFileName(kExportFileBox, kExportFileName);
  if (path.empty()) return;
  try {
    writeWholeFile(path, csvText());
  } catch (const std::exception& error) {
    view_->showMessage("未能导出明细：" + std::string(error.what()), kDetailsWindow.caption);
  }
}

}  // namespace leafward::app
