#include "ui/win32/details_dialog.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "ui/win32/controls.h"
#include "ui/win32/dpi.h"
#include "ui/win32/modal.h"
#include "ui/win32/text.h"

namespace leafward::ui::win32 {
namespace {

using app::DetailsColumn;
using app::DetailsControl;

constexpr int kFirstId = 2000;

int idOf(DetailsControl control) {
  return kFirstId + static_cast<int>(control);
}

// Whether a key is held while the list's key arrives.
bool held(int key) {
  return (GetKeyState(key) & 0x8000) != 0;
}

}  // namespace

DetailsDialog::DetailsDialog(HINSTANCE instance, HWND owner, app::DetailsWindow& logic)
    : ModalDialog(instance, owner), logic_(logic) {
  make("details window");
  logic_.attach(this);
  rowsChanged();
}

DetailsDialog::~DetailsDialog() {
  logic_.attach(nullptr);
  destroy();
  if (font_) DeleteObject(font_);
}

INT_PTR DetailsDialog::handle(UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowTextW(dialog_, wide(app::kDetailsWindow.caption).c_str());
      const std::vector<HWND> made =
          createControls(instance_, dialog_, app::kDetailsControls,
                         [](int i) { return idOf(static_cast<DetailsControl>(i)); });
      std::copy(made.begin(), made.end(), controls_.begin());
      for (const std::string_view filter : app::kDetailsFilters) {
        SendMessageW(item(DetailsControl::cboFilter), CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(wide(filter).c_str()));
      }
      for (const std::string& choice : app::DetailsWindow::sortChoices()) {
        SendMessageW(item(DetailsControl::cboSort), CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(wide(choice).c_str()));
      }
      HWND list = item(DetailsControl::lstDetails);
      SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                   LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
      for (int column = 0; column < app::kDetailsColumnCount; ++column) {
        const std::wstring caption =
            wide(app::kDetailsColumns[static_cast<std::size_t>(column)].caption);
        LVCOLUMNW entry{};
        entry.mask = LVCF_TEXT | LVCF_FMT;
        entry.fmt =
            static_cast<DetailsColumn>(column) == DetailsColumn::Level ? LVCFMT_RIGHT : LVCFMT_LEFT;
        entry.pszText = const_cast<wchar_t*>(caption.c_str());
        SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(column),
                     reinterpret_cast<LPARAM>(&entry));
      }
      applyDpi(GetDpiForWindow(dialog_));
      centreOnScreen(dialog_, owner_);
      return FALSE;  // the focus is set when the window shows
    }
    case WM_DPICHANGED:
      applyDpi(HIWORD(w));
      return TRUE;
    case WM_COMMAND: {
      const int id = LOWORD(w), code = HIWORD(w);
      if (id == IDCANCEL) {
        endModal();
      } else if (id == idOf(DetailsControl::cboFilter) && code == CBN_SELCHANGE) {
        logic_.chooseFilter(
            static_cast<int>(SendMessageW(item(DetailsControl::cboFilter), CB_GETCURSEL, 0, 0)));
      } else if (id == idOf(DetailsControl::cboSort) && code == CBN_SELCHANGE) {
        logic_.chooseSort(
            static_cast<int>(SendMessageW(item(DetailsControl::cboSort), CB_GETCURSEL, 0, 0)));
      } else if (id == idOf(DetailsControl::cmdExport) && code == BN_CLICKED) {
        logic_.exportClick();
      } else {
        return FALSE;
      }
      return TRUE;
    }
    case WM_NOTIFY:
      SetWindowLongPtrW(dialog_, DWLP_MSGRESULT, notify(*reinterpret_cast<const NMHDR*>(l)));
      return TRUE;
    case WM_CLOSE:
      endModal();
      return TRUE;
    default:
      return FALSE;
  }
}

LRESULT DetailsDialog::notify(const NMHDR& header) {
  if (header.hwndFrom != item(DetailsControl::lstDetails)) return 0;
  switch (header.code) {
    case LVN_GETDISPINFOW: {
      auto& info = const_cast<NMLVDISPINFOW&>(reinterpret_cast<const NMLVDISPINFOW&>(header));
      if ((info.item.mask & LVIF_TEXT) && info.item.pszText && info.item.cchTextMax > 0) {
        cellText_ =
            wide(logic_.cell(info.item.iItem, static_cast<DetailsColumn>(info.item.iSubItem)));
        lstrcpynW(info.item.pszText, cellText_.c_str(), info.item.cchTextMax);
      }
      return 0;
    }
    case LVN_COLUMNCLICK:
      logic_.columnClick(
          static_cast<DetailsColumn>(reinterpret_cast<const NMLISTVIEW&>(header).iSubItem));
      return 0;
    case LVN_KEYDOWN: {
      const WORD key = reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey;
      if (!held(VK_CONTROL)) return 0;
      if (key == 'C') logic_.copyRows(selectedRows());
      if (key == 'A') {
        LVITEMW all{};
        all.stateMask = LVIS_SELECTED;
        all.state = LVIS_SELECTED;
        SendMessageW(header.hwndFrom, LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(&all));
      }
      return 0;
    }
    default:
      return 0;
  }
}

