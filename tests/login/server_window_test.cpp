// The window's Link, Check and Update on a SQL Server account set, through the real ODBC driver
// (FreeTDS) against the stand-in server.
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

using testing::fixtureAccountSet;

TEST(ServerWindowTest, LinkThenCheckUpdateCheck) {
  strLastServer().clear();
  testing::TdsStandIn server("s3cr;et}");
  server.addDatabase("pelkor_001_2023", fixtureAccountSet("consistent"));
  server.addDatabase("pelkor_002_2024", fixtureAccountSet("worked-example"));
  testing::WindowHarness h;
  testing::ScriptedPrompts prompts;
  LoginDialogHost host(loginTargetOf(h.shared), prompts);
  h.window->setLoginDialog([&] { host.showModal(); });

  QStringList listed;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<FrmLogin*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    dialog->txtUserName()->setText(QString::fromStdString(server.serverName()));
    dialog->txtPassword()->setText("wrong");
    dialog->cmdRefresh()->click();
    EXPECT_EQ(prompts.messages, (std::vector<std::pair<QString, QString>>{{"口令错误", "Login"}}));
    EXPECT_EQ(dialog->dbList()->count(), 0);

    dialog->txtPassword()->setText("s3cr;et}");
    dialog->cmdRefresh()->click();
    for (int i = 0; i < dialog->dbList()->count(); ++i) listed << dialog->dbList()->itemText(i);
    dialog->dbList()->setCurrentIndex(1);
    dialog->cmdOK()->click();
    if (dialog->isVisible()) dialog->cmdCancel()->click();
  });
  h.window->tbToolBarButtonClick("Link");
  EXPECT_EQ(listed, QStringList({"pelkor_001_2023", "pelkor_002_2024"}));
  EXPECT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(host.loaded(), nullptr);
  EXPECT_TRUE(h.shared.blnServer);
  EXPECT_EQ(h.panel(1)->text(), "pelkor_002_2024");

  // The box holds the printed report with CR LF line breaks and without the final one.
  std::string report = testing::expectedReport(testing::kWorkedExample);
  report.pop_back();
  report = connection::replaceAll(report, "\n", "\r\n");
  h.window->tbToolBarButtonClick("Check");
  EXPECT_EQ(h.report(), report);
  h.window->tbToolBarButtonClick("Update");
  const std::string updated = report + "\r\n有 3个非末级科目标志被更新\r\n有 1个末级科目标志被更新";
  EXPECT_EQ(h.report(), updated);
  h.window->tbToolBarButtonClick("Check");
  EXPECT_EQ(h.report(), updated);
  EXPECT_FALSE(h.busy());

  // The failed refresh, the refresh on master and the OK on the account set, each logging in
  // with the password as typed.
  const auto logins = server.logins();
  ASSERT_EQ(logins.size(), 3u);
  EXPECT_EQ(logins[1].database, "master");
  EXPECT_EQ(logins[2].database, "pelkor_002_2024");
  EXPECT_EQ(logins[2].password, "s3cr;et}");
}

}  // namespace
}  // namespace leafward::ui
