// The Qt window, dialog and chooser are wired to the window logic: their controls come from
// the design table and their events reach the logic. What the logic decides is tested on its
// own (tests/app).
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "app/login_world.h"
#include "support/browser_responder.h"
#include "support/fake_session.h"
#include "support/files.h"
#include "support/qt_application.h"
#include "ui/qt/computer_picker.h"
#include "ui/qt/frm_login.h"
#include "ui/qt/frm_main.h"
#include "ui/qt/mod_sh_browse.h"
#include "ui/qt/qt_translations.h"

namespace leafward::ui {
namespace {

using namespace std::chrono_literals;
using app::LoginControl;

[[maybe_unused]] auto* const kQt = ::testing::AddGlobalTestEnvironment(new testing::QtApplication);

// Runs `script` on the modal box or dialog that shows next, then closes it if it is still up.
void onNextModal(std::function<void(QWidget*)> script) {
  QTimer::singleShot(0, [script] {
    QWidget* modal = QApplication::activeModalWidget();
    ASSERT_NE(modal, nullptr);
    script(modal);
    if (modal->isVisible()) modal->close();
  });
}

QString messageOf(QWidget* modal) {
  auto* box = qobject_cast<QMessageBox*>(modal);
  return box ? box->windowTitle() + "|" + box->text() : QString();
}

struct Window {
  connection::SharedConnection shared;
  testing::TempDir records;
  FrmMain window{shared, nullptr, records.path().string()};
  QPlainTextEdit* box() const { return window.findChild<QPlainTextEdit*>("txtResult"); }
  QLabel* panel(int n) const { return window.findChild<QLabel*>(QString("panel%1").arg(n)); }
  std::vector<QToolButton*> buttons() const {
    auto* toolbar = window.findChild<QToolBar*>("tbToolBar");
    std::vector<QToolButton*> found;
    for (QAction* action : toolbar->actions()) {
      found.push_back(qobject_cast<QToolButton*>(toolbar->widgetForAction(action)));
    }
    return found;
  }
};

TEST(QtMainWindowTest, AFixedToolWindowOfTheDesignedSize) {
  Window w;
  EXPECT_EQ(w.window.windowTitle(), "Leafward");
  EXPECT_EQ(w.window.minimumSize(), QSize(402, 213));
  EXPECT_EQ(w.window.maximumSize(), QSize(402, 213));
  EXPECT_EQ(w.window.windowType(), Qt::Tool);
  EXPECT_FALSE(w.window.windowIcon().isNull());
  const auto buttons = w.buttons();
  const QStringList keys = {"Open", "Link", "Check", "Update", "help"};
  const QStringList tips = {"打开Access文件", "连接MSSQL数据库", "检查科目", "修复科目", "帮助"};
  ASSERT_EQ(buttons.size(), 5u);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(buttons[i]->objectName(), keys[i]);
    EXPECT_EQ(buttons[i]->toolTip(), tips[i]);
    EXPECT_FALSE(buttons[i]->icon().isNull());  // the pictures are built in
  }
  EXPECT_FALSE(w.box()->isReadOnly());
}

// A button press reaches the logic, which writes the report into the box and leaves the window
// busy until the tick that follows; the tick writes the time.
TEST(QtMainWindowTest, ButtonsAndTheClockReachTheLogic) {
  Window w;
  testing::AccountSet empty;
  empty.lengths = {};
  w.shared.cnData.adopt(empty.session());
  QTest::mouseClick(w.buttons()[2], Qt::LeftButton);  // Check
  EXPECT_FALSE(w.window.isEnabled());
  EXPECT_NE(QGuiApplication::overrideCursor(), nullptr);
  QCoreApplication::processEvents();
  EXPECT_TRUE(w.window.isEnabled());
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_TRUE(QRegularExpression("\\d{1,2}:\\d\\d:\\d\\d").match(w.panel(2)->text()).hasMatch());

  testing::AccountSet set;
  set.secondList = testing::texts({"100201"});
  w.shared.cnData.adopt(set.session());
  w.window.show();
  w.window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w.window));
  w.box()->setFocus();
  QTest::keyClicks(w.box(), "note");
  QTest::keyClick(w.box(), Qt::Key_Return);
  QTest::mouseClick(w.buttons()[2], Qt::LeftButton);
  EXPECT_EQ(w.box()->toPlainText(), "note\n\n如下末级科目标志有误：100201");
  EXPECT_TRUE(w.box()->hasFocus());  // the busy state does not take the focus away for good
}

