#include "ui/win32/main_window.h"

#include <commctrl.h>
#include <commdlg.h>
#include <windowsx.h>

#include <array>
#include <stdexcept>
#include <utility>
#include <vector>

#include "app/login_dialog.h"
#include "ui/win32/controls.h"
#include "ui/win32/details_dialog.h"
#include "ui/win32/dpi.h"
#include "ui/win32/message_loop.h"
#include "ui/win32/modal.h"
#include "ui/win32/pictures.h"
#include "ui/win32/text.h"

namespace leafward::ui::win32 {
namespace {

constexpr wchar_t kClassName[] = L"LeafwardMainWindow";
constexpr UINT kTickMessage = WM_APP + 1;  // one tick as soon as the window is idle
constexpr UINT kOpenMessage = WM_APP + 2;  // open the files the program was started with
constexpr UINT_PTR kClockTimer = 1;
constexpr int kToolbarId = 100, kResultId = 101, kStatusId = 102;

// A toolbar button's command is its position in the table, from 1.
int commandOf(std::size_t position) {
  return static_cast<int>(position) + 1;
}

const std::array<std::wstring, app::kToolbarButtons.size()>& tooltips() {
  static const auto texts = [] {
    std::array<std::wstring, app::kToolbarButtons.size()> made;
    for (std::size_t i = 0; i < made.size(); ++i) made[i] = wide(app::kToolbarButtons[i].tooltip);
    return made;
  }();
  return texts;
}

// A result-box menu item's command, from 1 (0 is no choice).
UINT menuCommandOf(app::ResultMenuItem item) {
  return static_cast<UINT>(item) + 1;
}

}  // namespace

MainWindow::MainWindow(HINSTANCE instance, connection::SharedConnection& shared,
                       app::LoginDialogHost* login)
    : instance_(instance), logic_(shared, *this, login) {
  create();
  setKeyPreview([this](const MSG& message) { return previewKey(message); });
}

MainWindow::~MainWindow() {
  setKeyPreview(nullptr);
  if (window_) DestroyWindow(window_);
  // The class goes with its only window, and its icon after it.
  UnregisterClassW(kClassName, instance_);
  if (classIcon_) DestroyIcon(classIcon_);
  if (pictures_) ImageList_Destroy(pictures_);
  if (font_) DeleteObject(font_);
  for (HICON icon : icons_) {
    if (icon) DestroyIcon(icon);
  }
}

void MainWindow::create() {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = &MainWindow::procedure;
  windowClass.hInstance = instance_;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kClassName;
  classIcon_ = loadWindowIcon(instance_, 32);
  windowClass.hIcon = classIcon_;
  if (!RegisterClassExW(&windowClass)) {
    throw std::runtime_error("the main window's class could not be registered");
  }
  // A fixed tool window: a thin title bar with a close box only, no taskbar button.
  CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, wide(app::kMainWindow.caption).c_str(),
                  WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, CW_USEDEFAULT,
                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance_, this);
  if (!window_) throw std::runtime_error("the main window could not be made");
}

void MainWindow::show(int how) {
  ShowWindow(window_, how);
  UpdateWindow(window_);
}

void MainWindow::openWhenIdle(std::vector<std::string> files) {
  if (files.empty()) return;
  toOpen_ = std::move(files);
  PostMessageW(window_, kOpenMessage, 0, 0);
}

LRESULT CALLBACK MainWindow::procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return DefWindowProcW(window, message, w, l);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    self->window_ = nullptr;
    return DefWindowProcW(window, message, w, l);
  }
  // The window's logic tells the user what goes wrong in its commands. Nothing else may unwind
  // through Windows' own code, which cannot carry an exception (a failed allocation, say): a
  // window that cannot be made is not made, any other message is dropped.
  try {
    return self->handle(message, w, l);
  } catch (...) {
    return message == WM_CREATE ? -1 : 0;
  }
}

// Each kind of message goes to the part of the window that deals with it; what is not the
// window's own goes on to Windows.
LRESULT MainWindow::handle(UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_CREATE:
      onCreate();
      return 0;
    case WM_DPICHANGED:
      onDpiChanged(HIWORD(w), *reinterpret_cast<const RECT*>(l));
      return 0;
    case WM_SIZE:
      layout();
      return 0;
    case WM_COMMAND:
      if (!onCommand(LOWORD(w), reinterpret_cast<HWND>(l))) break;
      return 0;
    case WM_NOTIFY:
      return onNotify(*reinterpret_cast<const NMHDR*>(l));
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(w) != result_) break;
      showResultMenu(l);
      return 0;
    case WM_TIMER:
      if (w != kClockTimer) break;
      logic_.tick();
      armClock();
      return 0;
    case kTickMessage:
      logic_.tick();
      return 0;
    case kOpenMessage:
      logic_.openGiven(std::exchange(toOpen_, {}));
      return 0;
    case WM_DROPFILES:
      onDropFiles(reinterpret_cast<HDROP>(w));
      return 0;
    case WM_SETCURSOR:
      if (!wait_) break;
      SetCursor(LoadCursorW(nullptr, IDC_WAIT));
      return TRUE;
    case WM_ACTIVATE:
      onActivate(LOWORD(w) != WA_INACTIVE);
      return 0;
    case WM_CLOSE:
      // Not under a box or the login dialog, whose loop still runs, nor while a command is busy.
      if (!ModalScope::active() && IsWindowEnabled(window_)) DestroyWindow(window_);
      return 0;
    case WM_DESTROY:
      KillTimer(window_, kClockTimer);
      logic_.unload();
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window_, message, w, l);
}

