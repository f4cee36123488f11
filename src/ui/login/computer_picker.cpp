#include "ui/login/computer_picker.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/login/mod_sh_browse.h"

namespace leafward::ui {

ComputerPicker::ComputerPicker(netbrowse::BrowseRequest request, QWidget* owner)
    : QDialog(owner), request_(std::move(request)) {
  setWindowTitle(QString::fromUtf8(kPickerTitle));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setModal(true);
  resize(320, 280);

  status_ = new QLabel(this);
  list_ = new QListWidget(this);
  list_->setObjectName("computers");
  buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons_->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
  buttons_->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
  auto* again = buttons_->addButton(QStringLiteral("重新搜索"), QDialogButtonBox::ActionRole);
  again->setObjectName("searchAgain");

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(status_);
  layout->addWidget(list_);
  layout->addWidget(buttons_);

  connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(again, &QPushButton::clicked, this, &ComputerPicker::search);
  connect(list_, &QListWidget::itemSelectionChanged, this, &ComputerPicker::updateButtons);
  connect(list_, &QListWidget::itemActivated, this, &QDialog::accept);
  search();
}

ComputerPicker::~ComputerPicker() {
  // The search must not outlive the chooser it reports to.
  worker_.request_stop();
  if (worker_.joinable()) worker_.join();
}

QString ComputerPicker::chosen() const {
  const QListWidgetItem* item = list_->currentItem();
  return item && item->isSelected() ? item->text() : QString();
}

void ComputerPicker::search() {
  if (searching_) return;
  worker_.request_stop();
  if (worker_.joinable()) worker_.join();
  list_->clear();
  searching_ = true;
  status_->setText(QStringLiteral("正在搜索网络上的数据库服务器……"));
  updateButtons();
  worker_ = std::jthread([this, request = request_](std::stop_token stop) {
    QString failure;
    try {
      netbrowse::findSqlServers(
          request,
          [this](const std::string& name) {
            const QString text = QString::fromStdString(name);
            QMetaObject::invokeMethod(
                this, [this, text] { addName(text); }, Qt::QueuedConnection);
          },
          stop);
    } catch (const std::exception& error) {
      failure = QString::fromLocal8Bit(error.what());
    }
    QMetaObject::invokeMethod(
        this, [this, failure] { searchEnded(failure); }, Qt::QueuedConnection);
  });
}

void ComputerPicker::addName(const QString& name) {
  list_->addItem(name);
  if (list_->count() == 1) list_->setCurrentRow(0);
  updateButtons();
}

void ComputerPicker::searchEnded(const QString& failure) {
  searching_ = false;
  if (!failure.isEmpty()) {
    status_->setText(QStringLiteral("搜索失败：") + failure);
  } else if (list_->count() == 0) {
    status_->setText(QStringLiteral("没有找到数据库服务器。"));
  } else {
    status_->setText(QStringLiteral("找到 %1 个数据库服务器：").arg(list_->count()));
  }
  updateButtons();
}

void ComputerPicker::updateButtons() {
  buttons_->button(QDialogButtonBox::Ok)->setEnabled(!chosen().isEmpty());
  for (QAbstractButton* button : buttons_->buttons()) {
    if (button->objectName() == "searchAgain") button->setEnabled(!searching_);
  }
}

}  // namespace leafward::ui
