#pragma once

#include <QLabel>
#include <QPlainTextEdit>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "connection/shared_connection.h"
#include "support/fake_session.h"
#include "ui/dialogs.h"
#include "ui/frm_main.h"

namespace leafward::testing {

// Answers the window's boxes and remembers what they were asked.
class FakeDialogs : public ui::Dialogs {
 public:
  struct OpenRequest {
    QString title, filter, defaultSuffix;
  };
  struct Message {
    QString text, title;
  };
  QStringList fileAnswers;  // taken in order; empty: Cancel
  std::vector<OpenRequest> openRequests;
  std::vector<Message> messages;
  std::function<void()> whileMessageShown;

  QString askOpenFileName(QWidget*, const QString& title, const QString& filter,
                          const QString& defaultSuffix) override {
    openRequests.push_back({title, filter, defaultSuffix});
    return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
  }
  void showMessage(QWidget*, const QString& text, const QString& title) override {
    messages.push_back({text, title});
    if (whileMessageShown) whileMessageShown();
  }
};

// The main window over a shared connection and fake boxes.
struct WindowHarness {
  connection::SharedConnection shared;
  FakeDialogs dialogs;
  std::unique_ptr<ui::FrmMain> window = std::make_unique<ui::FrmMain>(shared, dialogs);

  void adopt(std::unique_ptr<FakeSession> session) { shared.cnData.adopt(std::move(session)); }
  QPlainTextEdit* box() const { return window->findChild<QPlainTextEdit*>("txtResult"); }
  QLabel* panel(int n) const { return window->findChild<QLabel*>(n == 1 ? "panel1" : "panel2"); }
  std::string report() { return window->workbench().reportText(); }
  bool busy() const {
    return !window->isEnabled() && window->mousePointer() == audit::kPointerHourglass;
  }
};

}  // namespace leafward::testing
