#include "ui/login/frm_login.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "connection/server_connection_string.h"
#include "login/login_world.h"
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

TEST_F(FrmLoginTest, StartsOnThisComputerWithAHiddenPasswordAndNothingToOk) {
  FrmLogin dialog(world_.target(), prompts_);
  showActive(dialog);
  EXPECT_EQ(QApplication::focusWidget(), dialog.txtUserName());
  EXPECT_EQ(dialog.txtUserName()->text(), "(local)");
  EXPECT_EQ(dialog.txtPassword()->echoMode(), QLineEdit::Password);
  EXPECT_FALSE(dialog.txtPassword()->testAttribute(Qt::WA_InputMethodEnabled));
  EXPECT_EQ(dialog.dbList()->count(), 0);
  EXPECT_FALSE(dialog.cmdOK()->isEnabled());
}

// The shared recordset is whatever the last query left, possibly open and at its end.
TEST_F(FrmLoginTest, RefreshListsTheAccountSetsAndLeavesMasterOpen) {
  world_.rsData = std::make_shared<dataaccess::Recordset>(dataaccess::ResultSet{{"ccode"}, {}});
  FrmLogin dialog(world_.target(), prompts_);
  dialog.txtUserName()->setText("ACCT1");
  dialog.txtPassword()->setText("right");
  dialog.cmdRefreshClick();
  EXPECT_EQ(world_.strConn, connection::serverConnectionString("right", "ACCT1"));
  EXPECT_EQ(dialog.dbList()->count(), 2);
  EXPECT_EQ(dialog.dbList()->currentText(), "pelkor_001_2023");
  EXPECT_TRUE(dialog.cmdOK()->isEnabled());
  EXPECT_EQ(world_.cnData.defaultDatabase(), "master");
  EXPECT_EQ(world_.rsData->state(), dataaccess::kAdStateClosed);

  // A second refresh replaces the list rather than adding to it.
  world_.databases = {"pelkor_003_2025"};
  dialog.cmdRefreshClick();
  ASSERT_EQ(dialog.dbList()->count(), 1);
  EXPECT_EQ(dialog.dbList()->currentText(), "pelkor_003_2025");
}

// A failed refresh or OK says "wrong password", closes the connection, puts the focus in the
// password box and keeps the dialog as an earlier refresh left it.
TEST_F(FrmLoginTest, AFailedRefreshOrOkSaysWrongPasswordAndClosesTheConnection) {
  FrmLogin dialog(world_.target(), prompts_);
  showActive(dialog);
  dialog.txtPassword()->setText("right");
  dialog.cmdRefreshClick();
  dialog.txtPassword()->setText("wrong");
  for (auto press : {&FrmLogin::cmdRefreshClick, &FrmLogin::cmdOKClick}) {
    dialog.txtUserName()->setFocus();
    prompts_.messages.clear();
    (dialog.*press)();
    EXPECT_EQ(prompts_.messages, std::vector{kWrongPassword});
    EXPECT_EQ(QApplication::focusWidget(), dialog.txtPassword());
    EXPECT_EQ(world_.cnData.state(), dataaccess::kAdStateClosed);
    EXPECT_EQ(dialog.dbList()->count(), 2);
    EXPECT_TRUE(dialog.cmdOK()->isEnabled());
    EXPECT_FALSE(dialog.unloaded());
    EXPECT_TRUE(dialog.isVisible());
  }
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

// A refresh that finds no account sets empties the list (and what was typed in it) but still
// enables OK, which then opens what the boxes hold at that moment, and unloads.
TEST_F(FrmLoginTest, OkUsesTheValuesAsTheyNowStand) {
  FrmLogin dialog(world_.target(), prompts_);
  dialog.txtPassword()->setText("right");
  dialog.dbList()->setEditText("typed");
  world_.databases.clear();
  dialog.cmdRefreshClick();
  EXPECT_EQ(dialog.dbList()->count(), 0);
  EXPECT_EQ(dialog.dbList()->currentText(), "");
  EXPECT_TRUE(dialog.cmdOK()->isEnabled());
  dialog.txtUserName()->setText("OTHER\\INST");
  dialog.dbList()->setEditText("not_listed");
  dialog.cmdOKClick();
  EXPECT_EQ(world_.strConn,
            connection::serverConnectionString("right", "OTHER\\INST", "not_listed"));
  EXPECT_EQ(world_.cnData.defaultDatabase(), "not_listed");
  EXPECT_TRUE(dialog.unloaded());
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

}  // namespace
}  // namespace leafward::ui
