// The window's Open, Link, Check and Update end to end: an Access file through the Jet session,
// account sets through the real ODBC driver (FreeTDS) against the stand-in server.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "login/login_world.h"
#include "support/files.h"
#include "support/tds_stand_in.h"
#include "ui/login/login_dialog_host.h"
#include "ui/window_harness.h"

namespace leafward::ui {
namespace {

const std::string kRepaired = "\r\n有 3个非末级科目标志被更新\r\n有 1个末级科目标志被更新";

// The printed report as the box holds it: CR LF line breaks, without the final one.
std::string boxReport(const std::string& fixture) {
  std::string printed = testing::expectedReport(fixture);
  printed.pop_back();
  return connection::replaceAll(printed, "\n", "\r\n");
}

class ServerWindowTest : public ::testing::Test {
 protected:
  ServerWindowTest() {
    strLastServer().clear();
    server_.addDatabase("pelkor_001_2023", testing::fixtureAccountSet("consistent"));
    server_.addDatabase("pelkor_002_2024", testing::fixtureAccountSet("worked-example"));
    h_.window->setLoginDialog([this] { host_.showModal(); });
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
  void refresh(FrmLogin& dialog, const QString& password) {
    dialog.txtUserName()->setText(QString::fromStdString(server_.serverName()));
    dialog.txtPassword()->setText(password);
    dialog.cmdRefresh()->click();
  }
  void open(const std::string& path) {
    h_.dialogs.fileAnswers = {QString::fromStdString(path)};
    h_.window->tbToolBarButtonClick("Open");
  }

  testing::TdsStandIn server_{"s3cr;et}"};
  testing::WindowHarness h_;
  testing::ScriptedPrompts prompts_;
  LoginDialogHost host_{loginTargetOf(h_.shared), prompts_};
};

TEST_F(ServerWindowTest, LinkThenCheckUpdateCheck) {
  QStringList listed;
  link([&](FrmLogin& dialog) {
    refresh(dialog, "wrong");
    EXPECT_EQ(prompts_.messages, (std::vector<std::pair<QString, QString>>{{"口令错误", "Login"}}));
    EXPECT_EQ(dialog.dbList()->count(), 0);
    refresh(dialog, "s3cr;et}");
    for (int i = 0; i < dialog.dbList()->count(); ++i) listed << dialog.dbList()->itemText(i);
    dialog.dbList()->setCurrentIndex(1);
    dialog.cmdOK()->click();
  });
  EXPECT_EQ(listed, QStringList({"pelkor_001_2023", "pelkor_002_2024"}));
  EXPECT_EQ(host_.loaded(), nullptr);
  EXPECT_TRUE(h_.shared.blnServer);
  EXPECT_EQ(h_.panel(1)->text(), "pelkor_002_2024");

  // The stand-in knows only the SQL Server spelling of each statement.
  h_.window->tbToolBarButtonClick("Check");
  EXPECT_EQ(h_.report(), boxReport("worked-example.mdb"));
  h_.window->tbToolBarButtonClick("Update");
  EXPECT_EQ(h_.report(), boxReport("worked-example.mdb") + kRepaired);
  h_.window->tbToolBarButtonClick("Check");
  EXPECT_EQ(h_.report(), boxReport("worked-example.mdb") + kRepaired);
  EXPECT_FALSE(h_.busy());

  // The failed refresh, the refresh on master and the OK on the account set, each logging in
  // with the password as typed.
  const auto logins = server_.logins();
  ASSERT_EQ(logins.size(), 3u);
  EXPECT_EQ(logins[1].database, "master");
  EXPECT_EQ(logins[2].database, "pelkor_002_2024");
  EXPECT_EQ(logins[2].password, "s3cr;et}");

  // OK unloaded the dialog: the next "Link" loads a fresh one, and its close box leaves the
  // connection alone.
  link([](FrmLogin& dialog) {
    EXPECT_EQ(dialog.txtUserName()->text(), "(local)");
    EXPECT_EQ(dialog.txtPassword()->text(), "");
    EXPECT_EQ(dialog.dbList()->count(), 0);
    EXPECT_FALSE(dialog.cmdOK()->isEnabled());
    dialog.close();
  });
  EXPECT_EQ(host_.loaded(), nullptr);
  EXPECT_EQ(h_.panel(1)->text(), "pelkor_002_2024");
}

// An Access file that the dialog leaves open keeps Jet's dialect (SQL Server's test of a Yes/No
// column would find nothing there); a failed refresh closes it; Cancel only hides the dialog.
TEST_F(ServerWindowTest, LinkCancelledOverAnOpenAccessFile) {
  testing::FixtureCopy example("worked-example.mdb");
  open(example.path());
  EXPECT_EQ(h_.panel(1)->text(), "worked-example.mdb");
  link([](FrmLogin&) {});
  EXPECT_FALSE(h_.shared.blnServer);
  EXPECT_EQ(h_.panel(1)->text(), "");  // what the connection reports as its database
  h_.window->tbToolBarButtonClick("Check");
  EXPECT_EQ(h_.report(), boxReport("worked-example.mdb"));

  open(example.path());
  link([&](FrmLogin& dialog) { refresh(dialog, "wrong"); });
  EXPECT_EQ(h_.shared.cnData.state(), dataaccess::kAdStateClosed);
  EXPECT_TRUE(h_.shared.blnServer);
  EXPECT_EQ(h_.panel(1)->text(),
            "worked-example.mdb");  // nothing to read: the panel keeps its text

  const FrmLogin* hidden = host_.loaded();
  ASSERT_NE(hidden, nullptr);
  link([&](FrmLogin& dialog) {
    EXPECT_EQ(&dialog, hidden);
    EXPECT_EQ(dialog.txtPassword()->text(), "wrong");
    refresh(dialog, "s3cr;et}");
  });
  EXPECT_TRUE(h_.shared.blnServer);
  EXPECT_EQ(h_.panel(1)->text(), "master");
  link([&](FrmLogin& dialog) {
    EXPECT_EQ(dialog.txtPassword()->text(), "s3cr;et}");
    EXPECT_EQ(dialog.dbList()->count(), 2);
    EXPECT_TRUE(dialog.cmdOK()->isEnabled());
  });
}

}  // namespace
}  // namespace leafward::ui
