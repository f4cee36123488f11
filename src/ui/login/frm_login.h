#pragma once

#include <QDialog>
#include <QString>

#include "ui/login/login_prompts.h"
#include "ui/login/login_target.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace leafward::ui {

// The last non-empty computer name the picker returned in this run; it outlives the dialog.
QString& strLastServer();

// The server login dialog: the server computer's name, the password of `sa`, and the list of
// the server's account sets. Refresh connects to `master` and lists them; OK opens the chosen
// one and unloads the dialog; Cancel only hides it, keeping everything for the next time.
class FrmLogin : public QDialog {
  Q_OBJECT
 public:
  FrmLogin(LoginTarget target, LoginPrompts& prompts, QWidget* parent = nullptr);

  // The button handlers. Refresh and OK skip any step that fails and go on with the next.
  void cmdRefreshClick();
  void cmdOKClick();
  void cmdCancelClick();
  void cmdSelectClick();

  // True once a successful OK or the close box has unloaded the dialog; its owner then drops
  // it and loads a fresh one next time.
  bool unloaded() const { return unloaded_; }

  QLineEdit* txtUserName() const { return txtUserName_; }
  QLineEdit* txtPassword() const { return txtPassword_; }
  QComboBox* dbList() const { return dbList_; }
  QPushButton* cmdOK() const { return cmdOK_; }
  QPushButton* cmdCancel() const { return cmdCancel_; }
  QPushButton* cmdSelect() const { return cmdSelect_; }
  QPushButton* cmdRefresh() const { return cmdRefresh_; }

 public slots:
  // Esc and every other way of rejecting press Cancel.
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void unload();
  void reportFailedLogin();

  LoginTarget target_;
  LoginPrompts& prompts_;
  bool unloaded_ = false;
  bool placed_ = false;
  QLabel* computer_ = nullptr;
  QLineEdit* txtUserName_ = nullptr;
  QLabel* lblPassword_ = nullptr;
  QLineEdit* txtPassword_ = nullptr;
  QPushButton* cmdOK_ = nullptr;
  QPushButton* cmdCancel_ = nullptr;
  QPushButton* cmdSelect_ = nullptr;
  QLabel* lblDatabase_ = nullptr;
  QPushButton* cmdRefresh_ = nullptr;
  QComboBox* dbList_ = nullptr;
};

}  // namespace leafward::ui
