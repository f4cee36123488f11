#pragma once

#include <QIcon>

namespace leafward::ui {

// A picture of the toolbar's list by its position (from 1), drawn from the artwork the design
// table names; an empty icon for any other position.
QIcon toolbarPicture(int position);

// The main window's icon, 32 x 32.
QIcon leafwardIcon();

}  // namespace leafward::ui
