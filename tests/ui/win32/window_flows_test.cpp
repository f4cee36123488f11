// leafward.exe driven through its real controls, as a user would: the toolbar clicked, a path
// typed into the real file-open box, the result box and both status panels read back. Run
// under Wine on a virtual display by run-window-tests.sh, or on a Windows desktop.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>

#include "app/layout.h"
#include "support/files.h"
#include "support/tds_stand_in.h"
#include "ui/win32/control_ids.h"
#include "ui/win32/remote_window.h"

#include <commctrl.h>

namespace leafward::testing {
namespace {

using app::LoginControl;
using ui::win32::controlId;

const std::wstring kMainClass = L"LeafwardMainWindow", kDialogClass = L"#32770";
const std::wstring kNotice =
    L"本工具适用于8.X、Orvane、W5.2X和W5.5X系列软件\r\n注意：请做好数据备份";
constexpr int kOpen = 0, kLink = 1, kCheck = 2, kUpdate = 3, kHelp = 4;

std::optional<std::string> environment(const char* name) {
  const char* value = std::getenv(name);
  if (!value || !*value) return std::nullopt;
  return value;
}

// What a leafward-cli run printed, as the result box holds it: CR LF between lines, none at
// the end.
std::wstring asBox(const std::string& printed) {
  std::string box;
  for (std::size_t i = 0; i + 1 < printed.size(); ++i) {
    if (printed[i] == '\n') box += '\r';
    box += printed[i];
  }
  return wideText(box);
}

bool sameBytes(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::ifstream first(a, std::ios::binary), second(b, std::ios::binary);
  return first && second &&
         std::equal(std::istreambuf_iterator<char>(first), std::istreambuf_iterator<char>(),
                    std::istreambuf_iterator<char>(second), std::istreambuf_iterator<char>());
}

// The window of one run of leafward.exe, with its controls.
class LeafwardWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    program_.emplace(wideText(LEAFWARD_WINDOW), arguments());
    main_ = program_->waitForWindow(kMainClass, L"Leafward");
    ASSERT_NE(main_, nullptr) << "leafward.exe showed no window";
    toolbar_ = childOfClass(main_, L"ToolbarWindow32");
    box_ = childOfClass(main_, L"Edit");
    status_ = childOfClass(main_, L"msctls_statusbar32");
    ASSERT_TRUE(toolbar_ && box_ && status_);
    // The clock has ticked once the window is up.
    ASSERT_TRUE(waitUntil([&] { return !program_->statusText(status_, 1).empty(); }));
  }
  void TearDown() override {
    // What the screen showed when a test failed.
    if (HasFailure()) {
      const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
      screenshot(GetDesktopWindow(), (std::string("failed-") + test->name() + ".png").c_str());
    }
    if (closed_ || !program_) return;
    if (!program_->running()) {
      ADD_FAILURE() << "leafward.exe ended on its own, exit code 0x" << std::hex
                    << program_->exitCode() << "; buttons pressed:" << pressed_.str();
      return;
    }
    // A window left busy or under a box by a failed test is ended with its process.
    if (idle()) close();
  }

