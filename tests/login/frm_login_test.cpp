#include "ui/login/frm_login.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "connection/server_connection_string.h"
#include "login/login_world.h"
#include "odbc/loopback.h"
#include "support/qt_application.h"

namespace leafward::ui {
namespace {

using testing::LoginWorld;
using testing::ScriptedPrompts;

[[maybe_unused]] auto* const kQt = ::testing::AddGlobalTestEnvironment(new testing::QtApplication);

const std::pair<QString, QString> kWrongPassword{"口令错误", "Login"};

// Shows the dialog and waits until it has the keyboard.
void showActive(FrmLogin& dialog) {
  dialog.show();
  dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
}

class FrmLoginTest : public ::testing::Test {
 protected:
  void SetUp() override { strLastServer().clear(); }
  LoginWorld world_;
  ScriptedPrompts prompts_;
};

TEST_F(FrmLoginTest, LoadsWithTheDesignedLayout) {
  FrmLogin dialog(world_.target(), prompts_);
  EXPECT_EQ(dialog.windowTitle(), "登陆");
  EXPECT_EQ(dialog.size(), QSize(251, 128));
  EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
  EXPECT_TRUE(dialog.windowFlags() & Qt::Tool);
  EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMinMaxButtonsHint);

  const auto geometry = [&](const char* name) {
    return dialog.findChild<QWidget*>(name)->geometry();
  };
  EXPECT_EQ(geometry("Computer"), QRect(7, 8, 72, 18));
  EXPECT_EQ(geometry("txtUserName"), QRect(88, 8, 137, 25));
  EXPECT_EQ(geometry("lblLabels1"), QRect(7, 36, 72, 18));
  EXPECT_EQ(geometry("txtPassword"), QRect(88, 35, 153, 23));
  EXPECT_EQ(geometry("cmdOK"), QRect(88, 96, 76, 26));
  EXPECT_EQ(geometry("cmdCancel"), QRect(168, 96, 76, 26));
  EXPECT_EQ(geometry("cmdSelect"), QRect(208, 8, 33, 25));
  EXPECT_EQ(geometry("lblLabels0"), QRect(8, 64, 72, 18));
  EXPECT_EQ(geometry("cmdRefresh"), QRect(8, 96, 76, 26));
  EXPECT_EQ(geometry("dbList"), QRect(88, 64, 153, 20));

  EXPECT_EQ(dialog.findChild<QLabel*>("Computer")->text(), "服务器");
  EXPECT_EQ(dialog.findChild<QLabel*>("lblLabels1")->text(), "SA口令");
  EXPECT_EQ(dialog.findChild<QLabel*>("lblLabels0")->text(), "数据库");
  EXPECT_EQ(dialog.cmdOK()->text(), "确定");
  EXPECT_EQ(dialog.cmdCancel()->text(), "取消");
  EXPECT_EQ(dialog.cmdSelect()->text(), "...");
  EXPECT_EQ(dialog.cmdRefresh()->text(), "刷新");

