#include "ui/login/login_dialog_host.h"

namespace leafward::ui {

void LoginDialogHost::showModal() {
  if (!dialog_) dialog_ = std::make_unique<FrmLogin>(target_, prompts_);
  dialog_->exec();
  if (dialog_->unloaded()) dialog_.reset();
}

}  // namespace leafward::ui
