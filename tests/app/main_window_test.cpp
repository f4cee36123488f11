// The main window's decisions, on a window without a toolkit.
#include "app/main_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "app/details_window.h"
#include "app/fake_views.h"
#include "app/login_dialog.h"
#include "app/login_world.h"
#include "audit/report.h"
#include "support/fake_session.h"
#include "support/files.h"

namespace leafward::app {
namespace {

using testing::AccountSet;
using testing::Asked;
using testing::texts;

const Asked kNoticeBox = {"message", std::string(kNotice), "Leafward"};
const Asked kFileBox = {"open", "打开Access数据", "Access数据(*.mdb)", "*.mdb", "mdb"};

struct Window {
  connection::SharedConnection shared;
  testing::FakeMainView view;
  testing::LoginWorld server;
  testing::FakeLoginViews loginViews;
  LoginDialogHost login{
      {shared.cnData, shared.rsData, shared.strConn, shared.strSQL, server.opener()}, loginViews};
  testing::TempDir records;
  MainWindow window{shared, view, &login, records.path().string()};

  Window() { window.load(); }
  // A Check that ends early (no codes at all) leaves the window busy.
  void busyFromAnEmptyCheck() {
    AccountSet empty;
    empty.lengths = {};
    shared.cnData.adopt(empty.session());
    window.toolbarButtonClick("Check");
  }
};

// Keys are compared exactly: another case, or a key of no button, does nothing. Every command,
// and every key that does nothing, is followed by a tick.
TEST(MainWindowTest, TheToolbarRunsTheCommandWhoseKeyMatchesExactly) {
  Window w;
  AccountSet set;
  set.secondList = texts({"100201"});
  w.shared.cnData.adopt(set.session());
  for (const char* key : {"check", "CHECK", "Check ", "", "Help"}) w.window.toolbarButtonClick(key);
  EXPECT_EQ(w.view.result, "");
  EXPECT_TRUE(w.view.asked.empty());
  EXPECT_EQ(w.view.ticksRequested, 5);

  w.window.toolbarButtonClick("Check");
  EXPECT_EQ(w.view.result, "\r\n如下末级科目标志有误：100201");
  w.window.toolbarButtonClick("help");
  EXPECT_EQ(w.view.asked, std::vector<Asked>{kNoticeBox});
  EXPECT_EQ(w.view.ticksRequested, 7);
}

// F1 shows the notice; other keys go on to the control.
TEST(MainWindowTest, F1ShowsTheNotice) {
  Window w;
  EXPECT_TRUE(w.window.keyDown(kKeyF1));
  EXPECT_FALSE(w.window.keyDown(113));  // F2
  EXPECT_FALSE(w.window.keyDown('A'));
  EXPECT_EQ(w.view.asked, std::vector<Asked>{kNoticeBox});
}

// The tick that follows every command writes the time and ends the busy state, also while a box is
// open.
TEST(MainWindowTest, TheTickEndsTheBusyStateAndShowsTheTime) {
  Window w;
  w.busyFromAnEmptyCheck();
  EXPECT_FALSE(w.view.enabled);
  EXPECT_TRUE(w.view.wait);
  w.window.tick();
  EXPECT_TRUE(w.view.enabled);
  EXPECT_FALSE(w.view.wait);
  EXPECT_EQ(w.view.panels[1], "14:03:27");
  EXPECT_EQ(w.view.panels[0], "");

  EXPECT_EQ(millisecondsToNextSecond(0), 1000);
  EXPECT_EQ(millisecondsToNextSecond(1), 999);
  EXPECT_EQ(millisecondsToNextSecond(999), 1);
}

// Whatever a command throws is shown in a box titled with the window's caption, and the window
// is usable again at once: no exception reaches the toolkit.
TEST(MainWindowTest, ACommandThatThrowsIsShownAndEndsTheBusyState) {
  Window w;
  w.busyFromAnEmptyCheck();
  ASSERT_FALSE(w.view.enabled);
  const int ticks = w.view.ticksRequested;
  w.view.fileBoxFailure = "the file box could not be shown";
  EXPECT_NO_THROW(w.window.toolbarButtonClick("Open"));
  EXPECT_EQ(w.view.asked.back(), (Asked{"message", "the file box could not be shown", "Leafward"}));
  EXPECT_TRUE(w.view.enabled);
  EXPECT_FALSE(w.view.wait);
  EXPECT_EQ(w.view.ticksRequested, ticks + 1);
}

TEST(MainWindowTest, OpenCancelledChangesNothingAndOpenFailedSaysWhy) {
  Window w;
  w.shared.cnData.adopt(AccountSet{}.session());
  w.shared.blnServer = true;
  w.view.panels[0] = "old.mdb";
  w.view.result = "earlier";
  w.window.toolbarButtonClick("Open");
  EXPECT_EQ(w.view.asked, std::vector<Asked>{kFileBox});
  EXPECT_EQ(w.shared.cnData.state(), dataaccess::kAdStateOpen);
  EXPECT_TRUE(w.shared.blnServer);
  EXPECT_EQ(w.view.panels[0], "old.mdb");

  // A file that cannot be opened: the old connection is gone, nothing is named as open, and
  // the box says which file failed and why; Check then does nothing.
  w.view.fileAnswers = {"/nonexistent/leafward/账套.mdb"};
  w.window.toolbarButtonClick("Open");
  EXPECT_EQ(w.shared.cnData.state(), dataaccess::kAdStateClosed);
  EXPECT_FALSE(w.shared.blnServer);
  EXPECT_EQ(w.view.panels[0], "");
  EXPECT_EQ(w.view.result.rfind("earlier\r\n无法打开Access文件：账套.mdb（", 0), 0u)
      << w.view.result;
  const std::string report = w.view.result;
  w.window.toolbarButtonClick("Check");
  EXPECT_EQ(w.view.result, report);
}

// The status bar names the file, not its folder. The repair is on record, and undoing it, once
// the user has said Yes to the repair it names, puts every flag back.
TEST(MainWindowTest, OpenCheckUpdateAndUndoTheRepair) {
  Window w;
  testing::TempDir folder;
  const std::string path = folder.copyFixture("account-sets/worked-example.mdb", "账套 2024.mdb");
  w.shared.blnServer = true;
  EXPECT_FALSE(w.window.canUndoLastRepair());
  w.view.fileAnswers = {path};
  w.window.toolbarButtonClick("Open");
  EXPECT_EQ(w.view.panels[0], "账套 2024.mdb");
  EXPECT_FALSE(w.shared.blnServer);
  w.window.toolbarButtonClick("Check");
  w.window.toolbarButtonClick("Update");
  const std::string repaired = testing::expectedBoxReport("worked-example.mdb") +
                               "\r\n有 3个非末级科目标志被更新\r\n有 1个末级科目标志被更新";
  EXPECT_EQ(w.view.result, repaired);
  EXPECT_TRUE(w.view.enabled);
  EXPECT_FALSE(w.view.wait);

  // No: nothing changes.
  ASSERT_TRUE(w.window.canUndoLastRepair());
  w.view.asked.clear();
  w.window.undoLastRepairClick();
  ASSERT_EQ(w.view.asked.size(), 1u);
  EXPECT_EQ(w.view.asked[0][0], "yes/no");
  EXPECT_NE(w.view.asked[0][1].find("该修复更新了 3个非末级科目标志、1个末级科目标志"),
            std::string::npos)
      << w.view.asked[0][1];
  EXPECT_EQ(w.view.asked[0][2], "Leafward");
  EXPECT_EQ(w.view.result, repaired);

  // Yes: busy as Update is, while the record is read and while the flags are put back, never
  // under the question.
  w.view.yesNoAnswers = {true};
  w.view.busyLog.clear();
  w.window.undoLastRepairClick();
  EXPECT_EQ(w.view.busyLog, (std::vector<std::string>{"busy", "idle", "yes/no", "busy", "idle"}));
  EXPECT_NE(w.view.result.find("\r\n有 3个非末级科目标志被恢复\r\n有 1个末级科目标志被恢复"),
            std::string::npos)
      << w.view.result;
  EXPECT_TRUE(w.view.enabled);
  EXPECT_FALSE(w.view.wait);
  EXPECT_EQ(testing::readBytes(path),
            testing::readBytes(testing::fixture("account-sets/worked-example.mdb")));
}

// "Link" always addresses SQL Server afterwards, unless the dialog left an Access file open,
// which keeps Jet's dialect and stays the account set that Update records and undo puts back;
// panel 1 then names the connection's database.
TEST(MainWindowTest, LinkFollowsWhatTheDialogLeftOpen) {
  Window w;
  w.loginViews.script = [](LoginDialog& dialog, testing::FakeLoginView& view) {
    view.texts[LoginControl::txtPassword] = "right";
    dialog.refreshClick();
  };
  w.window.toolbarButtonClick("Link");
  EXPECT_TRUE(w.shared.blnServer);
  EXPECT_EQ(w.view.panels[0], "master");
  // Nothing was repaired on master: the box says so.
  w.window.undoLastRepairClick();
  EXPECT_EQ(w.view.result, "\r\n没有可以撤销的修复");
  w.view.result.clear();

  testing::FixtureCopy example("worked-example.mdb");
  w.view.fileAnswers = {example.path()};
  w.window.toolbarButtonClick("Open");
  w.loginViews.script = nullptr;  // Cancel at once
  w.window.toolbarButtonClick("Link");
  EXPECT_FALSE(w.shared.blnServer);
  EXPECT_EQ(w.view.panels[0], "");  // what the connection reports as its database
  w.window.toolbarButtonClick("Check");
  EXPECT_EQ(w.view.result, testing::expectedBoxReport("worked-example.mdb"));
  w.window.toolbarButtonClick("Update");
  EXPECT_NE(w.view.result.find("\r\n有 3个非末级科目标志被更新"), std::string::npos)
      << w.view.result;
  std::vector<std::string> records;  // the file's own record
  for (const auto& entry : std::filesystem::directory_iterator(w.records.path())) {
    if (entry.path().extension() == ".csv") {
      records.push_back(testing::utf8Text(entry.path().filename()));
    }
  }
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].rfind("worked-example.mdb (", 0), 0u) << records[0];
  w.view.yesNoAnswers = {true};
  w.window.undoLastRepairClick();
  EXPECT_EQ(testing::readBytes(example.path()),
            testing::readBytes(testing::fixture("account-sets/worked-example.mdb")));
}

