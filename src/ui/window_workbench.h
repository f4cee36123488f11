#pragma once

#include <QPointer>
#include <QWidget>
#include <string>

#include "audit/workbench.h"

namespace leafward::ui {

class ResultBox;

// The main window as the commands see it: its result box, its enabled state and its pointer.
// The hourglass is an application-wide override cursor, so it shows over every control.
class WindowWorkbench : public audit::Workbench {
 public:
  WindowWorkbench(QWidget& window, ResultBox& box) : window_(window), box_(box) {}
  ~WindowWorkbench() override;

  std::string reportText() const override;
  void setReportText(std::string text) override;
  void setEnabled(bool enabled) override;
  void setMousePointer(int pointer) override;
  int mousePointer() const { return pointer_; }

 private:
  QWidget& window_;
  ResultBox& box_;
  int pointer_ = audit::kPointerDefault;
  QPointer<QWidget> focusBeforeBusy_;
};

}  // namespace leafward::ui
