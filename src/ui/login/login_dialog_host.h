#pragma once

#include <memory>

#include "ui/login/frm_login.h"

namespace leafward::ui {

// Keeps the login dialog between "Link" commands: loaded on first use, only hidden by
// Cancel, dropped when a successful OK or the close box unloads it.
class LoginDialogHost {
 public:
  LoginDialogHost(LoginTarget target, LoginPrompts& prompts)
      : target_(std::move(target)), prompts_(prompts) {}

  // Shows the dialog modally, loading it first when needed, and returns when it is hidden or
  // unloaded.
  void showModal();

  // The dialog while it is loaded (shown or hidden), otherwise null.
  FrmLogin* loaded() const { return dialog_.get(); }

 private:
  LoginTarget target_;
  LoginPrompts& prompts_;
  std::unique_ptr<FrmLogin> dialog_;
};

}  // namespace leafward::ui
