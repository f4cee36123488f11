#include "ui/qt/frm_details.h"

#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <algorithm>

#include "platform/file.h"
#include "ui/qt/controls.h"
#include "ui/qt/q_text.h"

namespace leafward::ui {
namespace {

using app::DetailsColumn;
using app::DetailsControl;

}  // namespace

int DetailsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : logic_.rowCount();
}

int DetailsModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : app::kDetailsColumnCount;
}

QVariant DetailsModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const auto column = static_cast<DetailsColumn>(index.column());
  if (role == Qt::DisplayRole) return qText(logic_.cell(index.row(), column));
  if (role == Qt::TextAlignmentRole && column == DetailsColumn::Level) {
    return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
  }
  return {};
}

QVariant DetailsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
      section >= app::kDetailsColumnCount) {
    return {};
  }
  return qText(app::kDetailsColumns[static_cast<std::size_t>(section)].caption);
}

void DetailsModel::reset() {
  beginResetModel();
  endResetModel();
}

FrmDetails::FrmDetails(app::DetailsWindow& logic, QWidget* parent)
    : QDialog(parent), logic_(logic), model_(logic) {
  designWindow(*this, app::kDetailsWindow);

  const std::vector<QWidget*> made = makeControls(app::kDetailsControls, this);
  std::copy(made.begin(), made.end(), controls_.begin());
  // Each label's access key takes the focus to the choice beside it.
  static_cast<QLabel*>(control(DetailsControl::lblFilter))
      ->setBuddy(control(DetailsControl::cboFilter));
  static_cast<QLabel*>(control(DetailsControl::lblSort))
      ->setBuddy(control(DetailsControl::cboSort));
  for (const std::string_view filter : app::kDetailsFilters) {
    combo(DetailsControl::cboFilter)->addItem(qText(filter));
  }
  for (const std::string& choice : app::DetailsWindow::sortChoices()) {
    combo(DetailsControl::cboSort)->addItem(qText(choice));
  }

  QTableView* list = table();
  list->setModel(&model_);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setWordWrap(false);
  list->verticalHeader()->hide();
  list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + 6);
  list->horizontalHeader()->setSortIndicatorShown(true);
  list->horizontalHeader()->setSectionsClickable(true);
  list->horizontalHeader()->setHighlightSections(false);
  for (int column = 0; column < app::kDetailsColumnCount; ++column) {
    list->setColumnWidth(column,
                         app::pixels(app::kDetailsColumns[static_cast<std::size_t>(column)].width));
  }
  list->installEventFilter(this);

  connect(list->horizontalHeader(), &QHeaderView::sectionClicked, this,
          [this](int column) { logic_.columnClick(static_cast<DetailsColumn>(column)); });
  connect(combo(DetailsControl::cboFilter), &QComboBox::activated, this,
          [this](int choice) { logic_.chooseFilter(choice); });
  connect(combo(DetailsControl::cboSort), &QComboBox::activated, this,
          [this](int choice) { logic_.chooseSort(choice); });
  connect(static_cast<QPushButton*>(control(DetailsControl::cmdExport)), &QPushButton::clicked,
          this, [this] { logic_.exportClick(); });

  logic_.attach(this);
  rowsChanged();
  list->setFocus();
  if (logic_.rowCount() > 0) list->selectRow(0);
}

FrmDetails::~FrmDetails() {
  logic_.attach(nullptr);
}

QWidget* FrmDetails::control(DetailsControl control) const {
  return controls_[static_cast<std::size_t>(control)];
}

QTableView* FrmDetails::table() const {
  return static_cast<QTableView*>(control(DetailsControl::lstDetails));
}

QComboBox* FrmDetails::combo(DetailsControl control) const {
  return static_cast<QComboBox*>(this->control(control));
}

void FrmDetails::rowsChanged() {
  model_.reset();
  combo(DetailsControl::cboFilter)->setCurrentIndex(logic_.filterChoice());
  combo(DetailsControl::cboSort)->setCurrentIndex(logic_.sortChoice());
  static_cast<QLabel*>(control(DetailsControl::lblSummary))->setText(qText(logic_.summary()));
  table()->horizontalHeader()->setSortIndicator(
      static_cast<int>(logic_.sortColumn()),
      logic_.ascending() ? Qt::AscendingOrder : Qt::DescendingOrder);
}

std::vector<int> FrmDetails::selectedRows() const {
  std::vector<int> rows;
  for (const QModelIndex& index : table()->selectionModel()->selectedRows()) {
    rows.push_back(index.row());
  }
  return rows;
}

bool FrmDetails::eventFilter(QObject* watched, QEvent* event) {
  if (watched == table() && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
    logic_.copyRows(selectedRows());
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void FrmDetails::showEvent(QShowEvent* event) {
  if (!placed_) {
    placed_ = true;
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (screen) move(screen->availableGeometry().center() - rect().center());
  }
  QDialog::showEvent(event);
}

void FrmDetails::setClipboardText(std::string_view text) {
  QGuiApplication::clipboard()->setText(qText(text));
}

std::string FrmDetails::askSaveFileName(const app::FileBoxDesign& box, std::string_view name) {
  QFileDialog dialog(this, qText(box.title));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilter(qText(box.description));
  dialog.setDefaultSuffix(qText(box.defaultExtension));
  dialog.selectFile(qText(name));
  if (dialog.exec() != QDialog::Accepted) return {};
  return platform::nativePath(dialog.selectedFiles().value(0).toStdString());
}

void FrmDetails::showMessage(std::string_view text, std::string_view title) {
  QMessageBox box(QMessageBox::NoIcon, qText(title), qText(text), QMessageBox::Ok, this);
  box.exec();
}

}  // namespace leafward::ui
