#include "ui/win32/controls.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>

#include "ui/win32/dpi.h"
#include "ui/win32/modal.h"
#include "ui/win32/text.h"

namespace leafward::ui::win32 {
namespace {

using app::ControlKind;

constexpr int kListRows = 8;  // how many entries a combo box's open list shows

struct ControlStyle {
  const wchar_t* windowClass;
  DWORD style;
  DWORD extended;
};

ControlStyle styleOf(const app::ControlDesign& design) {
  switch (design.kind) {
    case ControlKind::Label:
      // A label with an access key hands the focus to the control after it.
      return {L"STATIC",
              static_cast<DWORD>(
                  SS_LEFT | (design.caption.find('&') == std::string_view::npos ? SS_NOPREFIX : 0)),
              0};
    case ControlKind::TextBox:
      return {L"EDIT", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
    case ControlKind::PasswordBox:
      return {L"EDIT", WS_TABSTOP | ES_AUTOHSCROLL | ES_PASSWORD, WS_EX_CLIENTEDGE};
    case ControlKind::Button:
      // Enter presses the default button.
      return {L"BUTTON",
              static_cast<DWORD>(
                  WS_TABSTOP |
                  (design.role == app::ButtonRole::Default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON)),
              0};
    case ControlKind::ComboBox:
      return {WC_COMBOBOXW, WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL, 0};
    case ControlKind::ChoiceBox:
      return {WC_COMBOBOXW, WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0};
    case ControlKind::ListView:
      // A virtual list in report mode: it asks for the cells it shows.
      return {WC_LISTVIEWW, WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS,
              WS_EX_CLIENTEDGE};
  }
  return {L"STATIC", 0, 0};
}

bool dropsDown(ControlKind kind) {
  return kind == ControlKind::ComboBox || kind == ControlKind::ChoiceBox;
}

}  // namespace

std::vector<HWND> createControls(HINSTANCE instance, HWND dialog,
                                 std::span<const app::ControlDesign> designs,
                                 const std::function<int(int)>& idOf) {
  std::vector<HWND> made;
  HWND previous = HWND_TOP;
  for (std::size_t i = 0; i < designs.size(); ++i) {
    const ControlStyle style = styleOf(designs[i]);
    HWND control =
        CreateWindowExW(style.extended, style.windowClass, wide(designs[i].caption).c_str(),
                        WS_CHILD | WS_VISIBLE | style.style, 0, 0, 0, 0, dialog,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(idOf(static_cast<int>(i)))),
                        instance, nullptr);
    SetWindowPos(control, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    previous = control;
    made.push_back(control);
  }
  return made;
}

void placeControls(HWND dialog, std::span<const HWND> controls,
                   std::span<const app::ControlDesign> designs, const app::WindowDesign& window,
                   HFONT font, UINT dpi) {
  const int scale = static_cast<int>(dpi);
  for (std::size_t i = 0; i < designs.size() && i < controls.size(); ++i) {
    const app::Twips& place = designs[i].place;
    int height = app::pixels(place.height, scale);
    if (dropsDown(designs[i].kind)) height *= kListRows;
    SendMessageW(controls[i], WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SetWindowPos(controls[i], nullptr, app::pixels(place.left, scale),
                 app::pixels(place.top, scale), app::pixels(place.width, scale), height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  setClientSize(dialog, app::pixels(window.clientWidth, scale),
                app::pixels(window.clientHeight, scale));
  InvalidateRect(dialog, nullptr, TRUE);
}

std::string askFileName(HWND owner, const app::FileBoxDesign& box, FileBoxUse use,
                        std::string_view suggested) {
  std::wstring filter = wide(box.description);
  filter.push_back(L'\0');
  filter += wide(box.pattern);
  filter.push_back(L'\0');
  const std::wstring title = wide(box.title), extension = wide(box.defaultExtension);
  std::vector<wchar_t> file(32768, L'\0');  // room for the longest path Windows knows
  const std::wstring name = wide(suggested);
  std::copy(name.begin(), name.end(), file.begin());
  OPENFILENAMEW request{};
  request.lStructSize = sizeof(request);
  request.hwndOwner = owner;
  request.lpstrFilter = filter.c_str();  // ends in two NULs: the string's own and one more
  request.nFilterIndex = 1;
  request.lpstrFile = file.data();
  request.nMaxFile = static_cast<DWORD>(file.size());
  request.lpstrTitle = title.c_str();
  request.lpstrDefExt = extension.c_str();
  // The working folder stays where it was.
  request.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR;
  if (use == FileBoxUse::Save) request.Flags |= OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
  ModalScope modal;
  const BOOL chosen =
      use == FileBoxUse::Save ? GetSaveFileNameW(&request) : GetOpenFileNameW(&request);
  return chosen ? utf8(file.data()) : std::string();
}

void centreOnScreen(HWND window, HWND owner) {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  GetMonitorInfoW(MonitorFromWindow(owner ? owner : window, MONITOR_DEFAULTTOPRIMARY), &monitor);
  RECT frame;
  GetWindowRect(window, &frame);
  const RECT& work = monitor.rcWork;
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  SetWindowPos(window, nullptr, work.left + (work.right - work.left - width) / 2,
               work.top + (work.bottom - work.top - height) / 2, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace leafward::ui::win32
