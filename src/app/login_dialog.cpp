#include "app/login_dialog.h"

#include <exception>

#include "connection/steps.h"

namespace leafward::app {
namespace {

using connection::OnFailure;

}  // namespace

template <class Step>
void LoginDialog::guarded(Step&& step) {
  try {
    step();
  } catch (const std::exception& error) {
    // What went wrong is told, not lost; the dialog stays as it is.
    connection::attempt([&] { view_->showMessage(error.what(), kLoginDialog.caption); });
  }
}

LoginDialog::LoginDialog(connection::ServerLink target, Memory& memory)
    : target_(std::move(target)), memory_(memory) {}

bool LoginDialog::connect(const connection::ServerLogin& login) {
  if (!connection::openServerConnection(target_, login, OnFailure::SkipStep)) return false;
  memory_.connectedServer = login.server;
  return true;
}

void LoginDialog::load() {
  guarded([&] {
    for (int i = 0; i < kLoginControlCount; ++i) {
      const auto control = static_cast<LoginControl>(i);
      const ControlDesign& designed = kLoginControls[i];
      if (designed.kind == ControlKind::TextBox || designed.kind == ControlKind::PasswordBox) {
        view_->setText(control, designed.caption);
      }
      view_->setEnabled(control, designed.enabledAtLoad);
    }
    view_->clearList();
    view_->setFocus(LoginControl::txtUserName);
  });
}

void LoginDialog::refreshClick() {
  guarded([&] {
    const connection::ServerLogin login{view_->text(LoginControl::txtPassword),
                                        view_->text(LoginControl::txtUserName), std::nullopt};
    if (!connect(login)) {
      reportFailedLogin();
      return;
    }
    const bool listed = connection::listAccountSets(
        target_, OnFailure::SkipStep, [&] { view_->clearList(); },
        [&](const std::string& name) { view_->addListItem(name); });
    if (!listed) return;
    if (view_->listCount() >= 1) view_->selectListItem(0);
    // From the first refresh whose list opened, OK stays enabled until the dialog is unloaded.
    view_->setEnabled(LoginControl::cmdOK, true);
  });
}

void LoginDialog::okClick() {
  guarded([&] {
    const connection::ServerLogin login{view_->text(LoginControl::txtPassword),
                                        view_->text(LoginControl::txtUserName),
                                        view_->text(LoginControl::dbList)};
    if (connect(login)) {
      unload();
    } else {
      reportFailedLogin();
    }
  });
}

void LoginDialog::cancelClick() {
  guarded([&] { view_->end(); });
}

void LoginDialog::selectClick() {
  guarded([&] {
    const std::string name = view_->browseForComputer();
    if (!name.empty()) memory_.lastServer = name;
    // Also after a cancelled pick: the box gets the last name picked in this run, or nothing.
    view_->setText(LoginControl::txtUserName, memory_.lastServer);
  });
}

void LoginDialog::closeBox() {
  guarded([&] { unload(); });
}

void LoginDialog::reportFailedLogin() {
  // Every reason a connection did not open (wrong password, no such server or database) is
  // told the same way.
  view_->showMessage(kWrongPassword, kWrongPasswordTitle);
  view_->setFocus(LoginControl::txtPassword);
}

void LoginDialog::unload() {
  unloaded_ = true;
  view_->end();
}

LoginDialogHost::~LoginDialogHost() {
  drop();
}

void LoginDialogHost::showModal() {
  if (!dialog_) {
    auto dialog = std::make_unique<LoginDialog>(target_, memory_);
    auto view = views_.createLoginView(*dialog);
    dialog->attach(*view);
    dialog->load();
    dialog_ = std::move(dialog);
    view_ = std::move(view);
  }
  view_->showModal();
  if (dialog_->unloaded()) drop();
}

void LoginDialogHost::drop() {
  // The view forwards to the dialog: it goes first.
  view_.reset();
  dialog_.reset();
}

}  // namespace leafward::app
