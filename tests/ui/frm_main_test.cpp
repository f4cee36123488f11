#include "ui/frm_main.h"

#include <gtest/gtest.h>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include "audit/report.h"
#include "support/qt_application.h"
#include "ui/qt_translations.h"
#include "ui/window_harness.h"

namespace leafward::ui {
namespace {

using testing::AccountSet;
using testing::texts;
using testing::WindowHarness;

[[maybe_unused]] auto* const kQt = ::testing::AddGlobalTestEnvironment(new testing::QtApplication);

const QStringList kNotice = {
    "message", "本工具适用于8.X、Orvane、W5.2X和W5.5X系列软件\r\n注意：请做好数据备份", "Leafward"};

std::vector<QToolButton*> toolbarButtons(FrmMain& window) {
  auto* toolbar = window.findChild<QToolBar*>("tbToolBar");
  std::vector<QToolButton*> buttons;
  for (QAction* action : toolbar->actions()) {
    buttons.push_back(qobject_cast<QToolButton*>(toolbar->widgetForAction(action)));
  }
  return buttons;
}

TEST(FrmMainTest, AFixedToolWindowWithFiveToolbarCommands) {
  WindowHarness h;
  FrmMain& window = *h.window;
  EXPECT_EQ(window.windowTitle(), "Leafward");
  EXPECT_EQ(window.minimumSize(), window.maximumSize());
  EXPECT_EQ(window.windowType(), Qt::Tool);
  EXPECT_FALSE(window.windowIcon().isNull());
  const auto buttons = toolbarButtons(window);
  const QStringList keys = {"Open", "Link", "Check", "Update", "help"};
  const QStringList tips = {"打开Access文件", "连接MSSQL数据库", "检查科目", "修复科目", "帮助"};
  ASSERT_EQ(buttons.size(), 5u);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(buttons[i]->property("key").toString(), keys[i]);
    EXPECT_EQ(buttons[i]->toolTip(), tips[i]);
    EXPECT_FALSE(buttons[i]->icon().isNull());  // the pictures are built in
  }
  EXPECT_FALSE(h.box()->isReadOnly());
}

TEST(FrmMainTest, TheClockTicksAfterEveryCommandAndWhileABoxIsOpen) {
  WindowHarness h;
  QCoreApplication::processEvents();
  EXPECT_TRUE(QRegularExpression("\\d{1,2}:\\d\\d:\\d\\d").match(h.panel(2)->text()).hasMatch());

  // A Check that ends early leaves the window busy until the tick that follows it.
  AccountSet empty;
  empty.lengths = {};
  h.shared.cnData.adopt(empty.session());
  h.window->tbToolBarButtonClick("Check");
  EXPECT_TRUE(h.busy());
  QCoreApplication::processEvents();
  EXPECT_FALSE(h.busy());
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

  // The clock's own ticks go on while a message box waits for the user.
  bool enabledWhileShown = false;
  h.dialogs.whileMessageShown = [&] {
    enabledWhileShown = QTest::qWaitFor([&] { return h.window->isEnabled(); }, 1500);
  };
  audit::busyOn(h.window->workbench());
  h.window->formKeyDown(FrmMain::kKeyF1, 0);
  EXPECT_TRUE(enabledWhileShown);
}

TEST(FrmMainTest, F1ShowsTheNoticeWhateverTheShiftStateAndWhereverTheFocus) {
  WindowHarness h;
  h.window->show();
  for (auto state : {Qt::NoModifier, Qt::ShiftModifier, Qt::ControlModifier, Qt::AltModifier}) {
    QTest::keyClick(h.box(), Qt::Key_F1, state);
    QTest::keyClick(h.window.get(), Qt::Key_F1, state | Qt::ShiftModifier);
  }
  QTest::mouseClick(toolbarButtons(*h.window)[4], Qt::LeftButton);  // "help"
  EXPECT_EQ(h.dialogs.asked, std::vector<QStringList>(9, kNotice));
  // Other keys reach the box as usual.
  QTest::keyClick(h.box(), Qt::Key_F2);
  QTest::keyClicks(h.box(), "ab");
  EXPECT_EQ(h.dialogs.asked.size(), 9u);
  EXPECT_EQ(h.report(), "ab");
}

TEST(FrmMainTest, OpenCancelledChangesNothingAndOpenFailedSaysWhy) {
  WindowHarness h;
  h.shared.cnData.adopt(AccountSet{}.session());
  h.shared.blnServer = true;
  h.panel(1)->setText("old.mdb");
  h.window->workbench().setReportText("earlier");
  h.window->tbToolBarButtonClick("Open");
  const QStringList fileBox = {"open", "打开Access数据", "Access数据(*.mdb)", "mdb"};
  EXPECT_EQ(h.dialogs.asked, std::vector<QStringList>{fileBox});
  EXPECT_EQ(h.shared.cnData.state(), dataaccess::kAdStateOpen);
  EXPECT_TRUE(h.shared.blnServer);
  EXPECT_EQ(h.panel(1)->text(), "old.mdb");

  // A file that cannot be opened: the old connection is gone, nothing is named as open, and
  // the box says which file failed and why.
  h.dialogs.fileAnswers = {"/nonexistent/leafward/账套.mdb"};
  h.window->tbToolBarButtonClick("Open");
  EXPECT_EQ(h.shared.cnData.state(), dataaccess::kAdStateClosed);
  EXPECT_FALSE(h.shared.blnServer);
  EXPECT_TRUE(h.panel(1)->text().isEmpty());
  const QString report = QString::fromStdString(h.report());
  EXPECT_TRUE(QRegularExpression("^earlier\r\n无法打开Access文件：账套.mdb（.+）$")
                  .match(report)
                  .hasMatch())
      << report.toStdString();
  h.window->tbToolBarButtonClick("Check");  // nothing open: nothing happens
  EXPECT_EQ(QString::fromStdString(h.report()), report);
}

// Text typed into the box stays, with the report below it; the box shows the report's CR LF
// line breaks as lines.
TEST(FrmMainTest, TheReportGoesBelowTypedText) {
  WindowHarness h;
  AccountSet set;
  set.secondList = texts({"100201"});
  h.shared.cnData.adopt(set.session());
  h.window->show();
  h.window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(h.window.get()));
  h.box()->setFocus();
  QTest::keyClicks(h.box(), "note");
  QTest::keyClick(h.box(), Qt::Key_Return);
  QTest::keyClicks(h.box(), "x");
  h.window->tbToolBarButtonClick("Check");
  EXPECT_EQ(h.report(), "note\r\nx\r\n如下末级科目标志有误：100201");
  EXPECT_EQ(h.box()->toPlainText(), "note\nx\n如下末级科目标志有误：100201");
  EXPECT_TRUE(h.box()->hasFocus());  // the busy state does not take the focus away for good
}