void MainWindow::onCreate() {
  createControls();
  applyDpi(GetDpiForWindow(window_));
  addToolbarButtons();
  layout();
  // Files dropped onto the window (the result box included) come to it.
  DragAcceptFiles(window_, TRUE);
  logic_.load();
  // The first tick at once, then on every second.
  requestTick();
  armClock();
}

// The toolbar, the result box and the status bar, placed by layout() once the DPI is known.
void MainWindow::createControls() {
  toolbar_ =
      CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                      WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NORESIZE |
                          CCS_NOPARENTALIGN | CCS_NODIVIDER,
                      0, 0, 0, 0, window_, reinterpret_cast<HMENU>(kToolbarId), instance_, nullptr);
  SendMessageW(toolbar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  result_ =
      CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                      WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | ES_MULTILINE |
                          ES_AUTOVSCROLL | ES_WANTRETURN,
                      0, 0, 0, 0, window_, reinterpret_cast<HMENU>(kResultId), instance_, nullptr);
  // Reports of a million codes are longer than an edit control's first limit.
  SendMessageW(result_, EM_SETLIMITTEXT, 0, 0);
  SetWindowSubclass(result_, &MainWindow::resultBoxProcedure, 0, reinterpret_cast<DWORD_PTR>(this));
  status_ = CreateWindowExW(0, STATUSCLASSNAMEW, nullptr,
                            WS_CHILD | WS_VISIBLE | CCS_NORESIZE | CCS_NOPARENTALIGN, 0, 0, 0, 0,
                            window_, reinterpret_cast<HMENU>(kStatusId), instance_, nullptr);
}

// One button per entry of the toolbar's table, in its order, showing the entry's picture.
void MainWindow::addToolbarButtons() {
  std::vector<TBBUTTON> buttons;
  for (std::size_t i = 0; i < app::kToolbarButtons.size(); ++i) {
    TBBUTTON button{};
    button.iBitmap = app::kToolbarButtons[i].picture - 1;
    button.idCommand = commandOf(i);
    button.fsState = TBSTATE_ENABLED;
    button.fsStyle = BTNS_BUTTON;
    button.iString = -1;
    buttons.push_back(button);
  }
  SendMessageW(toolbar_, TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
}

// Moved to another screen: the window takes the place Windows suggests, then the new DPI.
void MainWindow::onDpiChanged(UINT dpi, const RECT& suggested) {
  SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  applyDpi(dpi);
}

// A toolbar button's click goes to the logic by the button's key; false for any other command.
bool MainWindow::onCommand(int command, HWND from) {
  if (from != toolbar_ || command < 1 || command > static_cast<int>(app::kToolbarButtons.size())) {
    return false;
  }
  logic_.toolbarButtonClick(app::kToolbarButtons[command - 1].key);
  return true;
}

LRESULT MainWindow::onNotify(const NMHDR& header) {
  if (header.code == TTN_GETDISPINFOW) {
    auto& info = const_cast<NMTTDISPINFOW&>(reinterpret_cast<const NMTTDISPINFOW&>(header));
    const auto command = static_cast<int>(header.idFrom);
    if (command >= 1 && command <= static_cast<int>(tooltips().size())) {
      info.lpszText = const_cast<wchar_t*>(tooltips()[command - 1].c_str());
    }
  }
  return 0;
}

// The focus goes back to the control that had it when the window was left.
void MainWindow::onActivate(bool active) {
  if (!active) {
    HWND focus = GetFocus();
    if (focus && IsChild(window_, focus)) focusBeforeBusy_ = focus;
  } else {
    SetFocus(focusBeforeBusy_ && IsWindow(focusBeforeBusy_) ? focusBeforeBusy_ : result_);
  }
}

// Each new font, picture list and icon is in use before the one it replaces is deleted.
void MainWindow::applyDpi(UINT dpi) {
  HFONT font = createMessageFont(dpi);
  for (HWND control : {result_, status_}) {
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  }
  if (font_) DeleteObject(font_);
  font_ = font;
  const int pictureSize = scaled(app::kPictureSize, dpi);
  HIMAGELIST pictures = createToolbarPictures(instance_, pictureSize);
  SendMessageW(toolbar_, TB_SETBITMAPSIZE, 0, MAKELPARAM(pictureSize, pictureSize));
  SendMessageW(toolbar_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(pictures));
  if (pictures_) ImageList_Destroy(pictures_);
  pictures_ = pictures;
  SendMessageW(
      toolbar_, TB_SETBUTTONSIZE, 0,
      MAKELPARAM(scaled(app::kToolbarButtonWidth, dpi), scaled(app::kToolbarButtonHeight, dpi)));
  const HICON icons[2] = {loadWindowIcon(instance_, GetSystemMetricsForDpi(SM_CXICON, dpi)),
                          loadWindowIcon(instance_, GetSystemMetricsForDpi(SM_CXSMICON, dpi))};
  SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icons[0]));
  SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icons[1]));
  for (int i = 0; i < 2; ++i) {
    if (icons_[i]) DestroyIcon(icons_[i]);
    icons_[i] = icons[i];
  }
  setClientSize(window_, app::pixels(app::kMainWindow.clientWidth, static_cast<int>(dpi)),
                app::pixels(app::kMainWindow.clientHeight, static_cast<int>(dpi)));
  layout();
}

