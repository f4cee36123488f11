#pragma once

#include <windows.h>

#include <functional>

namespace leafward::ui::win32 {

// Sees every key message of the window thread before it is dispatched; returns true when it
// took the key.
using KeyPreview = std::function<bool(const MSG&)>;
void setKeyPreview(KeyPreview preview);

// Runs the window thread's messages until `done` holds, handing dialog keys (Tab, Enter, Esc)
// to `dialog` when one is given. Returns false when the program is ending (WM_QUIT), which is
// then left for the outermost loop.
bool runMessages(const std::function<bool()>& done, HWND dialog = nullptr);

// The outermost loop: runs until WM_QUIT and returns its exit code.
int runProgram();

}  // namespace leafward::ui::win32