// A connection the window cannot name an account set for (here one no dialog opened) is not
// repaired, since the repair could not be recorded: the box says so and no statement is sent.
TEST(MainWindowTest, LinkWithoutADialogUpdateWithoutARecordAndClosingTheWindow) {
  connection::SharedConnection shared;
  testing::FakeMainView view;
  MainWindow window(shared, view);
  window.load();
  AccountSet set;
  set.secondList = texts({"100201"});
  auto session = set.session();
  const auto sent = session->sent;
  shared.cnData.adopt(std::move(session));
  window.toolbarButtonClick("Link");
  EXPECT_FALSE(shared.blnServer);
  view.result = "earlier";
  window.toolbarButtonClick("Update");
  EXPECT_EQ(view.result,
            "earlier\r\n未能写入修复记录，没有更新任何科目标志：不知道打开的是哪个账套");
  EXPECT_TRUE(sent->empty());
  EXPECT_TRUE(view.enabled);
  window.unload();
  EXPECT_EQ(shared.cnData.state(), dataaccess::kAdStateClosed);
}

// The details of the last Check can be shown once a Check came to its end, until the flags
// change or another account set is opened; they are the Check's own findings.
TEST(MainWindowTest, TheDetailsOfTheLastCheck) {
  Window w;
  testing::FixtureCopy example("worked-example.mdb");
  EXPECT_FALSE(w.window.canShowDetails());
  w.view.fileAnswers = {example.path()};
  w.window.toolbarButtonClick("Open");
  w.window.showDetailsClick();  // no Check yet: nothing shows
  EXPECT_EQ(w.view.detailsShown, 0);
  w.window.toolbarButtonClick("Check");
  ASSERT_TRUE(w.window.canShowDetails());
  std::vector<std::string> shown;
  w.view.detailsScript = [&](DetailsWindow& details) {
    for (int row = 0; row < details.rowCount(); ++row) {
      shown.push_back(details.cell(row, DetailsColumn::Code) + " " +
                      details.cell(row, DetailsColumn::Name) + "|" +
                      details.cell(row, DetailsColumn::Reason));
    }
  };
  w.window.showDetailsClick();
  EXPECT_EQ(w.view.detailsShown, 1);
  EXPECT_EQ(shown,
            (std::vector<std::string>{"1001 |有下级科目 100101", "1002 |有下级科目 100201 等 3 个",
                                      "100201 |没有下级科目", "100202 |有下级科目 10020201"}));
  w.window.toolbarButtonClick("Update");
  EXPECT_FALSE(w.window.canShowDetails());
  w.window.toolbarButtonClick("Check");
  EXPECT_TRUE(w.window.canShowDetails());
  w.view.fileAnswers = {example.path()};
  w.window.toolbarButtonClick("Open");
  EXPECT_FALSE(w.window.canShowDetails());
}

