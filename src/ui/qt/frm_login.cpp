#include "ui/qt/frm_login.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

#include "ui/qt/controls.h"
#include "ui/qt/mod_sh_browse.h"
#include "ui/qt/q_text.h"

namespace leafward::ui {
namespace {

using app::ControlKind;
using app::LoginControl;

}  // namespace

FrmLogin::FrmLogin(app::LoginDialog& logic, QWidget* parent) : QDialog(parent), logic_(logic) {
  designWindow(*this, app::kLoginDialog);

  const std::vector<QWidget*> made = makeControls(app::kLoginControls, this);
  std::copy(made.begin(), made.end(), controls_.begin());
  dbList_ = static_cast<QComboBox*>(control(LoginControl::dbList));
  // Enter in a text box or in the database box presses Refresh.
  button(app::buttonOf(app::ButtonRole::Default))->setDefault(true);

  connect(button(LoginControl::cmdRefresh), &QPushButton::clicked, this,
          [this] { logic_.refreshClick(); });
  connect(button(LoginControl::cmdOK), &QPushButton::clicked, this, [this] { logic_.okClick(); });
  connect(button(LoginControl::cmdCancel), &QPushButton::clicked, this,
          [this] { logic_.cancelClick(); });
  connect(button(LoginControl::cmdSelect), &QPushButton::clicked, this,
          [this] { logic_.selectClick(); });
}

QWidget* FrmLogin::control(LoginControl control) const {
  return controls_[static_cast<int>(control)];
}

QPushButton* FrmLogin::button(LoginControl control) const {
  return static_cast<QPushButton*>(this->control(control));
}

std::string FrmLogin::text(LoginControl control) const {
  if (control == LoginControl::dbList) return dbList_->currentText().toStdString();
  if (auto* box = qobject_cast<QLineEdit*>(this->control(control))) {
    return box->text().toStdString();
  }
  return {};
}

void FrmLogin::setText(LoginControl control, std::string_view text) {
  if (control == LoginControl::dbList) {
    dbList_->setEditText(qText(text));
  } else if (auto* box = qobject_cast<QLineEdit*>(this->control(control))) {
    box->setText(qText(text));
  }
}

void FrmLogin::clearList() {
  dbList_->clear();
  dbList_->clearEditText();
}

void FrmLogin::addListItem(std::string_view name) {
  dbList_->addItem(qText(name));
}

int FrmLogin::listCount() const {
  return dbList_->count();
}

void FrmLogin::selectListItem(int index) {
  dbList_->setCurrentIndex(index);
}

void FrmLogin::setEnabled(LoginControl control, bool enabled) {
  this->control(control)->setEnabled(enabled);
}

void FrmLogin::setFocus(LoginControl control) {
  this->control(control)->setFocus();
}

void FrmLogin::showMessage(std::string_view text, std::string_view title) {
  QMessageBox box(QMessageBox::NoIcon, qText(title), qText(text), QMessageBox::Ok, this);
  box.exec();
}

std::string FrmLogin::browseForComputer() {
  return BrowseForComputer(this).toStdString();
}

void FrmLogin::showModal() {
  ending_ = false;
  exec();
}

void FrmLogin::end() {
  ending_ = true;
  QDialog::done(QDialog::Rejected);
}

void FrmLogin::reject() {
  button(app::buttonOf(app::ButtonRole::Cancel))->click();
}

void FrmLogin::showEvent(QShowEvent* event) {
  if (!placed_) {
    placed_ = true;
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (app::kLoginDialog.placement == app::Placement::CentreOfScreen && screen) {
      move(screen->availableGeometry().center() - rect().center());
    }
  }
  QDialog::showEvent(event);
}

void FrmLogin::closeEvent(QCloseEvent* event) {
  event->accept();
  // done() closes the dialog too: only the close box unloads it.
  if (!ending_) logic_.closeBox();
}

std::unique_ptr<app::LoginView> QtLoginViews::createLoginView(app::LoginDialog& dialog) {
  return std::make_unique<FrmLogin>(dialog);
}

}  // namespace leafward::ui
