#pragma once

#include <QLabel>
#include <QPlainTextEdit>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "support/fake_session.h"
#include "ui/dialogs.h"
#include "ui/frm_main.h"

namespace leafward::testing {

// Answers the window's boxes from a script and remembers what they were asked.
class FakeDialogs : public ui::Dialogs {
 public:
  QStringList fileAnswers;  // taken in order; none left: Cancel
  std::vector<QStringList> asked;
  std::function<void()> whileMessageShown;

  QString askOpenFileName(QWidget*, const QString& title, const QString& filter,
                          const QString& suffix) override {
    asked.push_back({"open", title, filter, suffix});
    return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
  }
  void showMessage(QWidget*, const QString& text, const QString& title) override {
    asked.push_back({"message", text, title});
    if (whileMessageShown) whileMessageShown();
  }
};

// The main window over a shared connection and scripted boxes.
struct WindowHarness {
  connection::SharedConnection shared;
  FakeDialogs dialogs;
  std::unique_ptr<ui::FrmMain> window = std::make_unique<ui::FrmMain>(shared, dialogs);

  QPlainTextEdit* box() const { return window->findChild<QPlainTextEdit*>("txtResult"); }
  QLabel* panel(int n) const { return window->findChild<QLabel*>(n == 1 ? "panel1" : "panel2"); }
  std::string report() const { return window->workbench().reportText(); }
  bool busy() const {
    return !window->isEnabled() && window->mousePointer() == audit::kPointerHourglass;
  }
};

}  // namespace leafward::testing
