#pragma once

#include <windows.h>

#include <array>

#include "app/login_dialog.h"
#include "ui/win32/control_ids.h"
#include "ui/win32/modal_dialog.h"

namespace leafward::ui::win32 {

// The server login dialog drawn with the Win32 API: a dialog window with edit controls, a
// drop-down combo box and push buttons laid out from the design table at the DPI of its screen.
// While hidden it keeps its controls, so a Cancel keeps what they hold. Its buttons, Enter, Esc
// and the close box go to the dialog's logic.
class LoginDialog : public app::LoginView, private ModalDialog {
 public:
  LoginDialog(HINSTANCE instance, HWND owner, app::LoginDialog& logic);
  ~LoginDialog() override;

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

 private:
  INT_PTR handle(UINT message, WPARAM w, LPARAM l) override;
  void destroyed() override;
  void createControls();
  void applyDpi(UINT dpi);
  HWND item(app::LoginControl control) const;

  app::LoginDialog& logic_;
  std::array<HWND, app::kLoginControlCount> controls_{};
  HFONT font_ = nullptr;
  HWND pendingFocus_ = nullptr;
  bool placed_ = false;
};

// Makes a Win32 login dialog, owned by the main window, for each loaded login dialog.
class LoginViews : public app::LoginViewFactory {
 public:
  explicit LoginViews(HINSTANCE instance) : instance_(instance) {}
  void setOwner(HWND owner) { owner_ = owner; }
  std::unique_ptr<app::LoginView> createLoginView(app::LoginDialog& dialog) override;

 private:
  HINSTANCE instance_;
  HWND owner_ = nullptr;
};

}  // namespace leafward::ui::win32
