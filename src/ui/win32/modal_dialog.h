#pragma once

#include <windows.h>

#include <functional>

namespace leafward::ui::win32 {

// A dialog window made from an empty template, shown modally to its owner and hidden again,
// kept while hidden. Its messages go to handle(); nothing may unwind from there through
// Windows' own code, which cannot carry an exception.
class ModalDialog {
 public:
  virtual ~ModalDialog();
  ModalDialog(const ModalDialog&) = delete;
  ModalDialog& operator=(const ModalDialog&) = delete;

 protected:
  ModalDialog(HINSTANCE instance, HWND owner) : instance_(instance), owner_(owner) {}

  // Makes the dialog, `what` naming it in the error; WM_INITDIALOG and all after go to handle().
  void make(const char* what);
  // Destroys the dialog before what it shows goes (a derived class calls it first thing).
  void destroy();
  // Shows it, runs `whenShown`, and runs the window thread's messages until endModal(); the
  // owner is disabled meanwhile, enabled and activated again after.
  void runModal(const std::function<void()>& whenShown = {});
  void endModal() { showing_ = false; }

  virtual INT_PTR handle(UINT message, WPARAM w, LPARAM l) = 0;
  // Windows destroyed the dialog with its owner: drop what refers to its controls.
  virtual void destroyed() {}

  HINSTANCE instance_;
  HWND owner_;
  HWND dialog_ = nullptr;
  bool showing_ = false;

 private:
  static INT_PTR CALLBACK procedure(HWND dialog, UINT message, WPARAM w, LPARAM l);
};

}  // namespace leafward::ui::win32
