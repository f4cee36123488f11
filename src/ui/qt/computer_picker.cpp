#include "ui/qt/computer_picker.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/layout.h"
#include "ui/qt/q_text.h"

namespace leafward::ui {

ComputerPicker::ComputerPicker(netbrowse::BrowseRequest request, QWidget* owner) : QDialog(owner) {
  setWindowTitle(qText(app::kComputerPicker.caption));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setModal(true);
  resize(app::pixels(app::kComputerPicker.clientWidth),
         app::pixels(app::kComputerPicker.clientHeight));

  status_ = new QLabel(this);
  list_ = new QListWidget(this);
  list_->setObjectName("computers");
  buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons_->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
  buttons_->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
  again_ = buttons_->addButton(QStringLiteral("重新搜索"), QDialogButtonBox::ActionRole);
  again_->setObjectName("searchAgain");

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(status_);
  layout->addWidget(list_);
  layout->addWidget(buttons_);

  search_ = std::make_unique<app::ComputerSearch>(std::move(request),
                                                  static_cast<app::ComputerSearchView&>(*this));
  connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(again_, &QPushButton::clicked, this, [this] { search_->start(); });
  connect(list_, &QListWidget::itemSelectionChanged, this, [this] { search_->selectionChanged(); });
  connect(list_, &QListWidget::itemActivated, this, &QDialog::accept);
  search_->start();
}

// The search stops before the list it reports to goes.
ComputerPicker::~ComputerPicker() = default;

QString ComputerPicker::chosen() const {
  return QString::fromStdString(chosenName());
}

void ComputerPicker::clearNames() {
  list_->clear();
}

void ComputerPicker::addName(std::string_view name) {
  list_->addItem(qText(name));
}

int ComputerPicker::nameCount() const {
  return list_->count();
}

void ComputerPicker::selectName(int index) {
  list_->setCurrentRow(index);
}

std::string ComputerPicker::chosenName() const {
  const QListWidgetItem* item = list_->currentItem();
  return item && item->isSelected() ? item->text().toStdString() : std::string();
}

void ComputerPicker::setStatus(std::string_view text) {
  status_->setText(qText(text));
}

void ComputerPicker::setOkEnabled(bool enabled) {
  buttons_->button(QDialogButtonBox::Ok)->setEnabled(enabled);
}

void ComputerPicker::setSearchAgainEnabled(bool enabled) {
  again_->setEnabled(enabled);
}

void ComputerPicker::post(std::function<void()> task) {
  // Dropped when the chooser is gone by the time the window's thread gets to it.
  QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

}  // namespace leafward::ui
