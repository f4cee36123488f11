#pragma once

#include <windows.h>

#include "app/layout.h"

namespace leafward::ui::win32 {

// The login dialog's control ids, from the design table's order; the cancel button has the one
// that Esc presses in every dialog.
constexpr int controlId(app::LoginControl control) {
  return app::design(control).role == app::ButtonRole::Cancel ? IDCANCEL
                                                              : 1000 + static_cast<int>(control);
}

}  // namespace leafward::ui::win32
