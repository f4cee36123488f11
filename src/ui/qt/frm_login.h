#pragma once

#include <QDialog>
#include <array>

#include "app/login_dialog.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace leafward::ui {

// The server login dialog drawn with Qt Widgets, from the design table; its buttons, Enter,
// Esc and the close box go to the dialog's logic.
class FrmLogin : public QDialog, public app::LoginView {
  Q_OBJECT
 public:
  explicit FrmLogin(app::LoginDialog& logic, QWidget* parent = nullptr);

  // The control of the design table, for tests.
  QWidget* control(app::LoginControl control) const;

  std::string text(app::LoginControl control) const override;
  void setText(app::LoginControl control, std::string_view text) override;
  void clearList() override;
  void addListItem(std::string_view name) override;
  int listCount() const override;
  void selectListItem(int index) override;
  void setEnabled(app::LoginControl control, bool enabled) override;
  void setFocus(app::LoginControl control) override;
  void showMessage(std::string_view text, std::string_view title) override;
  std::string browseForComputer() override;
  void showModal() override;
  void end() override;

 public slots:
  // Esc and every other way of rejecting press Cancel.
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  QPushButton* button(app::LoginControl control) const;

  app::LoginDialog& logic_;
  std::array<QWidget*, app::kLoginControlCount> controls_{};
  QComboBox* dbList_ = nullptr;
  bool placed_ = false;
  bool ending_ = false;
};

// Makes a Qt login dialog for each loaded login dialog.
class QtLoginViews : public app::LoginViewFactory {
 public:
  std::unique_ptr<app::LoginView> createLoginView(app::LoginDialog& dialog) override;
};

}  // namespace leafward::ui
