// leafward.exe: the window, drawn with the Win32 API and the common controls.
#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>
#include <ole2.h>

#include <exception>

#include "app/login_dialog.h"
#include "connection/shared_connection.h"
#include "platform/program_text.h"
#include "ui/win32/login_dialog.h"
#include "ui/win32/main_window.h"
#include "ui/win32/message_loop.h"
#include "ui/win32/text.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  INITCOMMONCONTROLSEX controls{sizeof(controls),
                                ICC_BAR_CLASSES | ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  // The shell's folder browser needs COM on this thread.
  OleInitialize(nullptr);
  int exitCode = 0;
  try {
    leafward::connection::SharedConnection shared;
    leafward::ui::win32::LoginViews loginViews(instance);
    leafward::app::LoginDialogHost login(leafward::connection::serverLinkOf(shared), loginViews);
    leafward::ui::win32::MainWindow window(instance, shared, &login);
    loginViews.setOwner(window.handle());
    window.show(show);
    // A file named on the command line ("Open with", or dropped on the program's icon) is
    // opened as Open opens it.
    window.openWhenIdle(leafward::platform::programArguments(0, nullptr));
    exitCode = leafward::ui::win32::runProgram();
  } catch (const std::exception& error) {
    MessageBoxW(nullptr, leafward::ui::win32::wide(error.what()).c_str(), L"Leafward",
                MB_OK | MB_ICONERROR);
    exitCode = 1;
  }
  OleUninitialize();
  return exitCode;
}
