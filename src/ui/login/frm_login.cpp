#include "ui/login/frm_login.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include "connection/server_login.h"

namespace leafward::ui {
namespace {

using connection::OnFailure;

// Layouts are designed in twips; 15 twips are one pixel at 96 dots per inch.
QRect twips(int left, int top, int width, int height) {
  return QRect(left / 15, top / 15, width / 15, height / 15);
}

std::string utf8(const QString& text) {
  return text.toUtf8().toStdString();
}

}  // namespace

QString& strLastServer() {
  static QString name;
  return name;
}

FrmLogin::FrmLogin(LoginTarget target, LoginPrompts& prompts, QWidget* parent)
    : QDialog(parent), target_(std::move(target)), prompts_(prompts) {
  setWindowTitle(QStringLiteral("登陆"));
  // A fixed tool window: a thin title bar with a close box only.
  setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(3765 / 15, 1920 / 15);

  computer_ = new QLabel(QStringLiteral("服务器"), this);
  computer_->setObjectName("Computer");
  computer_->setGeometry(twips(105, 120, 1080, 270));

  txtUserName_ = new QLineEdit(QStringLiteral("(local)"), this);
  txtUserName_->setObjectName("txtUserName");
  txtUserName_->setGeometry(twips(1320, 120, 2055, 375));

  lblPassword_ = new QLabel(QStringLiteral("SA口令"), this);
  lblPassword_->setObjectName("lblLabels1");
  lblPassword_->setGeometry(twips(105, 540, 1080, 270));

  txtPassword_ = new QLineEdit(this);
  txtPassword_->setObjectName("txtPassword");
  txtPassword_->setGeometry(twips(1320, 525, 2295, 345));
  txtPassword_->setEchoMode(QLineEdit::Password);
  txtPassword_->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));  // '*'
  txtPassword_->setAttribute(Qt::WA_InputMethodEnabled, false);
  txtPassword_->setInputMethodHints(Qt::ImhHiddenText | Qt::ImhSensitiveData |
                                    Qt::ImhNoPredictiveText | Qt::ImhNoAutoUppercase);

  cmdOK_ = new QPushButton(QStringLiteral("确定"), this);
  cmdOK_->setObjectName("cmdOK");
  cmdOK_->setGeometry(twips(1320, 1440, 1140, 390));
  cmdOK_->setEnabled(false);

  cmdCancel_ = new QPushButton(QStringLiteral("取消"), this);
  cmdCancel_->setObjectName("cmdCancel");
  cmdCancel_->setGeometry(twips(2520, 1440, 1140, 390));

  // Lies over the right end of the server box, as designed.
  cmdSelect_ = new QPushButton(QStringLiteral("..."), this);
  cmdSelect_->setObjectName("cmdSelect");
  cmdSelect_->setGeometry(twips(3120, 120, 495, 375));

  lblDatabase_ = new QLabel(QStringLiteral("数据库"), this);
  lblDatabase_->setObjectName("lblLabels0");
  lblDatabase_->setGeometry(twips(120, 960, 1080, 270));

  cmdRefresh_ = new QPushButton(QStringLiteral("刷新"), this);
  cmdRefresh_->setObjectName("cmdRefresh");
  cmdRefresh_->setGeometry(twips(120, 1440, 1140, 390));
  // Enter in a text box or in the database box presses Refresh.
  cmdRefresh_->setDefault(true);

  dbList_ = new QComboBox(this);
  dbList_->setObjectName("dbList");
  dbList_->setGeometry(twips(1320, 960, 2295, 300));
  dbList_->setEditable(true);
  // Enter in the box belongs to the dialog and must not add the typed text to the list.
  dbList_->setInsertPolicy(QComboBox::NoInsert);

  setTabOrder(txtUserName_, txtPassword_);
  setTabOrder(txtPassword_, cmdOK_);
  setTabOrder(cmdOK_, cmdCancel_);
  setTabOrder(cmdCancel_, cmdSelect_);
  setTabOrder(cmdSelect_, cmdRefresh_);
  setTabOrder(cmdRefresh_, dbList_);

  connect(cmdRefresh_, &QPushButton::clicked, this, &FrmLogin::cmdRefreshClick);
  connect(cmdOK_, &QPushButton::clicked, this, &FrmLogin::cmdOKClick);
  connect(cmdCancel_, &QPushButton::clicked, this, &FrmLogin::cmdCancelClick);
  connect(cmdSelect_, &QPushButton::clicked, this, &FrmLogin::cmdSelectClick);
}

void FrmLogin::cmdRefreshClick() {
  const connection::ServerLogin login{utf8(txtPassword_->text()), utf8(txtUserName_->text()),
                                      std::nullopt};
  if (!connection::openServerConnection(target_, login, OnFailure::SkipStep)) {
    reportFailedLogin();
    return;
  }
  const bool listed = connection::listAccountSets(
      target_, OnFailure::SkipStep,
      [&] {
        dbList_->clear();
        dbList_->clearEditText();
      },
      [&](const std::string& name) { dbList_->addItem(QString::fromStdString(name)); });
  if (!listed) return;
  if (dbList_->count() >= 1) dbList_->setCurrentIndex(0);
  cmdOK_->setEnabled(true);
}

void FrmLogin::cmdOKClick() {
  const connection::ServerLogin login{utf8(txtPassword_->text()), utf8(txtUserName_->text()),
                                      utf8(dbList_->currentText())};
  if (connection::openServerConnection(target_, login, OnFailure::SkipStep)) {
    unload();
  } else {
    reportFailedLogin();
  }
}

void FrmLogin::cmdCancelClick() {
  QDialog::done(QDialog::Rejected);
}

void FrmLogin::cmdSelectClick() {
  const QString name = prompts_.browseForComputer(this);
  if (!name.isEmpty()) strLastServer() = name;
  txtUserName_->setText(strLastServer());
}

void FrmLogin::reject() {
  cmdCancel_->click();
}

void FrmLogin::reportFailedLogin() {
  prompts_.showMessage(this, QStringLiteral("口令错误"), QStringLiteral("Login"));
  txtPassword_->setFocus();
}

void FrmLogin::unload() {
  unloaded_ = true;
  QDialog::done(QDialog::Accepted);
}

void FrmLogin::showEvent(QShowEvent* event) {
  if (!placed_) {
    placed_ = true;
    if (const QScreen* screen =
            this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
      move(screen->availableGeometry().center() - rect().center());
    }
    txtUserName_->setFocus();
  }
  QDialog::showEvent(event);
}

void FrmLogin::closeEvent(QCloseEvent* event) {
  // The close box unloads the dialog; Cancel would only hide it.
  event->accept();
  unloaded_ = true;
  QDialog::done(QDialog::Rejected);
}

}  // namespace leafward::ui
