#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <array>

#include "app/details_window.h"

class QComboBox;
class QLabel;
class QTableView;

namespace leafward::ui {

// The rows of the details window's logic, for a table view that asks only for what it shows.
class DetailsModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit DetailsModel(const app::DetailsWindow& logic, QObject* parent = nullptr)
      : QAbstractTableModel(parent), logic_(logic) {}
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  // The logic's rows changed: the view reads them again.
  void reset();

 private:
  const app::DetailsWindow& logic_;
};

// The details window drawn with Qt Widgets from the design table: a table view over the
// logic's rows, the filter and sort choices, the count and the export button. Ctrl+C copies
// the selected rows; Esc and the close box close it.
class FrmDetails : public QDialog, private app::DetailsView {
  Q_OBJECT
 public:
  FrmDetails(app::DetailsWindow& logic, QWidget* parent = nullptr);
  ~FrmDetails() override;

  // The control of the design table, for tests.
  QWidget* control(app::DetailsControl control) const;
  QTableView* table() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void rowsChanged() override;
  void setClipboardText(std::string_view text) override;
  std::string askSaveFileName(const app::FileBoxDesign& box, std::string_view name) override;
  void showMessage(std::string_view text, std::string_view title) override;

  QComboBox* combo(app::DetailsControl control) const;
  std::vector<int> selectedRows() const;

  app::DetailsWindow& logic_;
  DetailsModel model_;
  std::array<QWidget*, app::kDetailsControlCount> controls_{};
  bool placed_ = false;
};

}  // namespace leafward::ui