  EXPECT_EQ(dialog.txtUserName()->text(), "(local)");
  EXPECT_EQ(dialog.txtPassword()->text(), "");
  EXPECT_EQ(dialog.txtPassword()->echoMode(), QLineEdit::Password);
  EXPECT_FALSE(dialog.txtPassword()->testAttribute(Qt::WA_InputMethodEnabled));
  EXPECT_TRUE(dialog.txtPassword()->inputMethodHints() & Qt::ImhSensitiveData);
  EXPECT_TRUE(dialog.dbList()->isEditable());
  EXPECT_EQ(dialog.dbList()->count(), 0);
  EXPECT_EQ(dialog.dbList()->currentText(), "");
  EXPECT_FALSE(dialog.cmdOK()->isEnabled());
  EXPECT_TRUE(dialog.cmdRefresh()->isDefault());
}

TEST_F(FrmLoginTest, FocusStartsInTheServerBoxAndFollowsTheTabOrder) {
  FrmLogin dialog(world_.target(), prompts_);
  showActive(dialog);
  EXPECT_EQ(QApplication::focusWidget(), dialog.txtUserName());
  const auto tabs = [&] {
    QStringList order;
    for (int i = 0; i < 7; ++i) {
      order << QApplication::focusWidget()->objectName();
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    return order.join(",");
  };
  // The disabled OK button takes no focus.
  EXPECT_EQ(tabs(), "txtUserName,txtPassword,cmdCancel,cmdSelect,cmdRefresh,dbList,txtUserName");
  dialog.cmdOK()->setEnabled(true);
  dialog.txtUserName()->setFocus();
  EXPECT_EQ(tabs(), "txtUserName,txtPassword,cmdOK,cmdCancel,cmdSelect,cmdRefresh,dbList");
}

TEST_F(FrmLoginTest, RefreshListsTheAccountSetsAndLeavesMasterOpen) {
  FrmLogin dialog(world_.target(), prompts_);
  dialog.txtUserName()->setText("ACCT1");
  dialog.txtPassword()->setText("right");
  dialog.cmdRefreshClick();
  EXPECT_EQ(world_.strConn, connection::serverConnectionString("right", "ACCT1"));
  EXPECT_EQ(world_.strSQL, connection::kAccountSetQuery);
  ASSERT_EQ(dialog.dbList()->count(), 2);
  EXPECT_EQ(dialog.dbList()->itemText(0), "pelkor_001_2023");
  EXPECT_EQ(dialog.dbList()->itemText(1), "pelkor_002_2024");
  EXPECT_EQ(dialog.dbList()->currentIndex(), 0);
  EXPECT_EQ(dialog.dbList()->currentText(), "pelkor_001_2023");
  EXPECT_TRUE(dialog.cmdOK()->isEnabled());
  EXPECT_EQ(world_.cnData.state(), dataaccess::kAdStateOpen);
  EXPECT_EQ(world_.cnData.defaultDatabase(), "master");
  EXPECT_EQ(world_.rsData->state(), dataaccess::kAdStateClosed);
  EXPECT_TRUE(prompts_.messages.empty());

  // A second refresh replaces the list rather than adding to it.
  world_.databases = {"pelkor_003_2025"};
  dialog.cmdRefreshClick();
  ASSERT_EQ(dialog.dbList()->count(), 1);
  EXPECT_EQ(dialog.dbList()->currentText(), "pelkor_003_2025");
}

TEST_F(FrmLoginTest, RefreshWithoutAccountSetsEmptiesTheListButEnablesOk) {
  FrmLogin dialog(world_.target(), prompts_);
  dialog.txtPassword()->setText("right");
  dialog.dbList()->setEditText("typed");
  world_.databases.clear();
  dialog.cmdRefreshClick();
  EXPECT_EQ(dialog.dbList()->count(), 0);
  EXPECT_EQ(dialog.dbList()->currentText(), "");
  EXPECT_TRUE(dialog.cmdOK()->isEnabled());
  // OK then names an empty catalogue.
  dialog.cmdOKClick();
  EXPECT_EQ(world_.strConn, connection::serverConnectionString("right", "(local)", ""));
  EXPECT_TRUE(dialog.unloaded());
}

TEST_F(FrmLoginTest, AFailedRefreshSaysWrongPasswordAndClosesTheConnection) {
  FrmLogin dialog(world_.target(), prompts_);
  showActive(dialog);
  dialog.txtPassword()->setText("right");
  dialog.cmdRefreshClick();
  dialog.txtUserName()->setFocus();
  dialog.txtPassword()->setText("wrong");
  dialog.cmdRefreshClick();
  EXPECT_EQ(prompts_.messages, std::vector{kWrongPassword});
  EXPECT_EQ(QApplication::focusWidget(), dialog.txtPassword());
  EXPECT_EQ(world_.cnData.state(), dataaccess::kAdStateClosed);
  // What an earlier refresh listed, and the enabled OK, stay.
  EXPECT_EQ(dialog.dbList()->count(), 2);
  EXPECT_TRUE(dialog.cmdOK()->isEnabled());
}

TEST_F(FrmLoginTest, ARefusedQueryEndsTheRefreshSilently) {
  FrmLogin dialog(world_.target(), prompts_);
  dialog.txtPassword()->setText("right");
  world_.refuseQuery = true;
  dialog.cmdRefreshClick();
  EXPECT_TRUE(prompts_.messages.empty());
  EXPECT_FALSE(dialog.cmdOK()->isEnabled());
  EXPECT_EQ(world_.cnData.state(), dataaccess::kAdStateOpen);
}

TEST_F(FrmLoginTest, RefreshAfterACheckLeftItsRecordsetOpenStillLists) {
  // The shared recordset is whatever the last query left, possibly open and at its end.
  world_.rsData = std::make_shared<dataaccess::Recordset>(dataaccess::ResultSet{{"ccode"}, {}});
  FrmLogin dialog(world_.target(), prompts_);
  dialog.txtPassword()->setText("right");
  dialog.cmdRefreshClick();
  EXPECT_EQ(dialog.dbList()->count(), 2);
}

TEST_F(FrmLoginTest, OkUsesTheValuesAsTheyNowStand) {
  FrmLogin dialog(world_.target(), prompts_);
  dialog.txtPassword()->setText("right");
  dialog.cmdRefreshClick();
  dialog.txtUserName()->setText("OTHER\\INST");
  dialog.dbList()->setEditText("not_listed");
  dialog.cmdOKClick();
  EXPECT_EQ(world_.strConn,
            connection::serverConnectionString("right", "OTHER\\INST", "not_listed"));
  EXPECT_EQ(world_.cnData.defaultDatabase(), "not_listed");
  EXPECT_TRUE(dialog.unloaded());
}

TEST_F(FrmLoginTest, AFailedOkKeepsTheDialogOpen) {
  FrmLogin dialog(world_.target(), prompts_);
  showActive(dialog);
  dialog.txtPassword()->setText("right");
  dialog.cmdRefreshClick();
  dialog.txtPassword()->setText("wrong");
  dialog.cmdOKClick();
  EXPECT_EQ(prompts_.messages, std::vector{kWrongPassword});
  EXPECT_FALSE(dialog.unloaded());
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(QApplication::focusWidget(), dialog.txtPassword());
  EXPECT_EQ(world_.cnData.state(), dataaccess::kAdStateClosed);
}

TEST_F(FrmLoginTest, EnterPressesRefreshInEveryBoxAndEscPressesCancel) {
  FrmLogin dialog(world_.target(), prompts_);
  showActive(dialog);
  int refreshes = 0, oks = 0, cancels = 0;
  QObject::connect(dialog.cmdRefresh(), &QPushButton::clicked, [&] { ++refreshes; });
  QObject::connect(dialog.cmdOK(), &QPushButton::clicked, [&] { ++oks; });
  QObject::connect(dialog.cmdCancel(), &QPushButton::clicked, [&] { ++cancels; });
  dialog.txtPassword()->setText("right");
  for (QWidget* box : std::initializer_list<QWidget*>{dialog.txtUserName(), dialog.txtPassword(),
                                                      dialog.dbList()}) {
    box->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
  }
  EXPECT_EQ(refreshes, 6);
  EXPECT_EQ(oks, 0);
  // Enter in the database box does not add the typed text to the list.
  dialog.txtPassword()->setText("wrong");
  dialog.dbList()->setFocus();
  dialog.dbList()->setEditText("typed");
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  EXPECT_EQ(refreshes, 7);
  EXPECT_EQ(dialog.dbList()->count(), 2);

  QTest::keyClick(dialog.txtPassword(), Qt::Key_Escape);
  EXPECT_EQ(cancels, 1);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_FALSE(dialog.unloaded());
}

TEST_F(FrmLoginTest, TheCloseBoxUnloads) {
  FrmLogin dialog(world_.target(), prompts_);
  dialog.show();
  dialog.close();
  EXPECT_TRUE(dialog.unloaded());
  EXPECT_FALSE(dialog.isVisible());
}

TEST_F(FrmLoginTest, BrowseFillsTheServerBoxWithTheLastPick) {
  FrmLogin dialog(world_.target(), prompts_);
  // Cancelling before anything was ever picked empties the box, even of "(local)".
  dialog.cmdSelectClick();
  EXPECT_EQ(dialog.txtUserName()->text(), "");
  prompts_.picks = {"ACCT1\\YEAR2024", ""};
  dialog.cmdSelectClick();
  EXPECT_EQ(dialog.txtUserName()->text(), "ACCT1\\YEAR2024");
  dialog.txtUserName()->setText("typed");
  dialog.cmdSelectClick();  // cancelled: the last pick comes back
  EXPECT_EQ(dialog.txtUserName()->text(), "ACCT1\\YEAR2024");
  EXPECT_EQ(strLastServer(), "ACCT1\\YEAR2024");
  EXPECT_EQ(prompts_.browsed, 3);
}

TEST_F(FrmLoginTest, AnUnreachableServerSaysWrongPasswordThroughTheRealDriver) {
  FrmLogin dialog(world_.realTarget(), prompts_);
  dialog.txtUserName()->setText(QString("127.0.0.1,%1").arg(testing::closedLoopbackPort()));
  dialog.txtPassword()->setText("secret;pw");
  dialog.cmdRefreshClick();
  EXPECT_EQ(prompts_.messages, std::vector{kWrongPassword});
  EXPECT_EQ(world_.cnData.state(), dataaccess::kAdStateClosed);
  EXPECT_EQ(world_.cnData.lastError().find("secret"), std::string::npos);
  EXPECT_FALSE(dialog.cmdOK()->isEnabled());
}

}  // namespace
}  // namespace leafward::ui