// The new font is in use before the old one is deleted.
void DetailsDialog::applyDpi(UINT dpi) {
  HFONT font = createMessageFont(dpi);
  placeControls(dialog_, controls_, app::kDetailsControls, app::kDetailsWindow, font, dpi);
  HWND list = item(DetailsControl::lstDetails);
  for (int column = 0; column < app::kDetailsColumnCount; ++column) {
    SendMessageW(list, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column),
                 app::pixels(app::kDetailsColumns[static_cast<std::size_t>(column)].width,
                             static_cast<int>(dpi)));
  }
  if (font_) DeleteObject(font_);
  font_ = font;
}

HWND DetailsDialog::item(DetailsControl control) const {
  return controls_[static_cast<std::size_t>(control)];
}

std::vector<int> DetailsDialog::selectedRows() const {
  std::vector<int> rows;
  HWND list = item(DetailsControl::lstDetails);
  for (int at = -1;;) {
    at = static_cast<int>(
        SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(at), LVNI_SELECTED));
    if (at < 0) break;
    rows.push_back(at);
  }
  return rows;
}

void DetailsDialog::rowsChanged() {
  if (!dialog_) return;
  HWND list = item(DetailsControl::lstDetails);
  // The rows are others now: nothing stays selected.
  LVITEMW none{};
  none.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
  SendMessageW(list, LVM_SETITEMCOUNT, static_cast<WPARAM>(logic_.rowCount()), 0);
  InvalidateRect(list, nullptr, TRUE);
  SendMessageW(item(DetailsControl::cboFilter), CB_SETCURSEL,
               static_cast<WPARAM>(logic_.filterChoice()), 0);
  SendMessageW(item(DetailsControl::cboSort), CB_SETCURSEL,
               static_cast<WPARAM>(logic_.sortChoice()), 0);
  SetWindowTextW(item(DetailsControl::lblSummary), wide(logic_.summary()).c_str());
  // The heading of the sorted column shows which way.
  HWND heading = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  for (int column = 0; column < app::kDetailsColumnCount; ++column) {
    HDITEMW entry{};
    entry.mask = HDI_FORMAT;
    SendMessageW(heading, HDM_GETITEMW, static_cast<WPARAM>(column),
                 reinterpret_cast<LPARAM>(&entry));
    entry.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
    if (column == static_cast<int>(logic_.sortColumn())) {
      entry.fmt |= logic_.ascending() ? HDF_SORTUP : HDF_SORTDOWN;
    }
    SendMessageW(heading, HDM_SETITEMW, static_cast<WPARAM>(column),
                 reinterpret_cast<LPARAM>(&entry));
  }
}

void DetailsDialog::showModal() {
  runModal([this] {
    HWND list = item(DetailsControl::lstDetails);
    SendMessageW(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(list), TRUE);
    if (logic_.rowCount() == 0) return;
    LVITEMW first{};
    first.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    first.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&first));
  });
}

void DetailsDialog::setClipboardText(std::string_view text) {
  const std::wstring copied = wide(text);
  if (!OpenClipboard(dialog_)) return;
  EmptyClipboard();
  const std::size_t bytes = (copied.size() + 1) * sizeof(wchar_t);
  if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
    if (void* place = GlobalLock(memory)) {
      std::memcpy(place, copied.c_str(), bytes);
      GlobalUnlock(memory);
      if (!SetClipboardData(CF_UNICODETEXT, memory)) GlobalFree(memory);
    } else {
      GlobalFree(memory);
    }
  }
  CloseClipboard();
}

std::string DetailsDialog::askSaveFileName(const app::FileBoxDesign& box, std::string_view name) {
  return askFileName(dialog_, box, FileBoxUse::Save, name);
}

void DetailsDialog::showMessage(std::string_view text, std::string_view title) {
  ModalScope modal;
  MessageBoxW(dialog_, wide(text).c_str(), wide(title).c_str(), MB_OK);
}

}  // namespace leafward::ui::win32
