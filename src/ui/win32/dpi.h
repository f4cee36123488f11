#pragma once

#include <windows.h>

namespace leafward::ui::win32 {

// Pixels at `dpi` for a size designed in pixels at 96 dots per inch.
inline int scaled(int designPixels, UINT dpi) {
  return MulDiv(designPixels, static_cast<int>(dpi), 96);
}

// The system's message font at `dpi` (Microsoft YaHei UI on a Chinese Windows); the caller
// deletes it.
HFONT createMessageFont(UINT dpi);

// Resizes `window` so that its client area is `width` x `height` pixels at its own DPI.
void setClientSize(HWND window, int width, int height);

}  // namespace leafward::ui::win32
