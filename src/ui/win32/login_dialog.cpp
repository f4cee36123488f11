#include "ui/win32/login_dialog.h"

#include <commctrl.h>
#include <imm.h>

#include <algorithm>
#include <cstddef>
#include <stdexcept>
#include <vector>

#include "ui/win32/computer_browser.h"
#include "ui/win32/controls.h"
#include "ui/win32/dpi.h"
#include "ui/win32/message_loop.h"
#include "ui/win32/modal.h"
#include "ui/win32/text.h"

namespace leafward::ui::win32 {
namespace {

using app::LoginControl;

}  // namespace

LoginDialog::LoginDialog(HINSTANCE instance, HWND owner, app::LoginDialog& logic)
    : ModalDialog(instance, owner), logic_(logic) {
  make("login dialog");
}

LoginDialog::~LoginDialog() {
  destroy();
  if (font_) DeleteObject(font_);
}

void LoginDialog::destroyed() {
  controls_.fill(nullptr);
  pendingFocus_ = nullptr;
}

INT_PTR LoginDialog::handle(UINT message, WPARAM w, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SetWindowTextW(dialog_, wide(app::kLoginDialog.caption).c_str());
      createControls();
      applyDpi(GetDpiForWindow(dialog_));
      return FALSE;  // the logic sets the focus
    case WM_DPICHANGED:
      applyDpi(HIWORD(w));
      return TRUE;
    case WM_COMMAND: {
      if (HIWORD(w) != BN_CLICKED) return FALSE;
      const int id = LOWORD(w);
      if (id == controlId(LoginControl::cmdRefresh)) {
        logic_.refreshClick();
      } else if (id == controlId(LoginControl::cmdOK)) {
        logic_.okClick();
      } else if (id == IDCANCEL) {
        logic_.cancelClick();
      } else if (id == controlId(LoginControl::cmdSelect)) {
        logic_.selectClick();
      } else {
        return FALSE;
      }
      return TRUE;
    }
    case WM_CLOSE:
      logic_.closeBox();
      return TRUE;
    default:
      return FALSE;
  }
}

// The controls in tab order: each is placed after the one before it, so that Tab follows the
// design table.
void LoginDialog::createControls() {
  const std::vector<HWND> made =
      win32::createControls(instance_, dialog_, app::kLoginControls,
                            [](int i) { return controlId(static_cast<LoginControl>(i)); });
  std::copy(made.begin(), made.end(), controls_.begin());
  HWND password = item(LoginControl::txtPassword);
  SendMessageW(password, EM_SETPASSWORDCHAR, static_cast<WPARAM>(app::kPasswordCharacter), 0);
  // No input method for the password: what is typed is what is sent.
  ImmAssociateContextEx(password, nullptr, 0);
  SendMessageW(dialog_, DM_SETDEFID, controlId(app::buttonOf(app::ButtonRole::Default)), 0);
}

void LoginDialog::applyDpi(UINT dpi) {
  // The new font is in use before the old one is deleted.
  HFONT font = createMessageFont(dpi);
  placeControls(dialog_, controls_, app::kLoginControls, app::kLoginDialog, font, dpi);
  if (font_) DeleteObject(font_);
  font_ = font;
}

HWND LoginDialog::item(LoginControl control) const {
  return controls_[static_cast<std::size_t>(control)];
}

std::string LoginDialog::text(LoginControl control) const {
  HWND box = item(control);
  const int length = GetWindowTextLengthW(box);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(box, text.data(), length + 1)));
  return utf8(text);
}

void LoginDialog::setText(LoginControl control, std::string_view text) {
  SetWindowTextW(item(control), wide(text).c_str());
}

void LoginDialog::clearList() {
  HWND list = item(LoginControl::dbList);
  SendMessageW(list, CB_RESETCONTENT, 0, 0);
  SetWindowTextW(list, L"");
}

void LoginDialog::addListItem(std::string_view name) {
  SendMessageW(item(LoginControl::dbList), CB_ADDSTRING, 0,
               reinterpret_cast<LPARAM>(wide(name).c_str()));
}

int LoginDialog::listCount() const {
  return static_cast<int>(SendMessageW(item(LoginControl::dbList), CB_GETCOUNT, 0, 0));
}

void LoginDialog::selectListItem(int index) {
  SendMessageW(item(LoginControl::dbList), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void LoginDialog::setEnabled(LoginControl control, bool enabled) {
  EnableWindow(item(control), enabled ? TRUE : FALSE);
}

void LoginDialog::setFocus(LoginControl control) {
  if (IsWindowVisible(dialog_)) {
    SendMessageW(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item(control)), TRUE);
  } else {
    pendingFocus_ = item(control);
  }
}

void LoginDialog::showMessage(std::string_view text, std::string_view title) {
  ModalScope modal;
  MessageBoxW(dialog_, wide(text).c_str(), wide(title).c_str(), MB_OK);
}

std::string LoginDialog::browseForComputer() {
  return win32::browseForComputer(dialog_);
}

void LoginDialog::showModal() {
  if (dialog_ && !placed_) {
    if (app::kLoginDialog.placement == app::Placement::CentreOfScreen) {
      win32::centreOnScreen(dialog_, owner_);
    }
    placed_ = true;
  }
  runModal([this] {
    if (!pendingFocus_) return;
    SendMessageW(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(pendingFocus_), TRUE);
    pendingFocus_ = nullptr;
  });
}

void LoginDialog::end() {
  endModal();
}

std::unique_ptr<app::LoginView> LoginViews::createLoginView(app::LoginDialog& dialog) {
  return std::make_unique<LoginDialog>(instance_, owner_, dialog);
}

}  // namespace leafward::ui::win32
