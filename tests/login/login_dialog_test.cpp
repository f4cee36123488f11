// The login dialog over a stand-in connection, and the computer picker over a SQL Server
// Browser on loopback.
#include "ui/login/frm_login.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "connection/server_connection_string.h"
#include "login/login_world.h"
#include "support/browser_responder.h"
#include "support/qt_application.h"
#include "ui/login/computer_picker.h"
#include "ui/login/mod_sh_browse.h"

namespace leafward::ui {
namespace {

using namespace std::chrono_literals;

[[maybe_unused]] auto* const kQt = ::testing::AddGlobalTestEnvironment(new testing::QtApplication);

const std::vector<std::pair<QString, QString>> kWrongPassword{{"口令错误", "Login"}};

class FrmLoginTest : public ::testing::Test {
 protected:
  // Shows the dialog and waits until it has the keyboard.
  void showActive() {
    dialog_.show();
    dialog_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog_));
  }
  void refresh(const QString& password) {
    dialog_.txtPassword()->setText(password);
    dialog_.cmdRefreshClick();
  }

  const bool noLastServer_ = (strLastServer().clear(), true);
  testing::LoginWorld world_;
  testing::ScriptedPrompts prompts_;
  FrmLogin dialog_{world_.target(), prompts_};
};

TEST_F(FrmLoginTest, StartsOnThisComputerWithAHiddenPasswordAndNothingToOk) {
  showActive();
  EXPECT_EQ(QApplication::focusWidget(), dialog_.txtUserName());
  EXPECT_EQ(dialog_.txtUserName()->text(), "(local)");
  EXPECT_EQ(dialog_.txtPassword()->echoMode(), QLineEdit::Password);
  EXPECT_FALSE(dialog_.txtPassword()->testAttribute(Qt::WA_InputMethodEnabled));
  EXPECT_EQ(dialog_.dbList()->count(), 0);
  EXPECT_FALSE(dialog_.cmdOK()->isEnabled());
}

// The shared recordset is whatever the last query left, possibly open and at its end. A second
// refresh replaces the list rather than adding to it.
TEST_F(FrmLoginTest, RefreshListsTheAccountSetsAndLeavesMasterOpen) {
  world_.rsData = std::make_shared<dataaccess::Recordset>(dataaccess::ResultSet{{"ccode"}, {}});
  dialog_.txtUserName()->setText("ACCT1");
  refresh("right");
  EXPECT_EQ(world_.strConn, connection::serverConnectionString("right", "ACCT1"));
  EXPECT_EQ(dialog_.dbList()->count(), 2);
  EXPECT_EQ(dialog_.dbList()->currentText(), "pelkor_001_2023");
  EXPECT_TRUE(dialog_.cmdOK()->isEnabled());
  EXPECT_EQ(world_.cnData.defaultDatabase(), "master");
  EXPECT_EQ(world_.rsData->state(), dataaccess::kAdStateClosed);
  world_.databases = {"pelkor_003_2025"};
  dialog_.cmdRefreshClick();
  ASSERT_EQ(dialog_.dbList()->count(), 1);
  EXPECT_EQ(dialog_.dbList()->currentText(), "pelkor_003_2025");
}

// A failed refresh or OK says "wrong password", closes the connection, puts the focus in the
// password box and keeps the dialog as an earlier refresh left it.
TEST_F(FrmLoginTest, AFailedRefreshOrOkSaysWrongPasswordAndClosesTheConnection) {
  showActive();
  refresh("right");
  dialog_.txtPassword()->setText("wrong");
  for (auto press : {&FrmLogin::cmdRefreshClick, &FrmLogin::cmdOKClick}) {
    dialog_.txtUserName()->setFocus();
    prompts_.messages.clear();
    (dialog_.*press)();
    EXPECT_EQ(prompts_.messages, kWrongPassword);
    EXPECT_EQ(QApplication::focusWidget(), dialog_.txtPassword());
    EXPECT_EQ(world_.cnData.state(), dataaccess::kAdStateClosed);
    EXPECT_EQ(dialog_.dbList()->count(), 2);
    EXPECT_TRUE(dialog_.cmdOK()->isEnabled());
    EXPECT_FALSE(dialog_.unloaded());
    EXPECT_TRUE(dialog_.isVisible());
  }
}

// A refused list ends the refresh silently. A refresh that finds no account sets empties the
// list (and what was typed in it) but still enables OK, which then opens what the boxes hold at
// that moment, and unloads.
TEST_F(FrmLoginTest, OkUsesTheValuesAsTheyNowStand) {
  world_.refuseQuery = true;
  refresh("right");
  EXPECT_TRUE(prompts_.messages.empty());
  EXPECT_FALSE(dialog_.cmdOK()->isEnabled());
  EXPECT_EQ(world_.cnData.state(), dataaccess::kAdStateOpen);

  world_.refuseQuery = false;
  world_.databases.clear();
  dialog_.dbList()->setEditText("typed");
  dialog_.cmdRefreshClick();
  EXPECT_EQ(dialog_.dbList()->count(), 0);
  EXPECT_EQ(dialog_.dbList()->currentText(), "");
  EXPECT_TRUE(dialog_.cmdOK()->isEnabled());
  dialog_.txtUserName()->setText("OTHER\\INST");
  dialog_.dbList()->setEditText("not_listed");
  dialog_.cmdOKClick();
  EXPECT_EQ(world_.strConn,
            connection::serverConnectionString("right", "OTHER\\INST", "not_listed"));
  EXPECT_EQ(world_.cnData.defaultDatabase(), "not_listed");
  EXPECT_TRUE(dialog_.unloaded());
}

