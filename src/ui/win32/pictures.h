#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

namespace leafward::ui::win32 {

// The toolbar's picture list at `size` x `size` pixels, in the design table's order, drawn
// from the icons the build made of the same artwork the Qt window draws. The caller destroys
// it.
HIMAGELIST createToolbarPictures(HINSTANCE instance, int size);

// The window's own icon (resource 1) at `size` x `size` pixels.
HICON loadWindowIcon(HINSTANCE instance, int size);

}  // namespace leafward::ui::win32
