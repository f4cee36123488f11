#pragma once

#include <QString>

class QWidget;

namespace leafward::ui {

// The modal boxes the main window shows. Tests put a stand-in here that answers them.
class Dialogs {
 public:
  virtual ~Dialogs() = default;

  // A file-open box with one filter entry (Qt's "description(pattern)" form) whose typed name
  // need not exist. Returns the chosen path, or an empty text when the user cancelled.
  virtual QString askOpenFileName(QWidget* parent, const QString& title, const QString& filter,
                                  const QString& defaultSuffix) = 0;

  // A message box with an OK button only and no icon; `text` may hold CR LF line breaks.
  virtual void showMessage(QWidget* parent, const QString& text, const QString& title) = 0;
};

// The real boxes.
class QtDialogs : public Dialogs {
 public:
  QString askOpenFileName(QWidget* parent, const QString& title, const QString& filter,
                          const QString& defaultSuffix) override;
  void showMessage(QWidget* parent, const QString& text, const QString& title) override;
};

}  // namespace leafward::ui
