#include "ui/qt/frm_main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QStatusBar>
#include <QTime>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <memory>

#include "platform/file.h"
#include "ui/qt/controls.h"
#include "ui/qt/frm_details.h"
#include "ui/qt/pictures.h"
#include "ui/qt/q_text.h"
#include "ui/qt/result_box.h"

namespace leafward::ui {
namespace {

// The system's long time format (hours, minutes, seconds) without the time zone.
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

// The files of a drop, as the platform layer names them; a link that is no local file as the
// link, for the logic to refuse.
std::vector<std::string> droppedFiles(const QMimeData& data) {
  std::vector<std::string> files;
  for (const QUrl& url : data.urls()) {
    files.push_back(url.isLocalFile() ? platform::nativePath(url.toLocalFile().toStdString())
                                      : url.toString().toStdString());
  }
  return files;
}

}  // namespace

FrmMain::FrmMain(connection::SharedConnection& shared, app::LoginDialogHost* login,
                 std::string recordFolder, QWidget* parent)
    : QWidget(parent), logic_(shared, *this, login, std::move(recordFolder)) {
  designWindow(*this, app::kMainWindow);
  setWindowIcon(leafwardIcon());

  tbToolBar_ = new QToolBar(this);
  tbToolBar_->setObjectName(QStringLiteral("tbToolBar"));
  tbToolBar_->setFixedHeight(app::pixels(app::kToolbarHeight));
  tbToolBar_->setIconSize(QSize(app::kPictureSize, app::kPictureSize));
  tbToolBar_->setMovable(false);
  tbToolBar_->setFloatable(false);
  tbToolBar_->setContextMenuPolicy(Qt::PreventContextMenu);
  for (const app::ToolbarButtonDesign& entry : app::kToolbarButtons) {
    auto* button = new QToolButton(tbToolBar_);
    const QString key = qText(entry.key);
    button->setObjectName(key);
    button->setToolTip(qText(entry.tooltip));
    button->setIcon(toolbarPicture(entry.picture));
    button->setIconSize(QSize(app::kPictureSize, app::kPictureSize));
    button->setFixedSize(app::kToolbarButtonWidth, app::kToolbarButtonHeight);
    button->setFocusPolicy(Qt::NoFocus);
    connect(button, &QToolButton::clicked, this,
            [this, key = entry.key] { logic_.toolbarButtonClick(key); });
    tbToolBar_->addWidget(button);
  }

  txtResult_ = new ResultBox(this);
  txtResult_->setObjectName(QStringLiteral("txtResult"));
  txtResult_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(txtResult_, &QWidget::customContextMenuRequested, this, &FrmMain::showResultMenu);
  connect(txtResult_, &ResultBox::filesDropped, this,
          [this](const QMimeData& data) { logic_.openGiven(droppedFiles(data)); });
  setAcceptDrops(true);

  sbStatusBar_ = new QStatusBar(this);
  sbStatusBar_->setObjectName(QStringLiteral("sbStatusBar"));
  sbStatusBar_->setSizeGripEnabled(false);
  sbStatusBar_->setFixedHeight(app::pixels(app::kStatusBarHeight));
  for (int i = 0; i < 2; ++i) {
    panels_[i] = new QLabel(sbStatusBar_);
    panels_[i]->setObjectName(QStringLiteral("panel%1").arg(i + 1));
    panels_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  }
  panels_[1]->setFixedWidth(app::pixels(app::kClockPanelWidth));
  sbStatusBar_->addWidget(panels_[0], 1);
  sbStatusBar_->addPermanentWidget(panels_[1]);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(tbToolBar_);
  layout->addWidget(txtResult_, 1);
  layout->addWidget(sbStatusBar_);
  txtResult_->setFocus();

  clock_.setSingleShot(true);
  clock_.setTimerType(Qt::PreciseTimer);
  connect(&clock_, &QTimer::timeout, this, [this] {
    logic_.tick();
    armClock();
  });
  clock_.start(0);

  qApp->installEventFilter(this);
  logic_.load();
}

FrmMain::~FrmMain() {
  qApp->removeEventFilter(this);
  setWaitPointer(false);
}

void FrmMain::armClock() {
  clock_.start(app::millisecondsToNextSecond(QTime::currentTime().msec()));
}

std::string FrmMain::resultText() const {
  return txtResult_->text();
}

void FrmMain::setResultText(std::string_view text) {
  txtResult_->setText(std::string(text));
}

void FrmMain::setPanelText(int panel, std::string_view text) {
  if (panel == 1 || panel == 2) panels_[panel - 1]->setText(qText(text));
}

void FrmMain::setWindowEnabled(bool enabled) {
  if (!enabled && isEnabled()) focusBeforeBusy_ = focusWidget();
  setEnabled(enabled);
  // Disabling the window took the focus from the control that had it: give it back.
  if (enabled && focusBeforeBusy_ && !focusWidget()) focusBeforeBusy_->setFocus();
  if (enabled) focusBeforeBusy_ = nullptr;
}

void FrmMain::setWaitPointer(bool wait) {
  // An application-wide override, so that the hourglass shows over every control.
  if (wait && !waitPointer_) QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  if (!wait && waitPointer_) QGuiApplication::restoreOverrideCursor();
  waitPointer_ = wait;
}

std::string FrmMain::askOpenFileName(const app::FileBoxDesign& box) {
  QFileDialog dialog(this, qText(box.title));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::AnyFile);
  // Qt takes the pattern from the description's parentheses.
  dialog.setNameFilter(qText(box.description));
  dialog.setDefaultSuffix(qText(box.defaultExtension));
  if (dialog.exec() != QDialog::Accepted) return {};
  // UTF-8, never Windows' 8-bit code page, in the form the platform layer takes.
  return platform::nativePath(dialog.selectedFiles().value(0).toStdString());
}

