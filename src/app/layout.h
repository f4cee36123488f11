#pragma once

#include <array>
#include <span>
#include <string_view>

namespace leafward::app {

// The three windows as designed, one table that every front-end lays itself out from. Sizes
// are in twips (1/1440 inch): 15 twips are one pixel at 96 dots per inch, so a front-end scales
// them by the dots per inch of the screen its window is on.

struct Twips {
  int left = 0, top = 0, width = 0, height = 0;
};

// Twips as pixels on a screen of `dotsPerInch`, to the nearest pixel.
constexpr int pixels(int twips, int dotsPerInch = 96) {
  const long long scaled = static_cast<long long>(twips) * dotsPerInch;
  return static_cast<int>((scaled >= 0 ? scaled + 720 : scaled - 720) / 1440);
}

// A combo box has an editable text with a list; a choice box only its list; a list view shows
// rows in columns.
enum class ControlKind { Label, TextBox, PasswordBox, Button, ComboBox, ChoiceBox, ListView };

// A button's part in its dialog's keys: Enter presses the default button wherever the focus is
// in a box, Esc presses the cancel button.
enum class ButtonRole { None, Default, Cancel };

// One control of a dialog, listed in tab order (labels take no focus but keep their place).
struct ControlDesign {
  std::string_view name;
  ControlKind kind;
  Twips place;
  std::string_view caption;  // the text at load; a button's caption, without accelerator marks
  bool enabledAtLoad = true;
  ButtonRole role = ButtonRole::None;
};

// Where a window first appears.
enum class Placement { SystemDefault, CentreOfScreen };

// Every window is a fixed tool window: a thin title bar with a close box only, not resizable,
// no minimise or maximise box, no taskbar button.
struct WindowDesign {
  std::string_view name;
  std::string_view caption;
  int clientWidth = 0, clientHeight = 0;  // twips
  Placement placement = Placement::SystemDefault;
};

// ---- The main window ----------------------------------------------------------------------

inline constexpr WindowDesign kMainWindow{"frmMain", "Leafward", 6030, 3195,
                                          Placement::SystemDefault};
// The toolbar is docked at the top, the status bar at the bottom; the result box (multi-line,
// a vertical scroll bar, editable, empty at start) fills what lies between them.
inline constexpr int kToolbarHeight = 420;    // twips
inline constexpr int kStatusBarHeight = 270;  // twips
// The status bar's two panels: the name of what was opened last takes the rest of the bar,
// the clock this much.
inline constexpr int kClockPanelWidth = 1440;  // twips

// A toolbar button: picture and no caption, told apart by its key.
struct ToolbarButtonDesign {
  std::string_view key;
  std::string_view tooltip;
  int picture;  // position in the picture list, from 1
};
inline constexpr std::array<ToolbarButtonDesign, 5> kToolbarButtons{{
    {"Open", "打开Access文件", 1},
    {"Link", "连接MSSQL数据库", 2},
    {"Check", "检查科目", 3},
    {"Update", "修复科目", 4},
    {"help", "帮助", 5},
}};
inline constexpr int kToolbarButtonWidth = 23, kToolbarButtonHeight = 22;  // pixels at 96 DPI
inline constexpr int kPictureSize = 16;                                    // pixels at 96 DPI
// The picture list, in order: an opening folder, a computer with a globe, ABC with a tick, a
// wrench, a yellow question mark, an arrow with a question mark (which no button shows). Each
// is drawn once, as src/resources/NAME.svg; the window's icon is leafward.svg.
inline constexpr std::array<std::string_view, 6> kPictures{"open",   "link", "check",
                                                           "update", "help", "whats-this"};

// The file-open box: its title, its one filter entry ("description|pattern"), and the
// extension a typed name without one gets. The typed file need not exist.
struct FileBoxDesign {
  std::string_view title;
  std::string_view description;
  std::string_view pattern;
  std::string_view defaultExtension;
};
inline constexpr FileBoxDesign kOpenFileBox{"打开Access数据", "Access数据(*.mdb)", "*.mdb", "mdb"};

// The result box's context menu gains two items after its own: show the details of the last
// Check's findings, and undo the last repair of the account set that is open.
inline constexpr std::string_view kShowDetailsItem = "查看明细…";
inline constexpr std::string_view kUndoLastRepairItem = "撤销上次修复…";

// The result box's context menu where the toolkit has no editing menu of its own to extend (on
// Windows), in order: the box's editing items, each with its access key after "&", then the
// item that undoes the last repair. A separator has no caption.
enum class ResultMenuItem {
  UndoTyping,
  Cut,
  Copy,
  Paste,
  Delete,
  SelectAll,
  ShowDetails,
  UndoLastRepair,
  Separator
};
struct ResultMenuItemDesign {
  ResultMenuItem item;
  std::string_view caption;
};
inline constexpr std::array<ResultMenuItemDesign, 11> kResultMenu{{
    {ResultMenuItem::UndoTyping, "撤消(&U)"},
    {ResultMenuItem::Separator, ""},
    {ResultMenuItem::Cut, "剪切(&T)"},
    {ResultMenuItem::Copy, "复制(&C)"},
    {ResultMenuItem::Paste, "粘贴(&P)"},
    {ResultMenuItem::Delete, "删除(&D)"},
    {ResultMenuItem::Separator, ""},
    {ResultMenuItem::SelectAll, "全选(&A)"},
    {ResultMenuItem::Separator, ""},
    {ResultMenuItem::ShowDetails, kShowDetailsItem},
    {ResultMenuItem::UndoLastRepair, kUndoLastRepairItem},
}};

// ---- The details window -------------------------------------------------------------------

// The wrong flags of the last Check as a table, modal to the main window: a filter and a sort
// choice, a count, the export button, and the list filling the rest.
inline constexpr WindowDesign kDetailsWindow{"frmDetails", "科目标志明细", 9600, 6000,
                                             Placement::CentreOfScreen};

enum class DetailsControl {
  lblFilter,
  cboFilter,  // which rows show: all, or one kind of wrong flag
  lblSort,
  cboSort,     // the column the rows are sorted by, and which way
  lblSummary,  // how many rows show, of how many
  cmdExport,   // writes the rows as they show to a CSV file
  lstDetails,  // the rows
};
inline constexpr int kDetailsControlCount = 7;
inline constexpr std::array<ControlDesign, kDetailsControlCount> kDetailsControls{{
    {"lblFilter", ControlKind::Label, {120, 150, 780, 270}, "显示(&S)："},
    {"cboFilter", ControlKind::ChoiceBox, {900, 105, 1800, 330}, ""},
    {"lblSort", ControlKind::Label, {2880, 150, 780, 270}, "排序(&O)："},
    {"cboSort", ControlKind::ChoiceBox, {3660, 105, 2100, 330}, ""},
    {"lblSummary", ControlKind::Label, {5940, 150, 2040, 270}, ""},
    {"cmdExport", ControlKind::Button, {8100, 90, 1380, 360}, "导出(&E)…"},
    {"lstDetails", ControlKind::ListView, {120, 570, 9360, 5310}, ""},
}};

constexpr const ControlDesign& design(DetailsControl control) {
  return kDetailsControls[static_cast<int>(control)];
}

// The list's columns, left to right, with their widths in twips.
enum class DetailsColumn { Code, Name, Level, Flag, WantedFlag, Reason };
inline constexpr int kDetailsColumnCount = 6;
struct ColumnDesign {
  std::string_view caption;
  int width;
};
inline constexpr std::array<ColumnDesign, kDetailsColumnCount> kDetailsColumns{{
    {"科目代码", 1500},
    {"科目名称", 1800},
    {"级次", 600},
    {"当前标志", 1050},
    {"应为", 1050},
    {"原因", 3000},
}};

// The filter's choices, in order: every row, or the rows of one kind.
inline constexpr std::array<std::string_view, 3> kDetailsFilters{"全部", "应为非末级", "应为末级"};

// The export's save box.
inline constexpr FileBoxDesign kExportFileBox{"导出明细", "CSV文件(*.csv)", "*.csv", "csv"};
inline constexpr std::string_view kExportFileName = "科目标志明细.csv";

// ---- The server login dialog --------------------------------------------------------------

inline constexpr WindowDesign kLoginDialog{"frmLogin", "登陆", 3765, 1920,
                                           Placement::CentreOfScreen};

// The dialog's controls, in tab order; the focus starts in the first that takes it.
enum class LoginControl {
  Computer,     // label
  txtUserName,  // the server computer's name
  lblPassword,  // label
  txtPassword,  // the password of sa, shown as "*", input methods off
  cmdOK,
  cmdCancel,  // the cancel button
  cmdSelect,  // opens the computer picker
  lblDatabase,
  cmdRefresh,  // the default button
  dbList,      // drop-down combo: an editable text with a list
};
inline constexpr int kLoginControlCount = 10;

// The server box ends where the browse button begins: designed to reach under the button, it
// would either hide the button's left half or, drawn under it, change the tab order.
inline constexpr std::array<ControlDesign, kLoginControlCount> kLoginControls{{
    {"Computer", ControlKind::Label, {105, 120, 1080, 270}, "服务器"},
    {"txtUserName", ControlKind::TextBox, {1320, 120, 1800, 375}, "(local)"},
    {"lblPassword", ControlKind::Label, {105, 540, 1080, 270}, "SA口令"},
    {"txtPassword", ControlKind::PasswordBox, {1320, 525, 2295, 345}, ""},
    {"cmdOK", ControlKind::Button, {1320, 1440, 1140, 390}, "确定", false},
    {"cmdCancel", ControlKind::Button, {2520, 1440, 1140, 390}, "取消", true, ButtonRole::Cancel},
    {"cmdSelect", ControlKind::Button, {3120, 120, 495, 375}, "..."},
    {"lblDatabase", ControlKind::Label, {120, 960, 1080, 270}, "数据库"},
    {"cmdRefresh", ControlKind::Button, {120, 1440, 1140, 390}, "刷新", true, ButtonRole::Default},
    {"dbList", ControlKind::ComboBox, {1320, 960, 2295, 300}, ""},
}};

constexpr const ControlDesign& design(LoginControl control) {
  return kLoginControls[static_cast<int>(control)];
}

// The login dialog's button of a role.
constexpr LoginControl buttonOf(ButtonRole role) {
  for (int i = 0; i < kLoginControlCount; ++i) {
    if (kLoginControls[i].role == role) return static_cast<LoginControl>(i);
  }
  return LoginControl::Computer;
}

inline constexpr char kPasswordCharacter = '*';

// ---- The computer picker --------------------------------------------------------------------

// The title of the computer picker, modal to the login dialog. On Windows it is the shell's own
// browser, restricted to computers; elsewhere a chooser of the database servers that answer on
// the local network, of this design size.
inline constexpr WindowDesign kComputerPicker{"modSHBrowse", "请选取数据库服务器计算机名：", 4800,
                                              4200, Placement::CentreOfScreen};

}  // namespace leafward::app