// Enter in the database box does not add the typed text to the list.
TEST_F(FrmLoginTest, EnterPressesRefreshInEveryBoxAndEscPressesCancel) {
  showActive();
  int refreshes = 0, oks = 0, cancels = 0;
  QObject::connect(dialog_.cmdRefresh(), &QPushButton::clicked, [&] { ++refreshes; });
  QObject::connect(dialog_.cmdOK(), &QPushButton::clicked, [&] { ++oks; });
  QObject::connect(dialog_.cmdCancel(), &QPushButton::clicked, [&] { ++cancels; });
  dialog_.txtPassword()->setText("right");
  for (QWidget* box : std::initializer_list<QWidget*>{dialog_.txtUserName(), dialog_.txtPassword(),
                                                      dialog_.dbList()}) {
    box->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
  }
  EXPECT_EQ(refreshes, 6);
  EXPECT_EQ(oks, 0);
  dialog_.txtPassword()->setText("wrong");
  dialog_.dbList()->setFocus();
  dialog_.dbList()->setEditText("typed");
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  EXPECT_EQ(refreshes, 7);
  EXPECT_EQ(dialog_.dbList()->count(), 2);

  QTest::keyClick(dialog_.txtPassword(), Qt::Key_Escape);
  EXPECT_EQ(cancels, 1);
  EXPECT_FALSE(dialog_.isVisible());
  EXPECT_FALSE(dialog_.unloaded());
}

// Cancelling before anything was ever picked empties the box, even of "(local)"; cancelling
// later brings the last pick back.
TEST_F(FrmLoginTest, BrowseFillsTheServerBoxWithTheLastPick) {
  dialog_.cmdSelectClick();
  EXPECT_EQ(dialog_.txtUserName()->text(), "");
  prompts_.picks = {"ACCT1\\YEAR2024", ""};
  dialog_.cmdSelectClick();
  EXPECT_EQ(dialog_.txtUserName()->text(), "ACCT1\\YEAR2024");
  dialog_.txtUserName()->setText("typed");
  dialog_.cmdSelectClick();
  EXPECT_EQ(dialog_.txtUserName()->text(), "ACCT1\\YEAR2024");
  EXPECT_EQ(strLastServer(), "ACCT1\\YEAR2024");
  EXPECT_EQ(prompts_.browsed, 3);
}

// Acts inside the picker once it is shown.
void whilePicking(const std::function<void(ComputerPicker&)>& script) {
  QTimer::singleShot(0, [script] {
    auto* picker = qobject_cast<ComputerPicker*>(QApplication::activeModalWidget());
    ASSERT_NE(picker, nullptr);
    script(*picker);
    if (picker->isVisible()) picker->reject();
  });
}

bool waitFor(const std::function<bool()>& condition) {
  for (int i = 0; i < 500 && !condition(); ++i) QTest::qWait(10);
  return condition();
}

TEST(BrowseForComputerTest, ListsTheServersThatAnswerAndReturnsThePick) {
  testing::Responder responder(
      {testing::answer("ServerName;ACCT1;InstanceName;MSSQLSERVER;IsClustered;No;;"
                       "ServerName;ACCT1;InstanceName;Y2024;IsClustered;No;;"),
       {0x05, 0xFF}});
  QWidget owner;
  whilePicking([&owner](ComputerPicker& picker) {
    EXPECT_EQ(picker.windowTitle(), "请选取数据库服务器计算机名：");
    EXPECT_EQ(picker.parentWidget(), &owner);
    EXPECT_TRUE(picker.searching());
    EXPECT_TRUE(picker.status()->text().contains("正在搜索"));
    ASSERT_TRUE(waitFor([&] { return picker.list()->count() == 2; }));
    EXPECT_EQ(picker.list()->item(0)->text(), "ACCT1");
    picker.list()->setCurrentRow(1);
    picker.accept();
  });
  EXPECT_EQ(BrowseForComputer(&owner, {"127.0.0.1", responder.port(), 2000ms}), "ACCT1\\Y2024");
}

TEST(BrowseForComputerTest, CancelReturnsNothingAndAnEmptyNetworkSaysSo) {
  testing::Responder responder({});
  whilePicking([](ComputerPicker& picker) {
    ASSERT_TRUE(waitFor([&] { return !picker.searching(); }));
    EXPECT_EQ(picker.list()->count(), 0);
    EXPECT_TRUE(picker.status()->text().contains("没有找到"));
    picker.reject();
  });
  EXPECT_EQ(BrowseForComputer(nullptr, {"127.0.0.1", responder.port(), 200ms}), "");
}

TEST(BrowseForComputerTest, ClosingWhileSearchingStopsTheSearch) {
  testing::Responder responder({});
  whilePicking([](ComputerPicker& picker) {
    EXPECT_TRUE(picker.searching());
    picker.reject();
  });
  EXPECT_EQ(BrowseForComputer(nullptr, {"127.0.0.1", responder.port(), 60000ms}), "");
}

}  // namespace
}  // namespace leafward::ui