  void press(int button) {
    const RECT place = program_->toolbarButton(toolbar_, button);
    SCOPED_TRACE(::testing::Message() << "button " << button << " at " << place.left << ","
                                      << place.top << "-" << place.right << "," << place.bottom);
    clickCentre(place);
    pressed_ << " " << button << "@" << place.left << "," << place.top << "-" << place.right << ","
             << place.bottom;
  }
  std::ostringstream pressed_;
  bool idle() const { return IsWindowEnabled(main_) != FALSE; }
  // Closes the window as its close box does; the program ends.
  void close() {
    closed_ = true;
    PostMessageW(main_, WM_CLOSE, 0, 0);
    ASSERT_TRUE(program_->waitForExit(std::chrono::seconds(30)));
  }
  std::wstring result() const { return windowText(box_); }
  std::wstring panel(int part) const { return program_->statusText(status_, part); }
  // Presses a button and waits until the result box holds `expected` and the busy state ended.
  void pressUntilResult(int button, const std::wstring& expected) {
    press(button);
    EXPECT_TRUE(waitUntil([&] { return result() == expected && idle(); }))
        << "the box holds " << utf8Text(result());
  }
  // A picture of what the screen shows of `window`, once it has drawn itself, with the pointer
  // out of the way.
  void screenshot(HWND window, const char* name) {
    if (const auto folder = environment("LEAFWARD_SCREENSHOTS")) {
      SetCursorPos(0, GetSystemMetrics(SM_CYSCREEN) - 1);
      RedrawWindow(window, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
      DWORD_PTR ignored = 0;
      SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
      Sleep(500);
      std::filesystem::create_directories(*folder);
      saveScreenshot(window, wideText(*folder + "\\" + name));
    }
  }
  // Opens the result box's menu with a right click and chooses `wanted` at its place in the
  // design table, moving down from the top with the arrow key as a user does (the arrow passes
  // over separators, not over items that are greyed).
  void chooseFromResultMenu(app::ResultMenuItem wanted) {
    RECT inBox;
    GetWindowRect(box_, &inBox);
    clickAt({(inBox.left + inBox.right) / 2, (inBox.top + inBox.bottom) / 2}, true);
    ASSERT_NE(program_->waitForWindow([](HWND window) { return className(window) == L"#32768"; }),
              nullptr)
        << "no menu";
    for (const app::ResultMenuItemDesign& entry : app::kResultMenu) {
      if (entry.item == app::ResultMenuItem::Separator) continue;
      pressKey(VK_DOWN);
      if (entry.item == wanted) break;
    }
    pressKey(VK_RETURN);
  }
  // A box of the program with this title, once it shows.
  HWND box(const std::wstring& title) { return program_->waitForWindow(kDialogClass, title); }
  // Presses Enter in the box with this title and waits until it is gone.
  void dismiss(const std::wstring& title) {
    ASSERT_TRUE(program_->waitForFocus(box(title)));
    pressKey(VK_RETURN);
    EXPECT_TRUE(waitUntil([&] { return program_->gone(kDialogClass, title); }));
  }

  // Opens a file through the real file-open box by typing its path, as a user would.
  void openThroughTheFileBox(const std::filesystem::path& path, const char* screenshotName) {
    press(kOpen);
    HWND fileBox = box(L"打开Access数据");
    ASSERT_NE(fileBox, nullptr) << "no file-open box";
    ASSERT_TRUE(program_->waitForFocus(fileBox));
    typeText(path.wstring());
    if (screenshotName) screenshot(fileBox, screenshotName);
    pressKey(VK_RETURN);
    ASSERT_TRUE(waitUntil([&] { return program_->gone(kDialogClass, L"打开Access数据"); }));
    EXPECT_TRUE(waitUntil([&] { return panel(0) == path.filename().wstring(); }))
        << "panel 1 says " << utf8Text(panel(0));
  }

  // What the program is started with, besides its name.
  virtual std::wstring arguments() { return {}; }

  std::optional<RemoteWindows> program_;
  HWND main_ = nullptr, toolbar_ = nullptr, box_ = nullptr, status_ = nullptr;
  bool closed_ = false;
};

// The window and the login dialog take their design sizes at the dots per inch of their screen,
// their pictures and buttons too.
TEST_F(LeafwardWindow, TheWindowsTakeTheirDesignSizesAtTheScreensDpi) {
  const int dpi = static_cast<int>(GetDpiForWindow(main_));
  RECT client;
  GetClientRect(main_, &client);
  EXPECT_EQ(client.right, app::pixels(app::kMainWindow.clientWidth, dpi)) << dpi << " DPI";
  EXPECT_EQ(client.bottom, app::pixels(app::kMainWindow.clientHeight, dpi));
  const RECT button = program_->toolbarButton(toolbar_, kCheck);
  EXPECT_EQ(button.right - button.left, MulDiv(app::kToolbarButtonWidth, dpi, 96));
  const auto name = std::string("main-window-") + std::to_string(dpi) + "dpi.png";
  screenshot(main_, name.c_str());

  press(kLink);
  HWND login = box(L"登陆");
  ASSERT_NE(login, nullptr) << "no login dialog";
  GetClientRect(login, &client);
  EXPECT_EQ(client.right, app::pixels(app::kLoginDialog.clientWidth, dpi));
  EXPECT_EQ(client.bottom, app::pixels(app::kLoginDialog.clientHeight, dpi));
  RECT ok;
  GetWindowRect(GetDlgItem(login, controlId(app::LoginControl::cmdOK)), &ok);
  EXPECT_EQ(ok.right - ok.left,
            app::pixels(app::design(app::LoginControl::cmdOK).place.width, dpi));
  pressKey(VK_ESCAPE);
  EXPECT_TRUE(waitUntil([&] { return program_->gone(kDialogClass, L"登陆") && idle(); }));
}

// The help button and F1, wherever the focus is and whatever is held, show the two-line notice
// titled with the program's name; the window is usable again after each.
TEST_F(LeafwardWindow, HelpAndF1ShowTheNotice) {
  press(kHelp);
  HWND notice = box(L"Leafward");
  ASSERT_NE(notice, nullptr);
  EXPECT_EQ(staticText(notice), kNotice);
  dismiss(L"Leafward");
  EXPECT_TRUE(waitUntil([&] { return idle(); }));

  RECT inBox;
  GetWindowRect(box_, &inBox);
  clickCentre(inBox);
  for (bool shift : {false, true}) {
    pressKey(VK_F1, shift);
    notice = box(L"Leafward");
    ASSERT_NE(notice, nullptr) << "F1 showed nothing";
    EXPECT_EQ(staticText(notice), kNotice);
    dismiss(L"Leafward");
  }
  EXPECT_TRUE(waitUntil([&] { return idle() && program_->focus(main_) == box_; }));
}

// The login dialog's browse button opens the shell's own computer browser, titled as designed;
// cancelling it before anything was ever picked empties the server box.
TEST_F(LeafwardWindow, TheBrowseButtonOpensTheShellsComputerBrowser) {
  press(kLink);
  HWND login = box(L"登陆");
  ASSERT_NE(login, nullptr) << "no login dialog";
  HWND server = GetDlgItem(login, controlId(app::LoginControl::txtUserName));
  EXPECT_EQ(windowText(server), L"(local)");
  RECT browse;
  GetWindowRect(GetDlgItem(login, controlId(app::LoginControl::cmdSelect)), &browse);
  clickCentre(browse);
  const std::wstring title = wideText(std::string(app::kComputerPicker.caption));
  HWND browser = program_->waitForWindow([&](HWND window) {
    return className(window) == kDialogClass && staticText(window) == title;
  });
  ASSERT_NE(browser, nullptr) << "no computer browser";
  screenshot(browser, "computer-browser.png");
  RECT cancel;
  GetWindowRect(GetDlgItem(browser, IDCANCEL), &cancel);
  clickCentre(cancel);
  EXPECT_TRUE(waitUntil([&] { return windowText(server).empty(); }));
  pressKey(VK_ESCAPE);
  EXPECT_TRUE(waitUntil([&] { return program_->gone(kDialogClass, L"登陆") && idle(); }));
}

// An account set under a Chinese name, opened through the file-open box: Check reports what the
// Linux program reports, Update repairs it as the Linux program does, and a Check of the
// repaired set finds nothing wrong.
TEST_F(LeafwardWindow, OpenCheckUpdateCheckAnAccountSetWithAChineseName) {
  const auto linux = environment("LEAFWARD_LINUX_RESULTS");
  if (!linux && environment("LEAFWARD_REQUIRE_LINUX_RESULTS")) FAIL() << "no Linux results";
  // Named through the wide calls, whatever code page the test program runs in.
  TempDir folder;
  const std::wstring name = L"账套 " + wideText(LEAFWARD_WINDOW_ACCOUNT_SET);
  const std::filesystem::path path = folder.path() / name;
  std::filesystem::copy_file(fixture(std::string("account-sets/") + LEAFWARD_WINDOW_ACCOUNT_SET),
                             path);

  openThroughTheFileBox(path, "file-open-box.png");

  const std::wstring checked = linux ? asBox(readFile(*linux + "\\check.txt"))
                                     : asBox(expectedReport(LEAFWARD_WINDOW_ACCOUNT_SET));
  pressUntilResult(kCheck, checked);
  screenshot(main_, "main-window.png");
  if (!linux) GTEST_SKIP() << "no Linux results to hold Update against";
  pressUntilResult(kUpdate, checked + asBox(readFile(*linux + "\\update.txt")));

  // Nothing is left to report: on an empty box the Check says so.
  SendMessageW(box_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
  pressUntilResult(kCheck, L"没有发现错误");
  close();
  EXPECT_TRUE(sameBytes(path, *linux + "\\updated.mdb"))
      << "the window's repair differs from the Linux program's";
}

// The result box's menu undoes the last repair: it names the repair in a Yes/No box first, and
// on Yes every flag goes back.
TEST_F(LeafwardWindow, TheResultBoxMenuUndoesTheLastRepair) {
  TempDir folder;
  const std::filesystem::path path = folder.path() / L"账套 worked-example.mdb";
  std::filesystem::copy_file(fixture("account-sets/worked-example.mdb"), path);
  openThroughTheFileBox(path, nullptr);
  const std::wstring repaired = L"\r\n有 3个非末级科目标志被更新\r\n有 1个末级科目标志被更新";
  pressUntilResult(kUpdate, repaired);

  // Each item does its own job: "select all" selects the whole report and changes nothing.
  chooseFromResultMenu(app::ResultMenuItem::SelectAll);
  const auto length = static_cast<DWORD>(result().size());
  EXPECT_TRUE(waitUntil([&] {
    return SendMessageW(box_, EM_GETSEL, 0, 0) == static_cast<LRESULT>(MAKELONG(0, length));
  })) << "the menu's select-all did not select the report";
  EXPECT_EQ(result(), repaired);

  chooseFromResultMenu(app::ResultMenuItem::UndoLastRepair);
  HWND question = box(L"Leafward");
  ASSERT_NE(question, nullptr) << "no question";
  EXPECT_NE(staticText(question).find(L"该修复更新了 3个非末级科目标志、1个末级科目标志"),
            std::wstring::npos)
      << utf8Text(staticText(question));
  screenshot(question, "undo-question.png");
  RECT yes;
  GetWindowRect(GetDlgItem(question, IDYES), &yes);
  clickCentre(yes);
  EXPECT_TRUE(waitUntil([&] {
    return result().ends_with(L"\r\n有 3个非末级科目标志被恢复\r\n有 1个末级科目标志被恢复") &&
           idle();
  })) << utf8Text(result());
  close();
  EXPECT_TRUE(sameBytes(path, fixture("account-sets/worked-example.mdb")))
      << "the undo did not give back the file as it was";
}

// Files dropped onto the window open as a file chosen in the Open box does; anything else is
// refused in panel 1.
TEST_F(LeafwardWindow, FilesDroppedOntoTheWindowOpenAsOpenDoes) {
  TempDir folder;
  const std::filesystem::path path = folder.path() / L"账套 worked-example.mdb";
  std::filesystem::copy_file(fixture("account-sets/worked-example.mdb"), path);
  program_->dropFiles(main_, {(folder.path() / L"notes.txt").wstring()});
  EXPECT_TRUE(waitUntil([&] { return panel(0) == L"不是Access数据文件：notes.txt"; }))
      << utf8Text(panel(0));
  program_->dropFiles(main_, {path.wstring()});
  EXPECT_TRUE(waitUntil([&] { return panel(0) == path.filename().wstring(); }))
      << utf8Text(panel(0));
  pressUntilResult(kCheck, wideText(expectedBoxReport("worked-example.mdb")));
}

// The program started with a file, as "Open with" and a file dropped on its icon start it: the
// file is open, as Open opens the file chosen in its box.
class StartedWithAFile : public LeafwardWindow {
 protected:
  std::wstring arguments() override {
    path_ = folder_.path() / L"账套 realistic-5k.mdb";
    std::filesystem::copy_file(fixture("account-sets/realistic-5k.mdb"), path_);
    return L"\"" + path_.wstring() + L"\"";
  }
  // Checks, then opens the details window through the result box's menu.
  HWND openDetails() {
    EXPECT_TRUE(waitUntil([&] { return panel(0) == path_.filename().wstring(); }))
        << utf8Text(panel(0));
    pressUntilResult(kCheck, asBox(expectedReport("realistic-5k.mdb")));
    chooseFromResultMenu(app::ResultMenuItem::ShowDetails);
    HWND details = box(std::wstring(L"科目标志明细"));
    if (details) list_ = childOfClass(details, L"SysListView32");
    return details;
  }
  int rows() const { return static_cast<int>(SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0)); }
  std::wstring cell(int row, app::DetailsColumn column) const {
    return program_->listViewText(list_, row, static_cast<int>(column));
  }
  // Closes the details window with Esc; the main window is usable again.
  void closeDetails() {
    pressKey(VK_ESCAPE);
    EXPECT_TRUE(waitUntil([&] { return program_->gone(kDialogClass, L"科目标志明细") && idle(); }));
  }

  TempDir folder_;
  std::filesystem::path path_;
  HWND list_ = nullptr;
};

// The details window, a virtual list of the Check's wrong flags sorted by code, takes its
// design size at the DPI of its screen.
TEST_F(StartedWithAFile, TheDetailsWindowTakesItsDesignSizesAtTheScreensDpi) {
  HWND details = openDetails();
  ASSERT_NE(details, nullptr) << "no details window";
  const int dpi = static_cast<int>(GetDpiForWindow(details));
  RECT client;
  GetClientRect(details, &client);
  EXPECT_EQ(client.right, app::pixels(app::kDetailsWindow.clientWidth, dpi)) << dpi << " DPI";
  EXPECT_EQ(client.bottom, app::pixels(app::kDetailsWindow.clientHeight, dpi));
  ASSERT_NE(list_, nullptr);
  EXPECT_NE(GetWindowLongPtrW(list_, GWL_STYLE) & LVS_OWNERDATA, 0);
  EXPECT_EQ(SendMessageW(list_, LVM_GETCOLUMNWIDTH, 5, 0),
            app::pixels(app::kDetailsColumns[5].width, dpi));
  EXPECT_EQ(rows(), 98);
  EXPECT_EQ(cell(0, app::DetailsColumn::Code), L"10010604");
  EXPECT_EQ(cell(0, app::DetailsColumn::Name), L"科目10010604");
  EXPECT_EQ(cell(0, app::DetailsColumn::Reason), L"没有下级科目");
  screenshot(details, ("details-window-" + std::to_string(dpi) + "dpi.png").c_str());
  closeDetails();
}

// Sorted by a heading's clicks, filtered from the keyboard, the selected row copied with
// Ctrl+C, and the rows that show exported through the save box.
TEST_F(StartedWithAFile, TheDetailsWindowSortsFiltersCopiesAndExports) {
  ASSERT_NE(openDetails(), nullptr) << "no details window";
  HWND details = box(std::wstring(L"科目标志明细"));
  ASSERT_TRUE(program_->waitForFocus(details));
  HWND heading = reinterpret_cast<HWND>(SendMessageW(list_, LVM_GETHEADER, 0, 0));
  RECT headingPlace;
  GetWindowRect(heading, &headingPlace);
  const int levelAt = headingPlace.left +
                      static_cast<int>(SendMessageW(list_, LVM_GETCOLUMNWIDTH, 0, 0) +
                                       SendMessageW(list_, LVM_GETCOLUMNWIDTH, 1, 0)) +
                      8;
  for (int click = 0; click < 2; ++click) clickAt({levelAt, headingPlace.top + 5});
  EXPECT_TRUE(waitUntil([&] { return cell(0, app::DetailsColumn::Level) == L"4"; }))
      << "highest level first after two clicks; first row "
      << utf8Text(cell(0, app::DetailsColumn::Code));

  pressKey('S', false, false, true);  // 显示(&S): the filter
  pressKey(VK_DOWN);                  // the codes that should be non-leaf
  EXPECT_TRUE(waitUntil([&] {
    return rows() > 0 && rows() < 98 && cell(0, app::DetailsColumn::WantedFlag) == L"非末级";
  })) << rows()
      << " rows";

  RECT listPlace;
  GetWindowRect(list_, &listPlace);
  clickAt({listPlace.left + 20, headingPlace.bottom + 6});  // the first row
  pressKey('C', false, true);
  std::wstring row;
  for (int column = 0; column < app::kDetailsColumnCount; ++column) {
    row += (column ? L"\t" : L"") + cell(0, static_cast<app::DetailsColumn>(column));
  }
  EXPECT_TRUE(waitUntil([&] { return clipboardText() == row + L"\r\n"; }))
      << utf8Text(clipboardText());

  const std::filesystem::path exported = folder_.path() / L"明细.csv";
  pressKey('E', false, false, true);  // 导出(&E)…
  HWND saveBox = box(L"导出明细");
  ASSERT_NE(saveBox, nullptr) << "no save box";
  ASSERT_TRUE(program_->waitForFocus(saveBox));
  typeText(exported.wstring());
  pressKey(VK_RETURN);
  ASSERT_TRUE(waitUntil([&] { return program_->gone(kDialogClass, L"导出明细"); }));
  ASSERT_TRUE(waitUntil([&] { return std::filesystem::exists(exported); }));
  const std::string csv = readFile(exported);
  EXPECT_TRUE(csv.starts_with("\xEF\xBB\xBF科目代码,科目名称,级次,当前标志,应为,原因\r\n"));
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), rows() + 1);
  closeDetails();
}