// F1 reaches the logic wherever the focus is, with any modifier; the notice and the file box
// are real boxes.
TEST(QtMainWindowTest, F1TheNoticeAndTheFileBox) {
  Window w;
  w.window.show();
  QStringList shown;
  for (auto state : {Qt::NoModifier, Qt::ControlModifier}) {
    onNextModal([&](QWidget* modal) { shown << messageOf(modal); });
    QTest::keyClick(w.box(), Qt::Key_F1, state);
  }
  onNextModal([&](QWidget* modal) { shown << messageOf(modal); });
  QTest::mouseClick(w.buttons()[4], Qt::LeftButton);  // help
  const QString notice =
      "Leafward|本工具适用于8.X、Orvane、W5.2X和W5.5X系列软件\n注意：请做好数据备份";
  EXPECT_EQ(shown, QStringList({notice, notice, notice}));

  testing::TempDir folder;
  const QString file = QString::fromStdString(
      folder.copyFixture("account-sets/worked-example.mdb", "账套 2024.mdb"));
  onNextModal([&](QWidget* modal) {
    auto* fileBox = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(fileBox, nullptr);
    EXPECT_EQ(fileBox->windowTitle(), "打开Access数据");
    EXPECT_EQ(fileBox->nameFilters(), QStringList("Access数据(*.mdb)"));
    EXPECT_EQ(fileBox->defaultSuffix(), "mdb");
    fileBox->selectFile(file);
    QMetaObject::invokeMethod(fileBox, &QDialog::accept);
  });
  QTest::mouseClick(w.buttons()[0], Qt::LeftButton);  // Open
  EXPECT_EQ(w.panel(1)->text(), "账套 2024.mdb");
  EXPECT_EQ(w.shared.cnData.state(), dataaccess::kAdStateOpen);
}

// The result box's own menu gains the item that undoes the last repair, enabled once an account
// set is open; the item asks first with Yes and No.
TEST(QtMainWindowTest, TheResultBoxMenuUndoesTheLastRepair) {
  Window w;
  testing::TempDir folder;
  const std::string path = folder.copyFixture("account-sets/worked-example.mdb");
  w.window.logic().toolbarButtonClick("Check");  // nothing open: nothing happens
  const auto useMenu = [&](const std::function<void(QMenu&, QAction&)>& script) {
    QTimer::singleShot(0, [&] {
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      ASSERT_NE(menu, nullptr);
      QAction* undo = menu->findChild<QAction*>("undoLastRepair");
      ASSERT_NE(undo, nullptr);
      EXPECT_EQ(menu->actions().last(), undo);
      EXPECT_EQ(undo->text(), "撤销上次修复…");
      EXPECT_GT(menu->actions().size(), 3);  // the box's own items stay
      script(*menu, *undo);
      menu->close();
    });
    emit w.box()->customContextMenuRequested(QPoint(5, 5));
  };
  useMenu([](QMenu&, QAction& undo) { EXPECT_FALSE(undo.isEnabled()); });

  onNextModal([&](QWidget* modal) {
    auto* fileBox = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(fileBox, nullptr);
    fileBox->selectFile(QString::fromStdString(path));
    QMetaObject::invokeMethod(fileBox, &QDialog::accept);
  });
  QTest::mouseClick(w.buttons()[0], Qt::LeftButton);  // Open
  QTest::mouseClick(w.buttons()[3], Qt::LeftButton);  // Update
  QString asked;
  useMenu([&](QMenu&, QAction& undo) {
    ASSERT_TRUE(undo.isEnabled());
    onNextModal([&](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      ASSERT_NE(box, nullptr);
      asked = box->text();
      box->button(QMessageBox::Yes)->click();
    });
    undo.trigger();
  });
  EXPECT_TRUE(asked.contains("该修复更新了 3个非末级科目标志、1个末级科目标志"))
      << asked.toStdString();
  EXPECT_TRUE(w.box()->toPlainText().endsWith("有 1个末级科目标志被恢复"))
      << w.box()->toPlainText().toStdString();
  EXPECT_EQ(testing::readBytes(path),
            testing::readBytes(testing::fixture("account-sets/worked-example.mdb")));
}

