#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/layout.h"
#include "audit/findings.h"

namespace leafward::app {

// What the details window's logic asks of a front-end.
class DetailsView {
 public:
  virtual ~DetailsView() = default;
  // The rows, their order, the choices or the summary changed: the front-end reads them again
  // (rowCount, cell, filterChoice, sortChoice, sortColumn, summary). The list is virtual: it
  // asks for the cells it shows.
  virtual void rowsChanged() = 0;
  // The system's clipboard gets the text.
  virtual void setClipboardText(std::string_view text) = 0;
  // The save box, modal to the window, suggesting `name`: the chosen full path, or "" when the
  // user cancelled. The box asks before it lets an existing file be chosen.
  virtual std::string askSaveFileName(const FileBoxDesign& box, std::string_view name) = 0;
  // A message box with an OK button only.
  virtual void showMessage(std::string_view text, std::string_view title) = 0;
};

// Everything the details window decides, without a toolkit: the rows of a Check's wrong
// flags as text, their filter and order, copying them and writing them to a file. A front-end
// draws the window from kDetailsWindow and kDetailsControls, shows what the logic says and
// forwards the user's choices.
class DetailsWindow {
 public:
  explicit DetailsWindow(std::vector<audit::WrongFlag> wrongFlags);

  void attach(DetailsView* view) { view_ = view; }

  // The rows that show, in their order, and the text of each cell.
  int rowCount() const { return static_cast<int>(shown_.size()); }
  std::string cell(int row, DetailsColumn column) const;

  // The filter: a position in kDetailsFilters.
  int filterChoice() const { return filter_; }
  void chooseFilter(int choice);
  // The order: a position in sortChoices() (a column, rising or falling).
  static std::vector<std::string> sortChoices();
  int sortChoice() const { return 2 * static_cast<int>(sortColumn_) + (ascending_ ? 0 : 1); }
  void chooseSort(int choice);
  DetailsColumn sortColumn() const { return sortColumn_; }
  bool ascending() const { return ascending_; }
  // A click on a column's heading: sorted by it, rising; a second click, falling.
  void columnClick(DetailsColumn column);
  // "显示 N 个，共 M 个".
  std::string summary() const;

  // The rows at these places as tab-separated text, a line each, in the order they show.
  std::string rowsAsText(const std::vector<int>& rows) const;
  // Ctrl+C: the selected rows onto the clipboard.
  void copyRows(const std::vector<int>& rows);
  // The rows that show, as a CSV file: UTF-8 with a byte-order mark, CR LF, the column names
  // first (RFC 4180).
  std::string csvText() const;
  // "导出…": asks for a file and writes the CSV text to it; says so when it cannot.
  void exportClick();

 private:
  void arrange();

  std::vector<audit::WrongFlag> wrongFlags_;
  std::vector<int> shown_;  // positions in wrongFlags_, in the order they show
  int filter_ = 0;
  DetailsColumn sortColumn_ = DetailsColumn::Code;
  bool ascending_ = true;
  DetailsView* view_ = nullptr;
};

// The text of one cell of a wrong flag's row.
std::string detailsCell(const audit::WrongFlag& wrong, DetailsColumn column);

}  // namespace leafward::app
