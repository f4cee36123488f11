// The window's Link, Check and Update end to end on a window without a toolkit: account sets
// through the real ODBC driver (FreeTDS) against the stand-in server.
#include <gtest/gtest.h>

#include "app/fake_views.h"
#include "app/login_dialog.h"
#include "app/main_window.h"
#include "connection/shared_connection.h"
#include "support/files.h"
#include "support/tds_stand_in.h"

namespace leafward::app {
namespace {

using Control = LoginControl;
using testing::FakeLoginView;

const std::string kRepaired = "\r\n有 3个非末级科目标志被更新\r\n有 1个末级科目标志被更新";

class ServerLinkTest : public ::testing::Test {
 protected:
  ServerLinkTest() {
    server_.addDatabase("pelkor_001_2023", testing::fixtureAccountSet("consistent"));
    server_.addDatabase("pelkor_002_2024", testing::fixtureAccountSet("worked-example"));
    window_.load();
  }
  void link(FakeLoginView::Script script) {
    views_.script = std::move(script);
    window_.toolbarButtonClick("Link");
  }
  void refresh(LoginDialog& dialog, FakeLoginView& view, const std::string& password) {
    view.texts[Control::txtUserName] = server_.serverName();
    view.texts[Control::txtPassword] = password;
    dialog.refreshClick();
  }

  testing::TdsStandIn server_{"s3cr;et}"};
  connection::SharedConnection shared_;
  testing::FakeMainView view_;
  testing::FakeLoginViews views_;
  LoginDialogHost login_{connection::serverLinkOf(shared_), views_};
  testing::TempDir records_;
  MainWindow window_{shared_, view_, &login_, records_.path().string()};
};

TEST_F(ServerLinkTest, LinkThenCheckUpdateCheck) {
  link([&](LoginDialog& dialog, FakeLoginView& view) {
    refresh(dialog, view, "wrong");
    EXPECT_EQ(view.messages.size(), 1u);
    EXPECT_TRUE(view.list.empty());
    refresh(dialog, view, "s3cr;et}");
    EXPECT_EQ(view.list, (std::vector<std::string>{"pelkor_001_2023", "pelkor_002_2024"}));
    view.selectListItem(1);
    dialog.okClick();
  });
  EXPECT_EQ(login_.loaded(), nullptr);
  EXPECT_TRUE(shared_.blnServer);
  EXPECT_EQ(view_.panels[0], "pelkor_002_2024");

  // The stand-in knows only the SQL Server spelling of each statement.
  window_.toolbarButtonClick("Check");
  EXPECT_EQ(view_.result, testing::expectedBoxReport("worked-example.mdb"));
  window_.toolbarButtonClick("Update");
  window_.toolbarButtonClick("Check");
  EXPECT_EQ(view_.result, testing::expectedBoxReport("worked-example.mdb") + kRepaired);
  EXPECT_TRUE(view_.enabled);
  EXPECT_FALSE(view_.wait);

  // The repair was recorded under the server and database the dialog opened: undone, the
  // account set is as it was.
  view_.yesNoAnswers = {true};
  window_.undoLastRepairClick();
  EXPECT_NE(view_.result.find("有 3个非末级科目标志被恢复"), std::string::npos) << view_.result;
  EXPECT_EQ(server_.accountSet("pelkor_002_2024").code,
            testing::fixtureAccountSet("worked-example").code);

  // The failed refresh, the refresh on master and the OK on the account set, each logging in
  // with the password as typed.
  const auto logins = server_.logins();
  ASSERT_EQ(logins.size(), 3u);
  EXPECT_EQ(logins[1].database, "master");
  EXPECT_EQ(logins[2].database, "pelkor_002_2024");
  EXPECT_EQ(logins[2].password, "s3cr;et}");
}

// A refresh that fails after closing an Access file leaves nothing open: panel 1 keeps its
// text, since there is no database to read. A later refresh leaves master open and named.
TEST_F(ServerLinkTest, LinkOverAnOpenAccessFile) {
  testing::FixtureCopy example("worked-example.mdb");
  view_.fileAnswers = {example.path()};
  window_.toolbarButtonClick("Open");
  link([&](LoginDialog& dialog, FakeLoginView& view) { refresh(dialog, view, "wrong"); });
  EXPECT_EQ(shared_.cnData.state(), dataaccess::kAdStateClosed);
  EXPECT_TRUE(shared_.blnServer);
  EXPECT_EQ(view_.panels[0], "worked-example.mdb");
  link([&](LoginDialog& dialog, FakeLoginView& view) { refresh(dialog, view, "s3cr;et}"); });
  EXPECT_EQ(view_.panels[0], "master");
}

}  // namespace
}  // namespace leafward::app
