// The server login dialog's decisions and life cycle, on a dialog without a toolkit, over a
// stand-in server.
#include "app/login_dialog.h"

#include <gtest/gtest.h>

#include "app/fake_views.h"
#include "app/login_world.h"

namespace leafward::app {
namespace {

using Control = LoginControl;
using testing::FakeLoginView;

const std::vector<std::pair<std::string, std::string>> kWrongPasswordBox{{"口令错误", "Login"}};

class LoginDialogTest : public ::testing::Test {
 protected:
  // Shows the dialog once and lets `script` work it; returns the view it was shown in.
  FakeLoginView& show(FakeLoginView::Script script) {
    views_.script = [this, script](LoginDialog& dialog, FakeLoginView& view) {
      view_ = &view;
      script(dialog, view);
    };
    host_.showModal();
    return *view_;
  }
  static void refresh(LoginDialog& dialog, FakeLoginView& view, const std::string& password) {
    view.texts[Control::txtPassword] = password;
    dialog.refreshClick();
  }

  testing::LoginWorld world_;
  testing::FakeLoginViews views_;
  LoginDialogHost host_{world_.target(), views_};
  FakeLoginView* view_ = nullptr;
};

TEST_F(LoginDialogTest, LoadsOnThisComputerWithNothingToOk) {
  show([](LoginDialog&, FakeLoginView& view) {
    EXPECT_EQ(view.text(Control::txtUserName), "(local)");
    EXPECT_EQ(view.text(Control::txtPassword), "");
    EXPECT_TRUE(view.list.empty());
    EXPECT_FALSE(view.enabled.at(Control::cmdOK));
    EXPECT_TRUE(view.enabled.at(Control::cmdRefresh));
    EXPECT_EQ(view.focus, Control::txtUserName);
  });
}

// The shared recordset is whatever the last query left, possibly open and at its end. A
// second refresh replaces the list rather than adding to it, and selects its only entry; master
// stays open.
TEST_F(LoginDialogTest, RefreshListsTheAccountSetsAndSelectsTheFirst) {
  world_.rsData = std::make_shared<dataaccess::Recordset>(dataaccess::ResultSet{{"ccode"}, {}});
  show([&](LoginDialog& dialog, FakeLoginView& view) {
    view.texts[Control::txtUserName] = "ACCT1";
    refresh(dialog, view, "right");
    EXPECT_EQ(world_.strConn, connection::serverConnectionString("right", "ACCT1"));
    EXPECT_EQ(view.list, (std::vector<std::string>{"pelkor_001_2023", "pelkor_002_2024"}));
    EXPECT_EQ(view.text(Control::dbList), "pelkor_001_2023");
    EXPECT_TRUE(view.enabled.at(Control::cmdOK));
    EXPECT_EQ(world_.cnData.defaultDatabase(), "master");
    EXPECT_EQ(world_.rsData->state(), dataaccess::kAdStateClosed);
    world_.databases = {"pelkor_003_2025"};
    dialog.refreshClick();
    EXPECT_EQ(view.list, std::vector<std::string>{"pelkor_003_2025"});
    EXPECT_EQ(view.text(Control::dbList), "pelkor_003_2025");
  });
}

// A failed refresh or OK says "wrong password", closes the connection, puts the focus in the
// password box and keeps the dialog shown as an earlier refresh left it, OK still enabled.
TEST_F(LoginDialogTest, AFailedRefreshOrOkSaysWrongPasswordAndClosesTheConnection) {
  show([&](LoginDialog& dialog, FakeLoginView& view) {
    refresh(dialog, view, "right");
    view.texts[Control::txtPassword] = "wrong";
    for (auto press : {&LoginDialog::refreshClick, &LoginDialog::okClick}) {
      view.focus = Control::txtUserName;
      view.messages.clear();
      (dialog.*press)();
      EXPECT_EQ(view.messages, kWrongPasswordBox);
      EXPECT_EQ(view.focus, Control::txtPassword);
      EXPECT_EQ(world_.cnData.state(), dataaccess::kAdStateClosed);
      EXPECT_EQ(view.list.size(), 2u);
      EXPECT_TRUE(view.enabled.at(Control::cmdOK));
      EXPECT_TRUE(view.showing);
      EXPECT_FALSE(dialog.unloaded());
    }
  });
}

// A refused list ends the refresh silently with OK still disabled. A refresh that finds no
// account sets empties the list and what was typed in it but enables OK, which then opens what
// the boxes hold at that moment and unloads the dialog.
TEST_F(LoginDialogTest, OkUsesTheValuesAsTheyNowStand) {
  show([&](LoginDialog& dialog, FakeLoginView& view) {
    world_.refuseQuery = true;
    refresh(dialog, view, "right");
    EXPECT_TRUE(view.messages.empty());
    EXPECT_FALSE(view.enabled.at(Control::cmdOK));
    EXPECT_EQ(world_.cnData.state(), dataaccess::kAdStateOpen);

    world_.refuseQuery = false;
    world_.databases.clear();
    view.texts[Control::dbList] = "typed";
    dialog.refreshClick();
    EXPECT_TRUE(view.list.empty());
    EXPECT_EQ(view.text(Control::dbList), "");
    EXPECT_TRUE(view.enabled.at(Control::cmdOK));
    view.texts[Control::txtUserName] = "OTHER\\INST";
    view.texts[Control::dbList] = "not_listed";
    dialog.okClick();
    EXPECT_EQ(world_.strConn,
              connection::serverConnectionString("right", "OTHER\\INST", "not_listed"));
    EXPECT_EQ(world_.cnData.defaultDatabase(), "not_listed");
    EXPECT_TRUE(dialog.unloaded());
    EXPECT_FALSE(view.showing);
  });
  EXPECT_EQ(host_.loaded(), nullptr);
}

// Cancel only hides the dialog: the next showing is the same dialog with everything kept.
// OK and the close box unload it: the next showing loads a fresh one; the last pick stays.
TEST_F(LoginDialogTest, CancelKeepsTheDialogAndUnloadingStartsAfresh) {
  show([&](LoginDialog& dialog, FakeLoginView& view) {
    view.picks = {"ACCT1\\Y2024"};
    dialog.selectClick();
    refresh(dialog, view, "wrong");
    dialog.cancelClick();
  });
  const LoginDialog* hidden = host_.loaded();
  ASSERT_NE(hidden, nullptr);
  EXPECT_EQ(world_.cnData.state(), dataaccess::kAdStateClosed);
  show([&](LoginDialog& dialog, FakeLoginView& view) {
    EXPECT_EQ(&dialog, hidden);
    EXPECT_EQ(view.shown, 2);
    EXPECT_EQ(view.text(Control::txtUserName), "ACCT1\\Y2024");
    EXPECT_EQ(view.text(Control::txtPassword), "wrong");
    refresh(dialog, view, "right");
  });
  show([](LoginDialog&, FakeLoginView& view) {
    EXPECT_EQ(view.list.size(), 2u);
    EXPECT_TRUE(view.enabled.at(Control::cmdOK));
  });
  EXPECT_EQ(views_.created, 1);

  show([](LoginDialog& dialog, FakeLoginView&) { dialog.closeBox(); });
  EXPECT_EQ(host_.loaded(), nullptr);
  show([](LoginDialog&, FakeLoginView& view) {
    EXPECT_EQ(view.text(Control::txtUserName), "(local)");
    EXPECT_EQ(view.text(Control::txtPassword), "");
    EXPECT_TRUE(view.list.empty());
    EXPECT_FALSE(view.enabled.at(Control::cmdOK));
  });
  EXPECT_EQ(views_.created, 2);
  EXPECT_EQ(host_.lastServer(), "ACCT1\\Y2024");
}

// Cancelling the picker before anything was ever picked empties the box, even of "(local)";
// cancelling later brings the last pick back.
TEST_F(LoginDialogTest, BrowseFillsTheServerBoxWithTheLastPick) {
  show([](LoginDialog& dialog, FakeLoginView& view) {
    dialog.selectClick();
    EXPECT_EQ(view.text(Control::txtUserName), "");
    view.picks = {"ACCT1\\YEAR2024", ""};
    dialog.selectClick();
    EXPECT_EQ(view.text(Control::txtUserName), "ACCT1\\YEAR2024");
    view.texts[Control::txtUserName] = "typed";
    dialog.selectClick();
    EXPECT_EQ(view.text(Control::txtUserName), "ACCT1\\YEAR2024");
    EXPECT_EQ(view.browsed, 3);
    // A picker that fails is told in a box titled with the dialog's caption; the box keeps
    // what it held.
    view.pickerFailure = "no picker";
    EXPECT_NO_THROW(dialog.selectClick());
    EXPECT_EQ(view.messages,
              (std::vector<std::pair<std::string, std::string>>{{"no picker", "登陆"}}));
    EXPECT_EQ(view.text(Control::txtUserName), "ACCT1\\YEAR2024");
  });
}

}  // namespace
}  // namespace leafward::app
