#pragma once

#include <windows.h>

#include "app/layout.h"

namespace leafward::ui::win32 {

// The login dialog's control ids, from the design table's order; Cancel has the one that Esc
// presses in every dialog.
constexpr int controlId(app::LoginControl control) {
  return control == app::LoginControl::cmdCancel ? IDCANCEL : 1000 + static_cast<int>(control);
}

}  // namespace leafward::ui::win32