// The toolbar at the top, the status bar at the bottom, the result box between them.
void MainWindow::layout() {
  if (!toolbar_ || !result_ || !status_) return;
  const int dpi = static_cast<int>(GetDpiForWindow(window_));
  RECT client;
  GetClientRect(window_, &client);
  const int width = client.right, height = client.bottom;
  const int toolbarHeight = app::pixels(app::kToolbarHeight, dpi);
  const int statusHeight = app::pixels(app::kStatusBarHeight, dpi);
  MoveWindow(toolbar_, 0, 0, width, toolbarHeight, TRUE);
  MoveWindow(status_, 0, height - statusHeight, width, statusHeight, TRUE);
  MoveWindow(result_, 0, toolbarHeight, width, height - toolbarHeight - statusHeight, TRUE);
  int parts[2] = {width - app::pixels(app::kClockPanelWidth, dpi), -1};
  SendMessageW(status_, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
}

void MainWindow::armClock() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  SetTimer(window_, kClockTimer, app::millisecondsToNextSecond(now.wMilliseconds), nullptr);
}

bool MainWindow::previewKey(const MSG& message) {
  if (!window_ || (message.hwnd != window_ && !IsChild(window_, message.hwnd))) return false;
  return logic_.keyDown(static_cast<int>(message.wParam));
}

std::string MainWindow::resultText() const {
  const int length = GetWindowTextLengthW(result_);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(result_, text.data(), length + 1)));
  return utf8(text);
}

void MainWindow::setResultText(std::string_view text) {
  SetWindowTextW(result_, wide(text).c_str());
}

void MainWindow::setPanelText(int panel, std::string_view text) {
  if (panel != 1 && panel != 2) return;
  SendMessageW(status_, SB_SETTEXTW, static_cast<WPARAM>(panel - 1),
               reinterpret_cast<LPARAM>(wide(text).c_str()));
}

void MainWindow::setWindowEnabled(bool enabled) {
  if (!enabled) {
    if (IsWindowEnabled(window_)) {
      HWND focus = GetFocus();
      focusBeforeBusy_ = focus && IsChild(window_, focus) ? focus : focusBeforeBusy_;
    }
    EnableWindow(window_, FALSE);
    return;
  }
  // Under a modal box the window stays disabled; the box enables it when it closes. Every tick
  // ends the busy state: an enabled window costs it nothing.
  if (ModalScope::active() || IsWindowEnabled(window_)) return;
  EnableWindow(window_, TRUE);
  if (GetActiveWindow() == window_ && focusBeforeBusy_ && IsWindow(focusBeforeBusy_)) {
    SetFocus(focusBeforeBusy_);
  }
}

