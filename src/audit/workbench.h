#pragma once

#include <string>

namespace leafward::audit {

// What the commands need of the window: the report text in the result box and the window's
// busy state. The text is UTF-8 with CR LF between lines; reading it back gives exactly the
// text last written, unless the user has edited it since.
class Workbench {
 public:
  virtual ~Workbench() = default;
  virtual std::string reportText() const = 0;
  virtual void setReportText(std::string text) = 0;
  virtual void setEnabled(bool enabled) = 0;
  // kPointerDefault or kPointerHourglass.
  virtual void setMousePointer(int pointer) = 0;
};

inline constexpr int kPointerDefault = 0;
inline constexpr int kPointerHourglass = 11;

// A workbench without a window: the report is a string.
class TextWorkbench : public Workbench {
 public:
  std::string text;
  bool enabled = true;
  int pointer = kPointerDefault;

  std::string reportText() const override { return text; }
  void setReportText(std::string newText) override { text = std::move(newText); }
  void setEnabled(bool value) override { enabled = value; }
  void setMousePointer(int value) override { pointer = value; }
};

}  // namespace leafward::audit
