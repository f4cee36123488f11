#pragma once

#include <QString>

class QWidget;

namespace leafward::ui {

// The modal boxes the login dialog shows. Tests put a stand-in here that answers them.
class LoginPrompts {
 public:
  virtual ~LoginPrompts() = default;
  // A message box with an OK button only and no icon.
  virtual void showMessage(QWidget* parent, const QString& text, const QString& title) = 0;
  // The computer picker, modal to `owner`: the chosen name, or an empty text.
  virtual QString browseForComputer(QWidget* owner) = 0;
};

// The real boxes.
class QtLoginPrompts : public LoginPrompts {
 public:
  void showMessage(QWidget* parent, const QString& text, const QString& title) override;
  QString browseForComputer(QWidget* owner) override;
};

}  // namespace leafward::ui
