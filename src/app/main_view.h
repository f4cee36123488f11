#pragma once

#include <string>
#include <string_view>

#include "app/layout.h"

namespace leafward::app {

class DetailsWindow;

// What the main window's logic asks of a front-end: a handful of calls that read and write its
// controls and show its boxes. Texts are UTF-8; the result box's line breaks are CR LF.
class MainView {
 public:
  virtual ~MainView() = default;

  // The result box. Reading gives exactly the text last written, unless the user has typed
  // into the box since; then what the box shows, each line break as CR LF.
  virtual std::string resultText() const = 0;
  virtual void setResultText(std::string_view text) = 0;
  // Status panel 1 (what was opened last) or 2 (the clock).
  virtual void setPanelText(int panel, std::string_view text) = 0;

  // The busy state's two halves: the window's Enabled and the hourglass pointer over it.
  virtual void setWindowEnabled(bool enabled) = 0;
  virtual void setWaitPointer(bool wait) = 0;

  // The file-open box, modal to the window: the chosen file's full path, or "" when the user
  // cancelled.
  virtual std::string askOpenFileName(const FileBoxDesign& box) = 0;
  // A message box with an OK button only and no icon; `text` may hold CR LF line breaks.
  virtual void showMessage(std::string_view text, std::string_view title) = 0;
  // A question with Yes and No buttons: true for Yes.
  virtual bool askYesNo(std::string_view text, std::string_view title) = 0;

  // The details window, modal to the main window, drawn over `details` until the user closes
  // it.
  virtual void showDetails(DetailsWindow& details) = 0;

  // The time of day in the system's own time format (hours, minutes and seconds).
  virtual std::string timeOfDay() const = 0;
  // Asks for one clock tick as soon as the window is idle again.
  virtual void requestTick() = 0;
};

}  // namespace leafward::app