void FrmMain::showMessage(std::string_view text, std::string_view title) {
  QString shown = qText(text);
  shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  QMessageBox box(QMessageBox::NoIcon, qText(title), shown, QMessageBox::Ok, this);
  box.exec();
}

bool FrmMain::askYesNo(std::string_view text, std::string_view title) {
  QMessageBox box(QMessageBox::Question, qText(title), qText(text),
                  QMessageBox::Yes | QMessageBox::No, this);
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

// The box's own menu, and after it the items that show the details of the last Check and undo
// the last repair.
void FrmMain::showResultMenu(const QPoint& at) {
  std::unique_ptr<QMenu> menu(txtResult_->createStandardContextMenu());
  menu->addSeparator();
  QAction* details = menu->addAction(qText(app::kShowDetailsItem));
  details->setObjectName(QStringLiteral("showDetails"));
  details->setEnabled(logic_.canShowDetails());
  connect(details, &QAction::triggered, this, [this] { logic_.showDetailsClick(); });
  QAction* undo = menu->addAction(qText(app::kUndoLastRepairItem));
  undo->setObjectName(QStringLiteral("undoLastRepair"));
  undo->setEnabled(logic_.canUndoLastRepair());
  connect(undo, &QAction::triggered, this, [this] { logic_.undoLastRepairClick(); });
  menu->exec(txtResult_->mapToGlobal(at));
}

void FrmMain::openGivenLater(const QStringList& files) {
  if (files.isEmpty()) return;
  std::vector<std::string> paths;
  for (const QString& file : files) paths.push_back(platform::nativePath(file.toStdString()));
  QTimer::singleShot(0, this, [this, paths] { logic_.openGiven(paths); });
}

void FrmMain::showDetails(app::DetailsWindow& details) {
  FrmDetails window(details, this);
  window.exec();
}

void FrmMain::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void FrmMain::dropEvent(QDropEvent* event) {
  event->acceptProposedAction();
  logic_.openGiven(droppedFiles(*event->mimeData()));
}

std::string FrmMain::timeOfDay() const {
  return QLocale::system().toString(QTime::currentTime(), clockFormat()).toStdString();
}

void FrmMain::requestTick() {
  QTimer::singleShot(0, this, [this] { logic_.tick(); });
}

bool FrmMain::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* widget = qobject_cast<QWidget*>(watched);
    auto* key = static_cast<QKeyEvent*>(event);
    if (widget && widget->window() == this && key->key() == Qt::Key_F1) {
      return logic_.keyDown(app::kKeyF1);
    }
  }
  return QWidget::eventFilter(watched, event);
}

void FrmMain::closeEvent(QCloseEvent* event) {
  logic_.unload();
  event->accept();
  emit closed();
}

}  // namespace leafward::ui
