#include "ui/frm_main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QStatusBar>
#include <QTime>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "audit/check.h"
#include "audit/report.h"
#include "audit/update.h"
#include "connection/steps.h"
#include "ui/dialogs.h"
#include "ui/pictures.h"
#include "ui/result_box.h"
#include "ui/window_workbench.h"

namespace leafward::ui {
namespace {

// A path as the platform layer takes it: UTF-8 with Windows' own separators on Windows, never
// the local 8-bit code page; the file system's own bytes elsewhere.
std::string platformPath(const QString& path) {
#ifdef _WIN32
  return QDir::toNativeSeparators(path).toStdString();
#else
  return QFile::encodeName(path).toStdString();
#endif
}

using connection::attempt;

const char* const kTitle = "Leafward";
const char* const kNotice = "本工具适用于8.X、Orvane、W5.2X和W5.5X系列软件\r\n注意：请做好数据备份";
const char* const kOpenTitle = "打开Access数据";
// The single filter entry "Access数据(*.mdb)|*.mdb", written the way Qt reads filters.
const char* const kOpenFilter = "Access数据(*.mdb)";
const char* const kOpenSuffix = "mdb";

constexpr QSize kClientSize(402, 213);
constexpr int kToolbarHeight = 28;
constexpr int kStatusBarHeight = 18;
constexpr int kClockPanelWidth = 96;
constexpr QSize kButtonSize(23, 22);

struct ToolbarButton {
  const char* key;
  const char* tooltip;
  int picture;
};
constexpr ToolbarButton kButtons[] = {
    {"Open", "打开Access文件", 1}, {"Link", "连接MSSQL数据库", 2},
    {"Check", "检查科目", 3},      {"Update", "修复科目", 4},
    {"help", "帮助", 5},
};

// The platform's long time format (hours, minutes, seconds) without the time zone.
QString clockFormat() {
  const QString format = QLocale::system().timeFormat(QLocale::LongFormat);
  QString result;
  bool quoted = false;
  for (QChar c : format) {
    if (c == QLatin1Char('\'')) quoted = !quoted;
    if (quoted || c != QLatin1Char('t')) result += c;
  }
  return result.trimmed();
}

int shiftBits(Qt::KeyboardModifiers modifiers) {
  return (modifiers & Qt::ShiftModifier ? FrmMain::kShiftBit : 0) |
         (modifiers & Qt::ControlModifier ? FrmMain::kCtrlBit : 0) |
         (modifiers & Qt::AltModifier ? FrmMain::kAltBit : 0);
}

}  // namespace

FrmMain::FrmMain(connection::SharedConnection& shared, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent), shared_(shared), dialogs_(dialogs) {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QString::fromUtf8(kTitle));
  setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setWindowIcon(leafwardIcon());
  setFixedSize(kClientSize);

  tbToolBar_ = new QToolBar(this);
  tbToolBar_->setObjectName(QStringLiteral("tbToolBar"));
  tbToolBar_->setFixedHeight(kToolbarHeight);
  tbToolBar_->setIconSize(QSize(16, 16));
  tbToolBar_->setMovable(false);
  tbToolBar_->setFloatable(false);
  tbToolBar_->setContextMenuPolicy(Qt::PreventContextMenu);
  for (const ToolbarButton& entry : kButtons) {
    auto* button = new QToolButton(tbToolBar_);
    const QString key = QString::fromUtf8(entry.key);
    button->setObjectName(key);
    button->setProperty("key", key);
    button->setToolTip(QString::fromUtf8(entry.tooltip));
    button->setIcon(toolbarPicture(entry.picture));
    button->setIconSize(QSize(16, 16));
    button->setFixedSize(kButtonSize);
    button->setFocusPolicy(Qt::NoFocus);
    connect(button, &QToolButton::clicked, this, [this, key] { tbToolBarButtonClick(key); });
    tbToolBar_->addWidget(button);
  }

  txtResult_ = new ResultBox(this);
  txtResult_->setObjectName(QStringLiteral("txtResult"));