TEST(QtMainWindowTest, ClosingTheWindowShutsTheConnectionDown) {
  Window w;
  w.shared.cnData.adopt(testing::AccountSet{}.session());
  bool ended = false;
  QObject::connect(&w.window, &FrmMain::closed, [&] { ended = true; });
  w.window.show();
  w.window.close();
  EXPECT_TRUE(ended);
  EXPECT_EQ(w.shared.cnData.state(), dataaccess::kAdStateClosed);
}

// The dialog as designed, with Enter pressing Refresh in every box, Esc pressing Cancel and the
// close box unloading it, all through the dialog's logic.
TEST(QtLoginDialogTest, ControlsAsDesignedAndKeysPressTheRightButtons) {
  testing::LoginWorld world;
  QtLoginViews views;
  app::LoginDialogHost host(world.target(), views);
  int refreshes = 0;
  onNextModal([&](QWidget* modal) {
    auto* dialog = qobject_cast<FrmLogin*>(modal);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
    EXPECT_EQ(dialog->windowTitle(), "登陆");
    EXPECT_EQ(dialog->size(), QSize(251, 128));
    EXPECT_EQ(dialog->control(LoginControl::cmdOK)->geometry(), QRect(88, 96, 76, 26));
    EXPECT_EQ(QApplication::focusWidget(), dialog->control(LoginControl::txtUserName));
    auto* password = static_cast<QLineEdit*>(dialog->control(LoginControl::txtPassword));
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
    EXPECT_FALSE(password->testAttribute(Qt::WA_InputMethodEnabled));
    QObject::connect(static_cast<QPushButton*>(dialog->control(LoginControl::cmdRefresh)),
                     &QPushButton::clicked, [&] { ++refreshes; });
    password->setText("right");
    for (auto control :
         {LoginControl::txtUserName, LoginControl::txtPassword, LoginControl::dbList}) {
      dialog->control(control)->setFocus();
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    }
    EXPECT_EQ(static_cast<QComboBox*>(dialog->control(LoginControl::dbList))->count(), 2);
    EXPECT_TRUE(dialog->control(LoginControl::cmdOK)->isEnabled());
    QTest::keyClick(password, Qt::Key_Escape);
  });
  host.showModal();
  EXPECT_EQ(refreshes, 3);
  ASSERT_NE(host.loaded(), nullptr);
  EXPECT_FALSE(host.loaded()->unloaded());

  onNextModal([&](QWidget* modal) {
    EXPECT_EQ(static_cast<FrmLogin*>(modal)->text(LoginControl::txtPassword), "right");
    modal->close();  // the close box
  });
  host.showModal();
  EXPECT_EQ(host.loaded(), nullptr);
}

TEST(QtComputerPickerTest, ListsTheServersThatAnswerAndReturnsThePick) {
  testing::Responder responder(
      {testing::answer("ServerName;ACCT1;InstanceName;MSSQLSERVER;IsClustered;No;;"
                       "ServerName;ACCT1;InstanceName;Y2024;IsClustered;No;;")});
  QWidget owner;
  onNextModal([&owner](QWidget* modal) {
    auto* picker = qobject_cast<ComputerPicker*>(modal);
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(picker->windowTitle(), "请选取数据库服务器计算机名：");
    EXPECT_EQ(picker->parentWidget(), &owner);
    ASSERT_TRUE(QTest::qWaitFor([&] { return picker->list()->count() == 2; }, 5000));
    picker->list()->setCurrentRow(1);
    // OK as the user presses it: a button the pick left disabled takes no click.
    QPushButton* ok = picker->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
    ASSERT_NE(ok, nullptr);
    QTest::mouseClick(ok, Qt::LeftButton);
  });
  EXPECT_EQ(BrowseForComputer(&owner, {"127.0.0.1", responder.port(), 2000ms}), "ACCT1\\Y2024");
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