TEST(FrmMainTest, ClosingTheWindowShutsTheConnectionDownAndEndsTheProgram) {
  WindowHarness h;
  h.shared.cnData.adopt(AccountSet{}.session());
  bool ended = false;
  QObject::connect(h.window.get(), &FrmMain::closed, [&] { ended = true; });
  h.window->show();
  h.window->close();
  EXPECT_TRUE(ended);
  EXPECT_EQ(h.shared.cnData.state(), dataaccess::kAdStateClosed);
}

// Qt's own dialogs and buttons in Chinese while the translator is installed; none without the
// file.
TEST(QtTranslationsTest, QtsOwnDialogTextsComeOutInChinese) {
  const auto fileBoxLabel = [] { return QCoreApplication::translate("QFileDialog", "Look in:"); };
  const auto cancel = [] { return QCoreApplication::translate("QPlatformTheme", "Cancel"); };
  {
    const auto translator = installQtChineseTexts();
    ASSERT_TRUE(translator) << "qtbase_zh_CN.qm not found (package qt6-translations-l10n)";
    EXPECT_EQ(fileBoxLabel(), QStringLiteral("查找范围："));
    EXPECT_EQ(cancel(), QStringLiteral("取消"));
  }
  EXPECT_EQ(fileBoxLabel(), "Look in:");
  const QTemporaryDir empty;
  EXPECT_FALSE(installQtChineseTexts(empty.path()));
  EXPECT_EQ(cancel(), "Cancel");
}

}  // namespace
}  // namespace leafward::ui
