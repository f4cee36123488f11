#pragma once

#include <QIcon>

namespace leafward::ui {

// The toolbar's picture list, in order: 1 an opening folder, 2 a computer with a globe,
// 3 ABC with a tick, 4 a wrench, 5 a yellow question mark, 6 an arrow with a question mark.
// Buttons pick their picture by position (1-based).
QIcon toolbarPicture(int position);
inline constexpr int kToolbarPictureCount = 6;

// The main window's icon, 32 x 32.
QIcon leafwardIcon();

}  // namespace leafward::ui
