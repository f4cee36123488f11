#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "app/layout.h"

namespace leafward::app {

class LoginDialog;

// What the login dialog's logic asks of a front-end: read and write its boxes, fill the list,
// enable a button, move the focus, show a box, and end the modal showing. Texts are UTF-8.
class LoginView {
 public:
  virtual ~LoginView() = default;

  // The text of a text box, the password box or the database box (what its edit part holds).
  virtual std::string text(LoginControl control) const = 0;
  virtual void setText(LoginControl control, std::string_view text) = 0;
  // The database box's list: emptied together with its text; a name added at its end; the
  // number of names; one selected by position, which also puts it into the box's text.
  virtual void clearList() = 0;
  virtual void addListItem(std::string_view name) = 0;
  virtual int listCount() const = 0;
  virtual void selectListItem(int index) = 0;

  virtual void setEnabled(LoginControl control, bool enabled) = 0;
  virtual void setFocus(LoginControl control) = 0;

  // A message box with an OK button only and no icon, modal to the dialog.
  virtual void showMessage(std::string_view text, std::string_view title) = 0;
  // The computer picker, modal to the dialog: the chosen computer's name, or "".
  virtual std::string browseForComputer() = 0;

  // Shows the dialog modally and returns once end() has been called.
  virtual void showModal() = 0;
  // Ends the modal showing: the dialog disappears, keeping what its controls hold.
  virtual void end() = 0;
};

// Makes the front-end's dialog for one loaded login dialog; the view forwards its events to
// `dialog` and lives until the dialog is unloaded.
class LoginViewFactory {
 public:
  virtual ~LoginViewFactory() = default;
  virtual std::unique_ptr<LoginView> createLoginView(LoginDialog& dialog) = 0;
};

}  // namespace leafward::app