// A Check reads no more than its own statements: the details are read when the window first
// shows them, once.
TEST(MainWindowTest, TheDetailsAreReadWhenTheWindowFirstShowsThem) {
  Window w;
  AccountSet set;
  set.firstList = texts({"1001"});
  auto session = set.session();
  const auto sent = session->sent;
  w.shared.cnData.adopt(std::move(session));
  w.window.toolbarButtonClick("Check");
  const auto detailQueries = [&] {
    return std::count(sent->begin(), sent->end(), testing::kDetails);
  };
  EXPECT_EQ(detailQueries(), 0);
  w.window.showDetailsClick();
  w.window.showDetailsClick();
  EXPECT_EQ(detailQueries(), 1);
  EXPECT_EQ(w.view.detailsShown, 2);
  EXPECT_TRUE(w.view.enabled);
  EXPECT_FALSE(w.view.wait);
}

// A file handed to the program opens as one chosen in the Open box; anything else is refused in
// panel 1, and what is open stays open.
TEST(MainWindowTest, FilesHandedToTheProgram) {
  Window w;
  testing::TempDir folder;
  const std::string path = folder.copyFixture("account-sets/worked-example.mdb", "账套.MDB");
  w.shared.blnServer = true;
  w.window.openGiven({path});
  EXPECT_EQ(w.view.panels[0], "账套.MDB");
  EXPECT_FALSE(w.shared.blnServer);
  EXPECT_TRUE(w.view.asked.empty());  // no file box
  w.window.toolbarButtonClick("Check");
  EXPECT_EQ(w.view.result, testing::expectedBoxReport("worked-example.mdb"));

  const int ticks = w.view.ticksRequested;
  w.window.openGiven({folder.file("notes.txt")});
  EXPECT_EQ(w.view.panels[0], "不是Access数据文件：notes.txt");
  w.window.openGiven({path, path});
  EXPECT_EQ(w.view.panels[0], "一次只能打开一个文件");
  w.window.openGiven({});
  EXPECT_EQ(w.view.ticksRequested, ticks + 3);
  EXPECT_EQ(w.shared.cnData.state(), dataaccess::kAdStateOpen);
  EXPECT_TRUE(w.window.canShowDetails());

  // An .mdb that is no database fails as Open does: nothing is open, the box says why.
  const std::string broken = folder.file("broken.mdb");
  testing::writeBytes(broken, std::vector<std::uint8_t>(4096, 0));
  w.window.openGiven({broken});
  EXPECT_EQ(w.shared.cnData.state(), dataaccess::kAdStateClosed);
  EXPECT_EQ(w.view.panels[0], "");
  EXPECT_NE(w.view.result.find("无法打开Access文件：broken.mdb（"), std::string::npos);
}

}  // namespace
}  // namespace leafward::app
