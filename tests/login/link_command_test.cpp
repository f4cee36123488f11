// "Link" in the main window with the real login dialog over the shared connection.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "login/login_world.h"
#include "support/files.h"
#include "ui/login/login_dialog_host.h"
#include "ui/window_harness.h"

namespace leafward::ui {
namespace {

using testing::AccountSet;
using testing::FakeSession;

constexpr const char* kJet = "Microsoft.Jet.OLEDB.4.0";

class LinkCommandTest : public ::testing::Test {
 protected:
  LinkCommandTest() {
    strLastServer().clear();
    LoginTarget target = loginTargetOf(h_.shared);
    target.open = world_.opener();
    host_ = std::make_unique<LoginDialogHost>(target, prompts_);
    h_.window->setLoginDialog([this] { host_->showModal(); });
  }

  // An Access account set as "Open" leaves it: open, Access dialect, its name in panel 1.
  std::shared_ptr<std::vector<std::string>> openAccessFile() {
    auto session = AccountSet{}.session();
    session->catalog = "2024";
    auto sent = session->sent;
    h_.shared.cnData.adopt(std::move(session), kJet);
    h_.shared.blnServer = false;
    h_.panel(1)->setText("2024.mdb");
    return sent;
  }

  // Presses "Link" and lets `script` work the dialog; it is cancelled unless the script ends it.
  void link(const std::function<void(FrmLogin&)>& script) {
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<FrmLogin*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      script(*dialog);
      if (dialog->isVisible()) dialog->cmdCancel()->click();
    });
    h_.window->tbToolBarButtonClick("Link");
  }

  testing::WindowHarness h_;
  testing::LoginWorld world_;
  testing::ScriptedPrompts prompts_;
  std::unique_ptr<LoginDialogHost> host_;
};

TEST_F(LinkCommandTest, CancelWithTheAccessFileStillOpenKeepsTheAccessDialect) {
  const auto sent = openAccessFile();
  link([](FrmLogin&) {});
  EXPECT_EQ(h_.shared.cnData.provider(), kJet);
  EXPECT_FALSE(h_.shared.blnServer);
  EXPECT_EQ(h_.panel(1)->text(), "2024");  // what the connection reports as its database

  // Check still finds wrong non-leaf flags with Jet's test of a Yes/No column.
  h_.window->tbToolBarButtonClick("Check");
  ASSERT_FALSE(sent->empty());
  EXPECT_EQ(sent->front(), testing::kFirstListAccess);
}

TEST_F(LinkCommandTest, ARefreshThenCancelLeavesMasterOpenInTheServerDialect) {
  openAccessFile();
  link([](FrmLogin& dialog) {
    dialog.txtPassword()->setText("right");
    dialog.cmdRefreshClick();
  });
  EXPECT_TRUE(h_.shared.blnServer);
  EXPECT_EQ(h_.panel(1)->text(), "master");
  // Cancel only hid the dialog: the next "Link" shows it as it was left.
  const FrmLogin* hidden = host_->loaded();
  ASSERT_NE(hidden, nullptr);
  link([&](FrmLogin& dialog) {
    EXPECT_EQ(&dialog, hidden);
    EXPECT_EQ(dialog.txtPassword()->text(), "right");
    EXPECT_EQ(dialog.dbList()->count(), 2);
    EXPECT_TRUE(dialog.cmdOK()->isEnabled());
  });
}

TEST_F(LinkCommandTest, NothingOpenOrAFailedRefreshMeansTheServerDialect) {
  link([](FrmLogin&) {});
  EXPECT_TRUE(h_.shared.blnServer);
  openAccessFile();
  link([](FrmLogin& dialog) {
    dialog.txtPassword()->setText("wrong");
    dialog.cmdRefreshClick();
  });
  EXPECT_EQ(prompts_.messages.size(), 1u);
  EXPECT_EQ(h_.shared.cnData.state(), dataaccess::kAdStateClosed);
  EXPECT_TRUE(h_.shared.blnServer);
  EXPECT_EQ(h_.panel(1)->text(), "2024.mdb");  // nothing to read: the panel keeps its text
}

TEST_F(LinkCommandTest, OkOpensTheAccountSetThatCheckThenQueriesAsSqlServer) {
  openAccessFile();
  prompts_.picks = {"ACCT1"};
  link([](FrmLogin& dialog) {
    dialog.cmdSelectClick();
    dialog.txtPassword()->setText("right");
    dialog.cmdRefreshClick();
    dialog.dbList()->setCurrentIndex(1);
    dialog.cmdOK()->click();
  });
  EXPECT_EQ(host_->loaded(), nullptr);
  EXPECT_TRUE(h_.shared.blnServer);
  EXPECT_EQ(h_.panel(1)->text(), "pelkor_002_2024");
  EXPECT_EQ(h_.shared.strConn,
            connection::serverConnectionString("right", "ACCT1", "pelkor_002_2024"));

  world_.sent->clear();
  h_.window->tbToolBarButtonClick("Check");
  ASSERT_FALSE(world_.sent->empty());
  EXPECT_EQ(world_.sent->front(), testing::kFirstListServer);

  // OK unloaded the dialog: the next "Link" loads a fresh one; only the last pick survives.
  link([](FrmLogin& dialog) {
    EXPECT_EQ(dialog.txtUserName()->text(), "(local)");
    EXPECT_EQ(dialog.txtPassword()->text(), "");
    EXPECT_EQ(dialog.dbList()->count(), 0);
    EXPECT_FALSE(dialog.cmdOK()->isEnabled());
    dialog.cmdSelectClick();
    EXPECT_EQ(dialog.txtUserName()->text(), "ACCT1");
    dialog.close();
  });
  EXPECT_EQ(host_->loaded(), nullptr);
  EXPECT_EQ(h_.panel(1)->text(), "pelkor_002_2024");  // the close box left the connection alone
}

}  // namespace
}  // namespace leafward::ui
