#pragma once

#include <windows.h>

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/layout.h"

namespace leafward::ui::win32 {

// An empty dialog template, a fixed tool window: the controls are made from the design table
// once it exists.
struct alignas(4) EmptyDialog {
  DLGTEMPLATE header{
      WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, WS_EX_TOOLWINDOW, 0, 0, 0, 0, 0};
  WORD menu = 0, windowClass = 0, title = 0;
};

// The controls of a dialog's design table, made as children of `dialog` in tab order (each
// placed after the one before it), each with the id `idOf(position)`.
std::vector<HWND> createControls(HINSTANCE instance, HWND dialog,
                                 std::span<const app::ControlDesign> designs,
                                 const std::function<int(int)>& idOf);

// Places the controls at their design places at `dpi` and gives them `font`; a combo box's
// height includes its open list. Then sizes the dialog's client area to `window`'s design.
void placeControls(HWND dialog, std::span<const HWND> controls,
                   std::span<const app::ControlDesign> designs, const app::WindowDesign& window,
                   HFONT font, UINT dpi);

// The common file box, modal to `owner`, suggesting the name `suggested`: the chosen full path
// (UTF-8), or "" when the user cancelled. To open, a typed name need not exist; to save, an
// existing file is chosen only after the user said so.
enum class FileBoxUse { Open, Save };
std::string askFileName(HWND owner, const app::FileBoxDesign& box, FileBoxUse use,
                        std::string_view suggested = {});

// Centres a window on the work area of the screen its owner (or itself) is on.
void centreOnScreen(HWND window, HWND owner);

}  // namespace leafward::ui::win32
