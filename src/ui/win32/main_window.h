#pragma once

#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "app/main_window.h"
#include "connection/shared_connection.h"

namespace leafward::ui::win32 {

// The main window drawn with the Win32 API and the common controls: a fixed tool window with
// one toolbar, one multi-line edit control and one status bar of two parts, laid out from the
// design table at the DPI of the screen it is on. It forwards its events to the window's logic
// and does what that asks.
class MainWindow : private app::MainView {
 public:
  MainWindow(HINSTANCE instance, connection::SharedConnection& shared, app::LoginDialogHost* login);
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  HWND handle() const { return window_; }
  void show(int how);
  // Opens the files the program was started with, as soon as the window is idle.
  void openWhenIdle(std::vector<std::string> files);

 private:
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM w, LPARAM l);
  LRESULT handle(UINT message, WPARAM w, LPARAM l);
  void create();
  void onCreate();
  void createControls();
  void addToolbarButtons();
  void onDpiChanged(UINT dpi, const RECT& suggested);
  bool onCommand(int command, HWND from);
  LRESULT onNotify(const NMHDR& header);
  void onActivate(bool active);
  void onDropFiles(HDROP drop);
  void applyDpi(UINT dpi);
  void layout();
  void armClock();
  bool previewKey(const MSG& message);
  static LRESULT CALLBACK resultBoxProcedure(HWND box, UINT message, WPARAM w, LPARAM l, UINT_PTR,
                                             DWORD_PTR self);
  void showResultMenu(LPARAM at);
  bool resultMenuItemEnabled(app::ResultMenuItem item, bool selected) const;
  void resultMenuItemChosen(app::ResultMenuItem item);

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

  HINSTANCE instance_;
  app::MainWindow logic_;
  HWND window_ = nullptr;
  HWND toolbar_ = nullptr;
  HWND result_ = nullptr;
  HWND status_ = nullptr;
  HFONT font_ = nullptr;
  HIMAGELIST pictures_ = nullptr;
  HICON classIcon_ = nullptr;
  HICON icons_[2] = {nullptr, nullptr};
  HWND focusBeforeBusy_ = nullptr;
  bool wait_ = false;
  std::vector<std::string> toOpen_;
};

}  // namespace leafward::ui::win32
