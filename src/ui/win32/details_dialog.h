#pragma once

#include <windows.h>

#include <array>
#include <string>

#include "app/details_window.h"
#include "ui/win32/modal_dialog.h"

namespace leafward::ui::win32 {

// The details window drawn with the Win32 API, modal to the main window: a virtual list view in
// report mode (it asks for the cells it shows, so ten thousand rows cost nothing to fill),
// drop-down lists for the filter and the order, the count and the export button, laid out from
// the design table at the DPI of its screen. Tab and the access keys move between the
// controls; in the list, Ctrl+C copies the selected rows and Ctrl+A selects them all; Esc and
// the close box close the window.
class DetailsDialog : private app::DetailsView, private ModalDialog {
 public:
  DetailsDialog(HINSTANCE instance, HWND owner, app::DetailsWindow& logic);
  ~DetailsDialog() override;

  // Shows the window and returns when it is closed.
  void showModal();

 private:
  INT_PTR handle(UINT message, WPARAM w, LPARAM l) override;
  void destroyed() override { controls_.fill(nullptr); }
  void applyDpi(UINT dpi);
  LRESULT notify(const NMHDR& header);
  HWND item(app::DetailsControl control) const;
  std::vector<int> selectedRows() const;

  void rowsChanged() override;
  void setClipboardText(std::string_view text) override;
  std::string askSaveFileName(const app::FileBoxDesign& box, std::string_view name) override;
  void showMessage(std::string_view text, std::string_view title) override;

  app::DetailsWindow& logic_;
  std::array<HWND, app::kDetailsControlCount> controls_{};
  HFONT font_ = nullptr;
  std::wstring cellText_;  // the text the list asked for last, alive until it asks again
};

}  // namespace leafward::ui::win32
