#include "ui/win32/message_loop.h"

#include <utility>

namespace leafward::ui::win32 {
namespace {

KeyPreview& keyPreview() {
  static KeyPreview preview;
  return preview;
}

bool isKey(const MSG& message) {
  return message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN;
}

// Runs one message; false on WM_QUIT, with `exitCode` set.
bool dispatchOne(HWND dialog, int& exitCode) {
  MSG message;
  const BOOL got = GetMessageW(&message, nullptr, 0, 0);
  if (got == 0 || got == -1) {
    exitCode = got == 0 ? static_cast<int>(message.wParam) : 1;
    return false;
  }
  if (isKey(message) && keyPreview() && keyPreview()(message)) return true;
  if (dialog && IsDialogMessageW(dialog, &message)) return true;
  TranslateMessage(&message);
  DispatchMessageW(&message);
  return true;
}

}  // namespace

void setKeyPreview(KeyPreview preview) {
  keyPreview() = std::move(preview);
}

bool runMessages(const std::function<bool()>& done, HWND dialog) {
  int exitCode = 0;
  while (!done()) {
    if (!dispatchOne(dialog, exitCode)) {
      PostQuitMessage(exitCode);
      return false;
    }
  }
  return true;
}

int runProgram() {
  int exitCode = 0;
  while (dispatchOne(nullptr, exitCode)) {
  }
  return exitCode;
}

}  // namespace leafward::ui::win32