void MainWindow::setWaitPointer(bool wait) {
  if (wait == wait_) return;
  wait_ = wait;
  POINT at;
  if (!GetCursorPos(&at)) return;
  HWND under = WindowFromPoint(at);
  if (under != window_ && !IsChild(window_, under)) return;
  if (wait) {
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  } else {
    // The pointer of whatever lies under it again (an I-beam over the box).
    SendMessageW(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  }
}

std::string MainWindow::askOpenFileName(const app::FileBoxDesign& box) {
  return askFileName(window_, box, FileBoxUse::Open);
}

void MainWindow::showMessage(std::string_view text, std::string_view title) {
  ModalScope modal;
  MessageBoxW(window_, wide(text).c_str(), wide(title).c_str(), MB_OK);
}

bool MainWindow::askYesNo(std::string_view text, std::string_view title) {
  ModalScope modal;
  return MessageBoxW(window_, wide(text).c_str(), wide(title).c_str(),
                     MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

LRESULT CALLBACK MainWindow::resultBoxProcedure(HWND box, UINT message, WPARAM w, LPARAM l,
                                                UINT_PTR, DWORD_PTR self) {
  // The menu is the main window's, shown by its procedure.
  if (message == WM_CONTEXTMENU) {
    return SendMessageW(reinterpret_cast<MainWindow*>(self)->window_, message,
                        reinterpret_cast<WPARAM>(box), l);
  }
  if (message == WM_NCDESTROY) RemoveWindowSubclass(box, &MainWindow::resultBoxProcedure, 0);
  return DefSubclassProc(box, message, w, l);
}

// The box's own editing menu, and after it the items that show the details of the last Check
// and undo the last repair.
void MainWindow::showResultMenu(LPARAM at) {
  DWORD from = 0, to = 0;
  SendMessageW(result_, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
  HMENU menu = CreatePopupMenu();
  for (const app::ResultMenuItemDesign& entry : app::kResultMenu) {
    if (entry.item == app::ResultMenuItem::Separator) {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    } else {
      AppendMenuW(
          menu,
          MF_STRING | (resultMenuItemEnabled(entry.item, from != to) ? MF_ENABLED : MF_GRAYED),
          menuCommandOf(entry.item), wide(entry.caption).c_str());
    }
  }
  // From the keyboard (Shift+F10, the menu key) the menu opens at the box's corner.
  POINT place{GET_X_LPARAM(at), GET_Y_LPARAM(at)};
  if (at == -1) {
    place = {0, 0};
    ClientToScreen(result_, &place);
  }
  const UINT chosen = static_cast<UINT>(TrackPopupMenu(
      menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, place.x, place.y, 0, window_, nullptr));
  DestroyMenu(menu);
  if (chosen == 0) return;
  resultMenuItemChosen(static_cast<app::ResultMenuItem>(chosen - 1));
}

// Whether an item of the result box's menu can be chosen now; `selected` says whether the box
// has a selection.
bool MainWindow::resultMenuItemEnabled(app::ResultMenuItem item, bool selected) const {
  using Item = app::ResultMenuItem;
  switch (item) {
    case Item::UndoTyping:
      return SendMessageW(result_, EM_CANUNDO, 0, 0) != 0;
    case Item::Cut:
    case Item::Copy:
    case Item::Delete:
      return selected;
    case Item::Paste:
      return IsClipboardFormatAvailable(CF_UNICODETEXT) != 0;
    case Item::ShowDetails:
      return logic_.canShowDetails();
    case Item::UndoLastRepair:
      return logic_.canUndoLastRepair();
    default:
      return true;
  }
}

// The box's editing items go to the box, the others to the logic.
void MainWindow::resultMenuItemChosen(app::ResultMenuItem item) {
  using Item = app::ResultMenuItem;
  switch (item) {
    case Item::UndoTyping:
      SendMessageW(result_, WM_UNDO, 0, 0);
      break;
    case Item::Cut:
      SendMessageW(result_, WM_CUT, 0, 0);
      break;
    case Item::Copy:
      SendMessageW(result_, WM_COPY, 0, 0);
      break;
    case Item::Paste:
      SendMessageW(result_, WM_PASTE, 0, 0);
      break;
    case Item::Delete:
      SendMessageW(result_, WM_CLEAR, 0, 0);
      break;
    case Item::SelectAll:
      SendMessageW(result_, EM_SETSEL, 0, -1);
      break;
    case Item::ShowDetails:
      logic_.showDetailsClick();
      break;
    case Item::UndoLastRepair:
      logic_.undoLastRepairClick();
      break;
    case Item::Separator:
      break;
  }
}

void MainWindow::showDetails(app::DetailsWindow& details) {
  DetailsDialog dialog(instance_, window_, details);
  dialog.showModal();
}

// The names of the dropped files, for the logic to open or refuse.
void MainWindow::onDropFiles(HDROP drop) {
  std::vector<std::string> files;
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    std::wstring name(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
    name.resize(DragQueryFileW(drop, i, name.data(), static_cast<UINT>(name.size())));
    files.push_back(utf8(name));
  }
  DragFinish(drop);
  logic_.openGiven(files);
}

std::string MainWindow::timeOfDay() const {
  wchar_t time[80] = {};
  if (!GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, nullptr, nullptr, time, 80)) return {};
  return utf8(time);
}

void MainWindow::requestTick() {
  PostMessageW(window_, kTickMessage, 0, 0);
}

}  // namespace leafward::ui::win32
