#include "ui/frm_main.h"

#include <gtest/gtest.h>
#include <QEventLoop>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "audit/report.h"
#include "support/qt_application.h"
#include "ui/window_harness.h"

namespace leafward::ui {
namespace {

using testing::AccountSet;
using testing::texts;
using testing::WindowHarness;

[[maybe_unused]] auto* const kQt = ::testing::AddGlobalTestEnvironment(new testing::QtApplication);

const QString kNotice =
    QStringLiteral("本工具适用于8.X、Orvane、W5.2X和W5.5X系列软件\r\n注意：请做好数据备份");

std::vector<QToolButton*> toolbarButtons(FrmMain& window) {
  auto* toolbar = window.findChild<QToolBar*>("tbToolBar");
  std::vector<QToolButton*> buttons;
  for (QAction* action : toolbar->actions()) {
    buttons.push_back(qobject_cast<QToolButton*>(toolbar->widgetForAction(action)));
  }
  return buttons;
}

void runPendingTicks() {
  QCoreApplication::processEvents();
}

TEST(FrmMainTest, HasTheDesignedFrameToolbarResultBoxAndStatusBar) {
  WindowHarness h;
  FrmMain& window = *h.window;
  EXPECT_EQ(window.windowTitle(), "Leafward");
  EXPECT_EQ(window.size(), QSize(402, 213));
  EXPECT_EQ(window.minimumSize(), window.maximumSize());
  EXPECT_EQ(window.windowType(), Qt::Tool);
  EXPECT_FALSE(window.windowFlags() & Qt::WindowMinMaxButtonsHint);
  EXPECT_TRUE(window.windowIcon().availableSizes().contains(QSize(32, 32)));

  const auto buttons = toolbarButtons(window);
  const QStringList keys = {"Open", "Link", "Check", "Update", "help"};
  const QStringList tips = {"打开Access文件", "连接MSSQL数据库", "检查科目", "修复科目", "帮助"};
  ASSERT_EQ(buttons.size(), 5u);
  for (int i = 0; i < 5; ++i) {
    ASSERT_NE(buttons[i], nullptr);
    EXPECT_EQ(buttons[i]->property("key").toString(), keys[i]);
    EXPECT_EQ(buttons[i]->toolTip(), tips[i]);
    EXPECT_EQ(buttons[i]->size(), QSize(23, 22));
    EXPECT_FALSE(buttons[i]->icon().isNull()) << keys[i].toStdString();
    EXPECT_TRUE(buttons[i]->text().isEmpty());
  }

  EXPECT_FALSE(h.box()->isReadOnly());
  EXPECT_EQ(h.box()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_TRUE(h.box()->toPlainText().isEmpty());
  EXPECT_TRUE(h.panel(1)->text().isEmpty());
  EXPECT_EQ(h.panel(2)->width(), 96);
}

TEST(FrmMainTest, TheClockShowsTheTimeAndATickAfterACommandEndsTheBusyState) {
  WindowHarness h;
  runPendingTicks();
  EXPECT_TRUE(QRegularExpression(QStringLiteral("\\d{1,2}:\\d\\d:\\d\\d"))
                  .match(h.panel(2)->text())
                  .hasMatch())
      << h.panel(2)->text().toStdString();

  // A Check that ends early leaves the window busy until the next tick.
  AccountSet empty;
  empty.lengths = {};
  h.adopt(empty.session());
  h.window->tbToolBarButtonClick("Check");
  EXPECT_TRUE(h.busy());
  runPendingTicks();
  EXPECT_FALSE(h.busy());
  EXPECT_TRUE(h.window->isEnabled());
  EXPECT_EQ(h.window->mousePointer(), audit::kPointerDefault);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(FrmMainTest, TheClockKeepsTickingWhileAMessageBoxIsOpen) {
  WindowHarness h;
  bool enabledWhileShown = false;
  h.dialogs.whileMessageShown = [&] {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (h.window->isEnabled()) loop.quit();
    });
    poll.start(10);
    QTimer::singleShot(1500, &loop, &QEventLoop::quit);
    loop.exec();
    enabledWhileShown = h.window->isEnabled();
  };
  audit::busyOn(h.window->workbench());
  h.window->formKeyDown(FrmMain::kKeyF1, 0);
  EXPECT_TRUE(enabledWhileShown);
}

TEST(FrmMainTest, F1ShowsTheNoticeWhateverTheShiftStateAndWhereverTheFocus) {
  WindowHarness h;
  h.window->show();
  const Qt::KeyboardModifiers states[] = {
      Qt::NoModifier, Qt::ShiftModifier, Qt::ControlModifier, Qt::AltModifier,
      Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier};
  for (Qt::KeyboardModifiers state : states) {
    QTest::keyClick(h.box(), Qt::Key_F1, state);
    QTest::keyClick(h.window.get(), Qt::Key_F1, state);
  }
  ASSERT_EQ(h.dialogs.messages.size(), 10u);
  for (const auto& message : h.dialogs.messages) {
    EXPECT_EQ(message.text, kNotice);
    EXPECT_EQ(message.title, "Leafward");
  }

  // The "help" button shows the same notice; other keys reach the box as usual.
  QTest::mouseClick(toolbarButtons(*h.window)[4], Qt::LeftButton);
  QTest::keyClick(h.box(), Qt::Key_F2);
  QTest::keyClicks(h.box(), "ab");
  ASSERT_EQ(h.dialogs.messages.size(), 11u);
  EXPECT_EQ(h.dialogs.messages.back().text, kNotice);
  EXPECT_EQ(h.report(), "ab");
}

TEST(FrmMainTest, KeysAreMatchedExactlyAndLinkWaitsForItsDialog) {
  WindowHarness h;
  auto session = AccountSet{}.session();
  session->catalog("master");
  const auto log = session->log();
  h.adopt(std::move(session));
  for (const char* key : {"check", "OPEN", "Help", "update ", ""})
    h.window->tbToolBarButtonClick(key);
  EXPECT_TRUE(log->sent.empty());
  EXPECT_TRUE(h.dialogs.openRequests.empty());
  EXPECT_TRUE(h.dialogs.messages.empty());

  h.window->tbToolBarButtonClick("Link");
  EXPECT_FALSE(h.shared.blnServer);

  int shown = 0;
  h.window->setLoginDialog([&] { ++shown; });
  h.window->tbToolBarButtonClick("Link");
  EXPECT_EQ(shown, 1);
  EXPECT_TRUE(h.shared.blnServer);
  EXPECT_EQ(h.panel(1)->text(), "master");

  // With nothing open the database name cannot be read and the panel keeps its text.
  h.shared.cnData.close();
  h.shared.blnServer = false;
  h.window->tbToolBarButtonClick("Link");
  EXPECT_TRUE(h.shared.blnServer);
  EXPECT_EQ(h.panel(1)->text(), "master");
}

TEST(FrmMainTest, CancellingTheFileBoxChangesNothing) {
  WindowHarness h;
  h.adopt(AccountSet{}.session());
  h.shared.blnServer = true;
  h.panel(1)->setText("old.mdb");
  h.window->tbToolBarButtonClick("Open");

  ASSERT_EQ(h.dialogs.openRequests.size(), 1u);
  EXPECT_EQ(h.dialogs.openRequests[0].title, "打开Access数据");
  EXPECT_EQ(h.dialogs.openRequests[0].filter, "Access数据(*.mdb)");
  EXPECT_EQ(h.dialogs.openRequests[0].defaultSuffix, "mdb");
  EXPECT_EQ(h.shared.cnData.state(), dataaccess::kAdStateOpen);
  EXPECT_TRUE(h.shared.blnServer);
  EXPECT_EQ(h.panel(1)->text(), "old.mdb");
  EXPECT_EQ(h.report(), "");
}

TEST(FrmMainTest, AFailedOpenClosesTheOldConnectionAndSaysWhy) {
  WindowHarness h;
  h.adopt(AccountSet{}.session());
  h.shared.blnServer = true;
  h.panel(1)->setText("old.mdb");
  h.window->workbench().setReportText("earlier");
  h.dialogs.fileAnswers = {"/nonexistent/leafward/账套.mdb"};
  h.window->tbToolBarButtonClick("Open");

  EXPECT_EQ(h.shared.cnData.state(), dataaccess::kAdStateClosed);
  EXPECT_FALSE(h.shared.blnServer);
  EXPECT_TRUE(h.panel(1)->text().isEmpty());
  const std::string report = h.report();
  const std::string opening = "earlier\r\n无法打开Access文件：账套.mdb（";
  EXPECT_EQ(report.substr(0, opening.size()), opening) << report;
  EXPECT_GT(report.size(), opening.size() + std::string("）").size());
  EXPECT_EQ(report.substr(report.size() - std::string("）").size()), "）");

  // Check then finds nothing open and leaves everything as it is.
  h.window->tbToolBarButtonClick("Check");
  EXPECT_EQ(h.report(), report);
  EXPECT_FALSE(h.busy());
}

TEST(FrmMainTest, TheBoxHoldsExactlyTheReportAndAppendsOntoTypedText) {
  WindowHarness h;
  AccountSet set;
  set.firstList = texts({"1001", "1002"});
  set.secondList = texts({"100201"});
  h.adopt(set.session());
  h.window->tbToolBarButtonClick("Check");
  EXPECT_EQ(h.report(), "如下非末级科目标志有误：1001,1002\r\n如下末级科目标志有误：100201");
  EXPECT_EQ(h.box()->toPlainText(),
            "如下非末级科目标志有误：1001,1002\n如下末级科目标志有误：100201");
  EXPECT_FALSE(h.busy());

  // Typed lines read back with CR LF and later lines go below them.
  h.box()->clear();
  h.window->show();
  QTest::keyClicks(h.box(), "note");
  QTest::keyClick(h.box(), Qt::Key_Return);
  QTest::keyClicks(h.box(), "x");
  set.firstList = {};
  h.shared.cnData.adopt(set.session());
  h.window->tbToolBarButtonClick("Check");
  EXPECT_EQ(h.report(), "note\r\nx\r\n如下末级科目标志有误：100201");
}

TEST(FrmMainTest, ClosingTheWindowShutsTheConnectionDown) {
  WindowHarness h;
  h.adopt(AccountSet{}.session());
  QSignalSpy closed(h.window.get(), &FrmMain::closed);
  h.window->show();
  h.window->close();
  EXPECT_EQ(closed.count(), 1);
  EXPECT_EQ(h.shared.cnData.state(), dataaccess::kAdStateClosed);
}

}  // namespace
}  // namespace leafward::ui
