// The Qt window, dialog and chooser are wired to the window logic: their controls come from
// the design table and their events reach the logic. What the logic decides is tested on its
// own (tests/app).
#include <gtest/gtest.h>

#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
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
#include "ui/qt/frm_details.h"
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

// A picture of a window, when the tests are asked for pictures (LEAFWARD_SCREENSHOTS names the
// folder), named after the screen's dots per inch.
void screenshot(QWidget& window, const char* name) {
  const QString folder = qEnvironmentVariable("LEAFWARD_SCREENSHOTS");
  if (folder.isEmpty()) return;
  const int dpi = qRound(96 * window.devicePixelRatioF());
  window.grab().save(QStringLiteral("%1/%2-%3dpi.png").arg(folder, name).arg(dpi));
}

// The result box's menu shows the last Check's findings in the details window, above the undo
// item: sorted by a heading's click, filtered, the selected rows copied with Ctrl+C and the
// rows exported through the save box.
TEST(QtMainWindowTest, TheDetailsWindowOfTheLastCheck) {
  Window w;
  testing::TempDir folder;
  w.window.show();
  w.window.openGivenLater(
      {QString::fromStdString(folder.copyFixture("account-sets/realistic-5k.mdb", "账套 5k.mdb"))});
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.panel(1)->text() == "账套 5k.mdb"; }));
  const auto useMenu = [&](const std::function<void(QAction&)>& script) {
    QTimer::singleShot(0, [&] {
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      ASSERT_NE(menu, nullptr);
      QAction* details = menu->findChild<QAction*>("showDetails");
      ASSERT_NE(details, nullptr);
      EXPECT_EQ(details->text(), "查看明细…");
      const QList<QAction*> items = menu->actions();
      EXPECT_EQ(items.indexOf(details) + 1,
                items.indexOf(menu->findChild<QAction*>("undoLastRepair")));
      script(*details);
      menu->close();
    });
    emit w.box()->customContextMenuRequested(QPoint(5, 5));
  };
  useMenu([](QAction& details) { EXPECT_FALSE(details.isEnabled()); });
  QTest::mouseClick(w.buttons()[2], Qt::LeftButton);  // Check

  const QString exported = QString::fromStdString(folder.file("明细.csv"));
  QString copied, firstCode;
  int rows = 0;
  useMenu([&](QAction& details) {
    ASSERT_TRUE(details.isEnabled());
    onNextModal([&](QWidget* modal) {
      auto* window = qobject_cast<FrmDetails*>(modal);
      ASSERT_NE(window, nullptr);
      ASSERT_TRUE(QTest::qWaitForWindowActive(window));
      EXPECT_EQ(window->windowTitle(), "科目标志明细");
      EXPECT_EQ(window->size(), QSize(640, 400));
      QTableView* table = window->table();
      rows = table->model()->rowCount();
      EXPECT_EQ(table->model()->headerData(5, Qt::Horizontal).toString(), "原因");
      firstCode = table->model()->index(0, 0).data().toString();
      screenshot(*window, "details-window-qt");
      // Sorted by level, highest first: a click, then a second click on the heading.
      for (int click = 0; click < 2; ++click) {
        QTest::mouseClick(table->horizontalHeader()->viewport(), Qt::LeftButton, {},
                          QPoint(table->horizontalHeader()->sectionViewportPosition(2) + 5, 5));
      }
      EXPECT_EQ(table->model()->index(0, 2).data().toString(), "4");
      auto* filter = static_cast<QComboBox*>(window->control(app::DetailsControl::cboFilter));
      filter->setFocus();
      QTest::keyClick(filter, Qt::Key_Down);  // the codes that should be non-leaf
      EXPECT_LT(table->model()->rowCount(), rows);
      EXPECT_EQ(table->model()->index(0, 4).data().toString(), "非末级");
      table->setFocus();
      table->selectRow(0);
      QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
      copied = QGuiApplication::clipboard()->text();
      onNextModal([&](QWidget* box) {
        auto* fileBox = qobject_cast<QFileDialog*>(box);
        ASSERT_NE(fileBox, nullptr);
        EXPECT_EQ(fileBox->windowTitle(), "导出明细");
        fileBox->selectFile(exported);
        QMetaObject::invokeMethod(fileBox, &QDialog::accept);
      });
      auto* exportButton =
          static_cast<QPushButton*>(window->control(app::DetailsControl::cmdExport));
      EXPECT_EQ(exportButton->shortcut(), QKeySequence(Qt::ALT | Qt::Key_E));
      exportButton->setFocus();
      QTest::keyClick(exportButton, Qt::Key_Space);  // 导出(&E)…
      QTest::keyClick(table, Qt::Key_Escape);
    });
    details.trigger();
  });
  EXPECT_GT(rows, 50);
  EXPECT_EQ(firstCode, "10010604");
  EXPECT_TRUE(copied.endsWith("\t末级\t非末级\t有下级科目 " + copied.section('\t', 0, 0) +
                              "01 等 10 个\r\n"))
      << copied.toStdString();
  const std::string csv = testing::readFile(testing::utf8Path(exported.toStdString()));
  EXPECT_TRUE(csv.starts_with("\xEF\xBB\xBF科目代码,科目名称,级次,当前标志,应为,原因\r\n")) << csv;
}

// Files dropped onto the window, the result box included, open as Open opens them; anything
// else is refused in panel 1.
TEST(QtMainWindowTest, FilesDroppedOntoTheWindow) {
  Window w;
  testing::TempDir folder;
  const QString path =
      QString::fromStdString(folder.copyFixture("account-sets/worked-example.mdb", "账套.mdb"));
  const auto drop = [](QWidget* target, const QString& file) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(file)});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &dropped);
  };
  drop(&w.window, path);
  EXPECT_EQ(w.panel(1)->text(), "账套.mdb");
  EXPECT_EQ(w.shared.cnData.state(), dataaccess::kAdStateOpen);
  drop(w.box()->viewport(), QString::fromStdString(folder.file("notes.txt")));
  EXPECT_EQ(w.panel(1)->text(), "不是Access数据文件：notes.txt");
  EXPECT_EQ(w.box()->toPlainText(), "");  // no path typed into the box
  EXPECT_EQ(w.shared.cnData.state(), dataaccess::kAdStateOpen);
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
