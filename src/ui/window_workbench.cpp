#include "ui/window_workbench.h"

#include <QGuiApplication>
#include <QWidget>

#include "ui/result_box.h"

namespace leafward::ui {

WindowWorkbench::~WindowWorkbench() {
  setMousePointer(audit::kPointerDefault);
}

std::string WindowWorkbench::reportText() const {
  return box_.text();
}

void WindowWorkbench::setReportText(std::string text) {
  box_.setText(std::move(text));
}

void WindowWorkbench::setEnabled(bool enabled) {
  if (!enabled && window_.isEnabled()) focusBeforeBusy_ = window_.focusWidget();
  window_.setEnabled(enabled);
  // Disabling the window took the focus from the control that had it: give it back.
  if (enabled && focusBeforeBusy_ && !window_.focusWidget()) focusBeforeBusy_->setFocus();
  if (enabled) focusBeforeBusy_ = nullptr;
}

void WindowWorkbench::setMousePointer(int pointer) {
  const bool hourglass = pointer == audit::kPointerHourglass;
  const bool showing = pointer_ == audit::kPointerHourglass;
  pointer_ = pointer;
  if (hourglass && !showing) QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  if (!hourglass && showing) QGuiApplication::restoreOverrideCursor();
}

}  // namespace leafward::ui
