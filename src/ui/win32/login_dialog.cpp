#include "ui/win32/login_dialog.h"

#include <commctrl.h>
#include <imm.h>

#include <cstddef>
#include <stdexcept>
#include <vector>

#include "ui/win32/computer_browser.h"
#include "ui/win32/dpi.h"
#include "ui/win32/message_loop.h"
#include "ui/win32/modal.h"
#include "ui/win32/text.h"

namespace leafward::ui::win32 {
namespace {

using app::ControlKind;
using app::LoginControl;

constexpr int kListRows = 8;  // how many names the open list shows

// An empty dialog template: the controls are made from the design table once it exists.
struct alignas(4) EmptyDialog {
  DLGTEMPLATE header{
      WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, WS_EX_TOOLWINDOW, 0, 0, 0, 0, 0};
  WORD menu = 0, windowClass = 0, title = 0;
};

struct ControlStyle {
  const wchar_t* windowClass;
  DWORD style;
  DWORD extended;
};

ControlStyle styleOf(const app::ControlDesign& design) {
  switch (design.kind) {
    case ControlKind::Label:
      return {L"STATIC", SS_LEFT | SS_NOPREFIX, 0};
    case ControlKind::TextBox:
      return {L"EDIT", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
    case ControlKind::PasswordBox:
      return {L"EDIT", WS_TABSTOP | ES_AUTOHSCROLL | ES_PASSWORD, WS_EX_CLIENTEDGE};
    case ControlKind::Button:
      // Enter presses the default button.
      return {L"BUTTON",
              static_cast<DWORD>(
                  WS_TABSTOP |
                  (design.role == app::ButtonRole::Default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON)),
              0};
    case ControlKind::ComboBox:
      return {WC_COMBOBOXW, WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL, 0};
  }
  return {L"STATIC", 0, 0};
}

}  // namespace

LoginDialog::LoginDialog(HINSTANCE instance, HWND owner, app::LoginDialog& logic)
    : instance_(instance), owner_(owner), logic_(logic) {
  EmptyDialog empty;
  CreateDialogIndirectParamW(instance_, &empty.header, owner_, &LoginDialog::procedure,
                             reinterpret_cast<LPARAM>(this));
  if (!dialog_) throw std::runtime_error("the login dialog could not be made");
}

LoginDialog::~LoginDialog() {
  if (dialog_) DestroyWindow(dialog_);
  if (font_) DeleteObject(font_);
}

INT_PTR CALLBACK LoginDialog::procedure(HWND dialog, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<LoginDialog*>(l);
    self->dialog_ = dialog;
    SetWindowLongPtrW(dialog, DWLP_USER, l);
  }
  auto* self = reinterpret_cast<LoginDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (!self) return FALSE;
  if (message == WM_NCDESTROY) {
    // Windows destroys the dialog with its owner: nothing of it is left to destroy or show.
    SetWindowLongPtrW(dialog, DWLP_USER, 0);
    self->dialog_ = nullptr;
    self->controls_.fill(nullptr);
    self->pendingFocus_ = nullptr;
    self->showing_ = false;
    return FALSE;
  }
  // The dialog's logic tells the user what goes wrong in its buttons. Nothing else may unwind
  // through Windows' own code, which cannot carry an exception (a failed allocation, say).
  try {
    return self->handle(message, w, l);
  } catch (...) {
    return TRUE;
  }
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
  HWND previous = HWND_TOP;
  for (int i = 0; i < app::kLoginControlCount; ++i) {
    const auto control = static_cast<LoginControl>(i);
    const app::ControlDesign& design = app::kLoginControls[i];
    const ControlStyle style = styleOf(design);
    HWND made = CreateWindowExW(style.extended, style.windowClass, wide(design.caption).c_str(),
                                WS_CHILD | WS_VISIBLE | style.style, 0, 0, 0, 0, dialog_,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId(control))),
                                instance_, nullptr);
    SetWindowPos(made, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    previous = made;
    controls_[i] = made;
  }
  HWND password = item(LoginControl::txtPassword);
  SendMessageW(password, EM_SETPASSWORDCHAR, static_cast<WPARAM>(app::kPasswordCharacter), 0);
  // No input method for the password: what is typed is what is sent.
  ImmAssociateContextEx(password, nullptr, 0);
  SendMessageW(dialog_, DM_SETDEFID, controlId(app::buttonOf(app::ButtonRole::Default)), 0);
}

void LoginDialog::applyDpi(UINT dpi) {
  const int scale = static_cast<int>(dpi);
  // The new font is in use before the old one is deleted.
  HFONT font = createMessageFont(dpi);
  for (int i = 0; i < app::kLoginControlCount; ++i) {
    const app::Twips& place = app::kLoginControls[i].place;
    int height = app::pixels(place.height, scale);
    // A combo box's height includes its open list.
    if (app::kLoginControls[i].kind == ControlKind::ComboBox) height *= kListRows;
    SendMessageW(controls_[i], WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SetWindowPos(controls_[i], nullptr, app::pixels(place.left, scale),
                 app::pixels(place.top, scale), app::pixels(place.width, scale), height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (font_) DeleteObject(font_);
  font_ = font;
  setClientSize(dialog_, app::pixels(app::kLoginDialog.clientWidth, scale),
                app::pixels(app::kLoginDialog.clientHeight, scale));
  InvalidateRect(dialog_, nullptr, TRUE);
}

HWND LoginDialog::item(LoginControl control) const {
  return controls_[static_cast<std::size_t>(control)];
}

void LoginDialog::centreOnScreen() {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  GetMonitorInfoW(MonitorFromWindow(owner_ ? owner_ : dialog_, MONITOR_DEFAULTTOPRIMARY), &monitor);
  RECT frame;
  GetWindowRect(dialog_, &frame);
  const RECT& work = monitor.rcWork;
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  SetWindowPos(dialog_, nullptr, work.left + (work.right - work.left - width) / 2,
               work.top + (work.bottom - work.top - height) / 2, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
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
  if (!dialog_) return;  // gone with its owner
  ModalScope modal;
  if (!placed_) {
    if (app::kLoginDialog.placement == app::Placement::CentreOfScreen) centreOnScreen();
    placed_ = true;
  }
  showing_ = true;
  if (owner_) EnableWindow(owner_, FALSE);
  ShowWindow(dialog_, SW_SHOW);
  if (pendingFocus_) {
    SendMessageW(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(pendingFocus_), TRUE);
    pendingFocus_ = nullptr;
  }
  runMessages([this] { return !showing_; }, dialog_);
  // The owner first, so that Windows hands the activation back to it, not to another program.
  if (owner_) EnableWindow(owner_, TRUE);
  ShowWindow(dialog_, SW_HIDE);
  if (owner_) SetActiveWindow(owner_);
}

void LoginDialog::end() {
  showing_ = false;
}

std::unique_ptr<app::LoginView> LoginViews::createLoginView(app::LoginDialog& dialog) {
  return std::make_unique<LoginDialog>(instance_, owner_, dialog);
}

}  // namespace leafward::ui::win32
