#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace leafward::testing {

// Drives another process's window through its real controls, as a user and a screen reader
// would: finds its windows, reads their texts (status-bar parts and toolbar buttons, whose
// messages Windows does not carry across processes, through the other process's memory), clicks
// and types with real input.
class RemoteWindows {
 public:
  // Starts `program` with `arguments`; the process is ended when this object goes.
  RemoteWindows(const std::wstring& program, const std::wstring& arguments = L"");
  ~RemoteWindows();
  RemoteWindows(const RemoteWindows&) = delete;
  RemoteWindows& operator=(const RemoteWindows&) = delete;

  DWORD processId() const { return process_.dwProcessId; }
  // Whether the process still runs; its exit code once it has ended.
  bool running() const;
  DWORD exitCode() const;
  // Waits for the process to end; false when it did not within `patience`.
  bool waitForExit(std::chrono::milliseconds patience);

  // A visible top-level window of the process that `matches`, waited for; null when none
  // showed within `patience`.
  HWND waitForWindow(const std::function<bool(HWND)>& matches,
                     std::chrono::milliseconds patience = std::chrono::seconds(30)) const;
  // The same for a window of this class and title.
  HWND waitForWindow(const std::wstring& windowClass, const std::wstring& title,
                     std::chrono::milliseconds patience = std::chrono::seconds(30)) const;
  // Whether the process shows no window of this class and title any more.
  bool gone(const std::wstring& windowClass, const std::wstring& title) const;

  // A status bar part's text (SB_GETTEXTW).
  std::wstring statusText(HWND statusBar, int part) const;
  // A toolbar button's place on the screen (TB_GETITEMRECT), by position from 0.
  RECT toolbarButton(HWND toolbar, int position) const;
  // A combo box's list items.
  std::vector<std::wstring> comboItems(HWND combo) const;
  // The text of a list view's cell (LVM_GETITEMTEXTW), also of a virtual list.
  std::wstring listViewText(HWND list, int row, int column) const;
  // Drops files onto a window of the program as the shell does: WM_DROPFILES with a DROPFILES
  // block in the program's own memory.
  void dropFiles(HWND window, const std::vector<std::wstring>& paths) const;
  // The control that has the keyboard focus in the window's thread.
  HWND focus(HWND window) const;
  // Waits until the keyboard focus is in `window` (or one of its controls), so that keys typed
  // now reach it.
  bool waitForFocus(HWND window) const;

 private:
  // Runs `message` with a buffer of `size` bytes in the other process and returns the buffer;
  // `prepare`, when given, fills the buffer first, knowing where it lies over there.
  std::vector<unsigned char> exchange(
      HWND window, UINT message, WPARAM w, std::size_t size, LRESULT* result = nullptr,
      const std::function<void(std::vector<unsigned char>&, std::uintptr_t)>& prepare = {}) const;

  PROCESS_INFORMATION process_{};
};

// The class of a window of any process.
std::wstring className(HWND window);
// A child window of `parent` of this class, the `index`th in the order Windows lists them.
HWND childOfClass(HWND parent, const std::wstring& windowClass, int index = 0);
// The text of a window of any process (WM_GETTEXT, which Windows carries across processes).
std::wstring windowText(HWND window);
// The longest text among the static controls of a box (a message box's message).
std::wstring staticText(HWND box);

// Real input: a left click at a point of the screen; Unicode text typed; one key, with Shift,
// Ctrl or Alt held when asked.
void clickAt(POINT point, bool right = false);
void clickCentre(const RECT& screenRect);
void typeText(const std::wstring& text);
void pressKey(WORD virtualKey, bool shift = false, bool control = false, bool alt = false);

// Waits until `condition` holds; false when it did not within `patience`.
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds patience = std::chrono::seconds(30));

// Saves what the screen shows of `window` (its frame included) as a PNG file.
void saveScreenshot(HWND window, const std::wstring& path);

// The clipboard's Unicode text.
std::wstring clipboardText();

std::wstring wideText(const std::string& utf8);
std::string utf8Text(const std::wstring& wide);

}  // namespace leafward::testing
