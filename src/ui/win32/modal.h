#pragma once

namespace leafward::ui::win32 {

// While a box or dialog is modal to the main window, Windows keeps the main window disabled and
// enables it again when the box closes; the clock's tick, which ends the busy state, must not
// enable it in between, or the user could start a second command under the box.
class ModalScope {
 public:
  ModalScope() { ++depth_; }
  ~ModalScope() { --depth_; }
  ModalScope(const ModalScope&) = delete;
  ModalScope& operator=(const ModalScope&) = delete;

  static bool active() { return depth_ > 0; }

 private:
  static inline int depth_ = 0;
};

}  // namespace leafward::ui::win32