// Account sets on the stand-in SQL Server, reached through the ODBC driver that Leafward
// chooses on Windows (FreeTDS registered under its name, under Wine).
class LinkedWindow : public LeafwardWindow {
 protected:
  void SetUp() override {
    if (!environment("LEAFWARD_STAND_IN_DRIVER")) {
      GTEST_SKIP() << "no ODBC driver here that reaches the stand-in server";
    }
    LeafwardWindow::SetUp();
    server_.addDatabase("pelkor_001_2023", fixtureAccountSet("consistent"));
    server_.addDatabase("pelkor_002_2024", fixtureAccountSet("worked-example"));
  }
  HWND control(HWND dialog, LoginControl which) { return GetDlgItem(dialog, controlId(which)); }
  // Replaces what a box of the dialog holds by typing.
  void typeInto(HWND dialog, LoginControl which, const std::string& text) {
    HWND edit = control(dialog, which);
    RECT place;
    GetWindowRect(edit, &place);
    clickCentre(place);
    ASSERT_TRUE(waitUntil([&] { return program_->focus(dialog) == edit; }));
    SendMessageW(edit, EM_SETSEL, 0, -1);
    pressKey(VK_DELETE);
    typeText(wideText(text));
  }
  HWND openLogin() {
    press(kLink);
    return box(L"登陆");
  }

