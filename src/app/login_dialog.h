#pragma once

#include <memory>
#include <string>

#include "app/login_view.h"
#include "connection/server_login.h"

namespace leafward::app {

inline constexpr std::string_view kWrongPassword = "口令错误";
inline constexpr std::string_view kWrongPasswordTitle = "Login";

// Everything the server login dialog decides, without a toolkit. Refresh connects to the
// server's master database and lists its account sets; OK opens the chosen one and unloads the
// dialog; Cancel only hides it, keeping the server name, the password, the list and the state
// of OK for the next time; the close box unloads it. Refresh and OK skip any step that fails.
// No exception leaves the calls a front-end makes: whatever goes wrong inside one is shown in a
// message box titled with the dialog's caption.
class LoginDialog {
 public:
  // What outlives the dialog: the last name the computer picker returned in this run, and the
  // server the connection was last opened on.
  struct Memory {
    std::string lastServer;
    std::string connectedServer;
  };
  LoginDialog(connection::ServerLink target, Memory& memory);

  // The front-end's dialog; set once, before load().
  void attach(LoginView& view) { view_ = &view; }
  // Loading: the server box says "(local)", the password and the database box are empty, OK is
  // disabled, and the focus is in the server box.
  void load();

  void refreshClick();
  void okClick();
  void cancelClick();
  void selectClick();
  void closeBox();

  // True once a successful OK or the close box has unloaded the dialog.
  bool unloaded() const { return unloaded_; }

 private:
  template <class Step>
  void guarded(Step&& step);
  void reportFailedLogin();
  void unload();

  // Opens the connection on what the boxes name; false when it did not open.
  bool connect(const connection::ServerLogin& login);

  connection::ServerLink target_;
  Memory& memory_;
  LoginView* view_ = nullptr;
  bool unloaded_ = false;
};

// Keeps the login dialog between "Link" commands: loaded on first use, only hidden by Cancel,
// dropped when it is unloaded.
class LoginDialogHost {
 public:
  LoginDialogHost(connection::ServerLink target, LoginViewFactory& views)
      : target_(std::move(target)), views_(views) {}
  ~LoginDialogHost();

  // Shows the dialog modally, loading it first when needed; returns once it is hidden or
  // unloaded.
  void showModal();
  // The dialog while it is loaded (shown or hidden), otherwise null.
  LoginDialog* loaded() const { return dialog_.get(); }
  // The last non-empty computer name the picker returned in this run.
  const std::string& lastServer() const { return memory_.lastServer; }
  // The server name the dialog last opened a connection on, as typed.
  const std::string& connectedServer() const { return memory_.connectedServer; }

 private:
  void drop();

  connection::ServerLink target_;
  LoginViewFactory& views_;
  LoginDialog::Memory memory_;
  std::unique_ptr<LoginDialog> dialog_;
  std::unique_ptr<LoginView> view_;
};

}  // namespace leafward::app
