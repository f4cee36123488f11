#pragma once

#include <QRect>
#include <QWidget>
#include <span>
#include <vector>

#include "app/layout.h"

namespace leafward::ui {

// Makes `window` the fixed tool window of its design: its name, caption and client size (a thin
// title bar with a close box only, not resizable).
void designWindow(QWidget& window, const app::WindowDesign& design);

// A place of the design table in pixels at 96 DPI (Qt scales them to the screen).
QRect pixelRect(const app::Twips& place);

// The Qt control of a design table's entry, with its caption, as a child of `parent`. A combo
// box is editable and adds nothing to its list when Enter is pressed in it.
QWidget* makeControl(const app::ControlDesign& design, QWidget* parent);

// The controls of a dialog's design table, named and placed as designed, Tab going from one to
// the next in the table's order (labels take no focus).
std::vector<QWidget*> makeControls(std::span<const app::ControlDesign> designs, QWidget* parent);

}  // namespace leafward::ui