  // FreeTDS, standing in for Microsoft's driver, reads a doubled "}" in a braced value as two:
  // the password holds none.
  TdsStandIn server_{"s3cr;et"};
};

TEST_F(LinkedWindow, LinkRefreshOkThenCheckAndUpdate) {
  HWND login = openLogin();
  ASSERT_NE(login, nullptr) << "no login dialog";
  typeInto(login, LoginControl::txtUserName, server_.serverName());
  typeInto(login, LoginControl::txtPassword, "s3cr;et");
  pressKey(VK_RETURN);  // Refresh
  HWND list = control(login, LoginControl::dbList);
  ASSERT_TRUE(waitUntil([&] { return program_->comboItems(list).size() == 2; }));
  EXPECT_EQ(program_->comboItems(list),
            (std::vector<std::wstring>{L"pelkor_001_2023", L"pelkor_002_2024"}));
  EXPECT_EQ(windowText(list), L"pelkor_001_2023");
  EXPECT_TRUE(IsWindowEnabled(control(login, LoginControl::cmdOK)));
  screenshot(login, "login-dialog.png");
  RECT inList;
  GetWindowRect(list, &inList);
  clickAt({inList.left + 10, inList.top + 8});
  pressKey(VK_DOWN);
  EXPECT_TRUE(waitUntil([&] { return windowText(list) == L"pelkor_002_2024"; }));
  RECT ok;
  GetWindowRect(control(login, LoginControl::cmdOK), &ok);
  clickCentre(ok);
  ASSERT_TRUE(waitUntil([&] { return program_->gone(kDialogClass, L"登陆"); }));
  EXPECT_TRUE(waitUntil([&] { return panel(0) == L"pelkor_002_2024"; }));

  const std::wstring checked = wideText(expectedBoxReport("worked-example.mdb"));
  pressUntilResult(kCheck, checked);
  pressUntilResult(kUpdate,
                   checked + L"\r\n有 3个非末级科目标志被更新\r\n有 1个末级科目标志被更新");
  SendMessageW(box_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
  pressUntilResult(kCheck, L"没有发现错误");
}

TEST_F(LinkedWindow, AWrongPasswordSaysSoAndPutsTheFocusInThePasswordBox) {
  HWND login = openLogin();
  ASSERT_NE(login, nullptr) << "no login dialog";
  typeInto(login, LoginControl::txtUserName, server_.serverName());
  typeInto(login, LoginControl::txtPassword, "wrong");
  pressKey(VK_RETURN);
  HWND message = box(L"Login");
  ASSERT_NE(message, nullptr) << "no message";
  EXPECT_EQ(staticText(message), L"口令错误");
  dismiss(L"Login");
  EXPECT_TRUE(waitUntil(
      [&] { return program_->focus(login) == control(login, LoginControl::txtPassword); }));
  pressKey(VK_ESCAPE);  // Cancel
  EXPECT_TRUE(waitUntil([&] { return program_->gone(kDialogClass, L"登陆") && idle(); }));
}

}  // namespace
}  // namespace leafward::testing
