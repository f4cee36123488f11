#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include "app/main_window.h"
#include "connection/shared_connection.h"

class QLabel;
class QStatusBar;
class QToolBar;

namespace leafward::ui {

class ResultBox;

// The main window drawn with Qt Widgets: the toolbar, the result box and the status bar of the
// design table. It forwards its events to the window's logic and does what that asks.
class FrmMain : public QWidget, private app::MainView {
  Q_OBJECT
 public:
  // Loads the window's logic over `shared`; `login` is the dialog "Link" shows.
  // Repairs are recorded in `recordFolder`, or in the user's own folder when it is empty.
  explicit FrmMain(connection::SharedConnection& shared, app::LoginDialogHost* login = nullptr,
                   std::string recordFolder = {}, QWidget* parent = nullptr);
  ~FrmMain() override;

  app::MainWindow& logic() { return logic_; }
  // Opens the files the program was started with ("Open with"), once the window is idle.
  void openGivenLater(const QStringList& files);

 signals:
  // The window was closed and the connection shut down: the program ends.
  void closed();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  // Files dropped onto the window go to the logic, which opens an Access file.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  std::string resultText() const override;
  void setResultText(std::string_view text) override;
  void setPanelText(int panel, std::string_view text) override;
  void setWindowEnabled(bool enabled) override;
  void setWaitPointer(bool wait) override;
  std::string askOpenFileName(const app::FileBoxDesign& box) override;
  void showMessage(std::string_view text, std::string_view title) override;
  bool askYesNo(std::string_view text, std::string_view title) override;
  void showDetails(app::DetailsWindow& details) override;
  std::string timeOfDay() const override;
  void requestTick() override;

  void armClock();
  void showResultMenu(const QPoint& at);

  app::MainWindow logic_;
  QToolBar* tbToolBar_ = nullptr;
  ResultBox* txtResult_ = nullptr;
  QStatusBar* sbStatusBar_ = nullptr;
  QLabel* panels_[2] = {nullptr, nullptr};
  QTimer clock_;
  QPointer<QWidget> focusBeforeBusy_;
  bool waitPointer_ = false;
};

}  // namespace leafward::ui
