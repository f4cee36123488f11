#include "ui/login/mod_sh_browse.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QTest>
#include <QTimer>

#include "support/browser_responder.h"
#include "ui/login/computer_picker.h"

namespace leafward::ui {
namespace {

using namespace std::chrono_literals;

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
