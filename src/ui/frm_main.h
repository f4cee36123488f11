#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

#include "audit/workbench.h"
#include "connection/shared_connection.h"

class QLabel;
class QStatusBar;
class QToolBar;

namespace leafward::ui {

class Dialogs;
class ResultBox;
class WindowWorkbench;

// The main window: a toolbar of five commands, the result box that carries every report, and
// a status bar with the name of what was opened last and a clock.
class FrmMain : public QWidget {
  Q_OBJECT
 public:
  // Key codes and shift bits as the key handler receives them.
  static constexpr int kKeyF1 = 112;
  static constexpr int kShiftBit = 1, kCtrlBit = 2, kAltBit = 4;

  // Runs the start-up of `shared`; opens nothing.
  FrmMain(connection::SharedConnection& shared, Dialogs& dialogs, QWidget* parent = nullptr);
  ~FrmMain() override;

  // The toolbar handler: runs the command whose key matches exactly ("Link", "Open", "Check",
  // "Update", "help"); any other key does nothing. Every command step that fails is skipped.
  void tbToolBarButtonClick(const QString& key);
  // The key handler, which sees every key of the window before the control with the focus:
  // F1 shows the notice whatever the shift state.
  void formKeyDown(int keyCode, int shift);
  // The clock tick: shows the time, enables the window and restores the normal pointer.
  void timer1Timer();

  // The server login dialog, shown modally by "Link"; without one "Link" does nothing.
  void setLoginDialog(std::function<void()> showModal) { showLogin_ = std::move(showModal); }

  audit::Workbench& workbench();
  int mousePointer() const;

 signals:
  // The window was closed and the connection shut down: the program ends.
  void closed();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void commandLink();
  void commandOpen();
  void commandCheck();
  void commandUpdate();
  void armClock();

  connection::SharedConnection& shared_;
  Dialogs& dialogs_;
  std::function<void()> showLogin_;
  QToolBar* tbToolBar_ = nullptr;
  ResultBox* txtResult_ = nullptr;
  QStatusBar* sbStatusBar_ = nullptr;
  QLabel* panel1_ = nullptr;
  QLabel* panel2_ = nullptr;
  QTimer clock_;
  std::unique_ptr<WindowWorkbench> workbench_;
};

}  // namespace leafward::ui
