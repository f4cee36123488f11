#include "ui/win32/modal_dialog.h"

#include <stdexcept>
#include <string>

#include "ui/win32/controls.h"
#include "ui/win32/message_loop.h"
#include "ui/win32/modal.h"

namespace leafward::ui::win32 {

ModalDialog::~ModalDialog() {
  destroy();
}

void ModalDialog::make(const char* what) {
  EmptyDialog empty;
  CreateDialogIndirectParamW(instance_, &empty.header, owner_, &ModalDialog::procedure,
                             reinterpret_cast<LPARAM>(this));
  if (!dialog_) throw std::runtime_error(std::string("the ") + what + " could not be made");
}

void ModalDialog::destroy() {
  if (!dialog_) return;
  // Its last messages find no dialog object: the one being destroyed may be half gone.
  SetWindowLongPtrW(dialog_, DWLP_USER, 0);
  DestroyWindow(dialog_);
  dialog_ = nullptr;
}

INT_PTR CALLBACK ModalDialog::procedure(HWND dialog, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<ModalDialog*>(l);
    self->dialog_ = dialog;
    SetWindowLongPtrW(dialog, DWLP_USER, l);
  }
  auto* self = reinterpret_cast<ModalDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (!self) return FALSE;
  if (message == WM_NCDESTROY) {
    // Windows destroys the dialog with its owner: nothing of it is left to destroy or show.
    SetWindowLongPtrW(dialog, DWLP_USER, 0);
    self->dialog_ = nullptr;
    self->showing_ = false;
    self->destroyed();
    return FALSE;
  }
  // The dialog's logic tells the user what goes wrong. Nothing else may unwind through
  // Windows' own code, which cannot carry an exception (a failed allocation, say).
  try {
    return self->handle(message, w, l);
  } catch (...) {
    return TRUE;
  }
}

void ModalDialog::runModal(const std::function<void()>& whenShown) {
  if (!dialog_) return;  // gone with its owner
  ModalScope modal;
  showing_ = true;
  if (owner_) EnableWindow(owner_, FALSE);
  ShowWindow(dialog_, SW_SHOW);
  if (whenShown) whenShown();
  runMessages([this] { return !showing_; }, dialog_);
  // The owner first, so that Windows hands the activation back to it, not to another program.
  if (owner_) EnableWindow(owner_, TRUE);
  if (dialog_) ShowWindow(dialog_, SW_HIDE);
  if (owner_) SetActiveWindow(owner_);
}

}  // namespace leafward::ui::win32