  sbStatusBar_ = new QStatusBar(this);
  sbStatusBar_->setObjectName(QStringLiteral("sbStatusBar"));
  sbStatusBar_->setSizeGripEnabled(false);
  sbStatusBar_->setFixedHeight(kStatusBarHeight);
  panel1_ = new QLabel(sbStatusBar_);
  panel1_->setObjectName(QStringLiteral("panel1"));
  panel2_ = new QLabel(sbStatusBar_);
  panel2_->setObjectName(QStringLiteral("panel2"));
  panel2_->setFixedWidth(kClockPanelWidth);
  for (QLabel* panel : {panel1_, panel2_}) panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  sbStatusBar_->addWidget(panel1_, 1);
  sbStatusBar_->addPermanentWidget(panel2_);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(tbToolBar_);
  layout->addWidget(txtResult_, 1);
  layout->addWidget(sbStatusBar_);
  txtResult_->setFocus();

  workbench_ = std::make_unique<WindowWorkbench>(*this, *txtResult_);

  // The clock ticks once a second, on the second; after every command one more tick follows
  // at once, so that a command that ended while busy leaves the window usable again.
  clock_.setSingleShot(true);
  clock_.setTimerType(Qt::PreciseTimer);
  connect(&clock_, &QTimer::timeout, this, [this] {
    timer1Timer();
    armClock();
  });
  clock_.start(0);

  qApp->installEventFilter(this);
  shared_.startUp();
}

FrmMain::~FrmMain() {
  qApp->removeEventFilter(this);
}

audit::Workbench& FrmMain::workbench() {
  return *workbench_;
}

int FrmMain::mousePointer() const {
  return workbench_->mousePointer();
}

void FrmMain::armClock() {
  clock_.start(1000 - QTime::currentTime().msec());
}

void FrmMain::timer1Timer() {
  panel2_->setText(QLocale::system().toString(QTime::currentTime(), clockFormat()));
  audit::busyOff(*workbench_);
}

void FrmMain::tbToolBarButtonClick(const QString& key) {
  if (key == QLatin1String("Link")) {
    commandLink();
  } else if (key == QLatin1String("Open")) {
    commandOpen();
  } else if (key == QLatin1String("Check")) {
    commandCheck();
  } else if (key == QLatin1String("Update")) {
    commandUpdate();
  } else if (key == QLatin1String("help")) {
    formKeyDown(kKeyF1, 0);
  }
  QTimer::singleShot(0, this, &FrmMain::timer1Timer);
}

void FrmMain::commandLink() {
  if (!showLogin_) return;
  attempt([&] { showLogin_(); });
  // The dialect follows what is open: an Access file that the dialog left open keeps its own,
  // anything else (a server connection, or none) is addressed as SQL Server.
  shared_.blnServer = !shared_.accessFileOpen();
  attempt([&] { panel1_->setText(QString::fromStdString(shared_.cnData.defaultDatabase())); });
}

void FrmMain::commandOpen() {
  const QString path =
      dialogs_.askOpenFileName(this, QString::fromUtf8(kOpenTitle), QString::fromUtf8(kOpenFilter),
                               QString::fromUtf8(kOpenSuffix));
  if (path.isEmpty()) return;
  // The open procedure closes the connection that is open before it opens the file.
  std::string failure;
  const bool opened = attempt([&] { shared_.openAccess(platformPath(path)); }, &failure);
  shared_.blnServer = false;
  const QString name = QFileInfo(path).fileName();
  if (opened) {
    panel1_->setText(name);
    return;
  }
  // Nothing is open now: say so, rather than showing the name as if it were.
  panel1_->clear();
  attempt([&] {
    audit::appendLine(*workbench_,
                      "无法打开Access文件：" + name.toStdString() + "（" + failure + "）");
  });
}

void FrmMain::commandCheck() {
  audit::runCheck(shared_, *workbench_);
}

void FrmMain::commandUpdate() {
  audit::runUpdate(shared_, *workbench_);
}

void FrmMain::formKeyDown(int keyCode, int /*shift*/) {
  if (keyCode != kKeyF1) return;
  dialogs_.showMessage(this, QString::fromUtf8(kNotice), QString::fromUtf8(kTitle));
}

bool FrmMain::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* widget = qobject_cast<QWidget*>(watched);
    auto* key = static_cast<QKeyEvent*>(event);
    if (widget && widget->window() == this && key->key() == Qt::Key_F1) {
      formKeyDown(kKeyF1, shiftBits(key->modifiers()));
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void FrmMain::closeEvent(QCloseEvent* event) {
  shared_.shutDown();
  event->accept();
  emit closed();
}

}  // namespace leafward::ui
