#include "app/main_window.h"

#include <exception>

#include "app/details_window.h"
#include "app/login_dialog.h"
#include "audit/check.h"
#include "audit/code_details.h"
#include "audit/recorded_update.h"
#include "audit/report.h"
#include "audit/undo.h"
#include "audit/update.h"
#include "connection/steps.h"
#include "dataaccess/ascii.h"
#include "platform/file.h"

namespace leafward::app {
namespace {

using connection::attempt;

// Whether a file's name ends in ".mdb", in any case.
bool hasAccessExtension(std::string_view name) {
  constexpr std::string_view kExtension = ".mdb";
  return name.size() >= kExtension.size() &&
         dataaccess::equalsIgnoringCase(name.substr(name.size() - kExtension.size()), kExtension);
}

}  // namespace

MainWindow::MainWindow(connection::SharedConnection& shared, MainView& view, LoginDialogHost* login,
                       std::string recordFolder)
    : shared_(shared), view_(view), login_(login), recordFolder_(std::move(recordFolder)) {}

template <class Step>
void MainWindow::guarded(Step&& step, bool tickAfter) {
  try {
    step();
  } catch (const std::exception& error) {
    // What went wrong is told, not lost, and the window is usable again.
    attempt([&] { view_.showMessage(error.what(), kMainWindow.caption); });
    attempt([&] { audit::busyOff(*this); });
    if (tickAfter) view_.requestTick();
  }
}

void MainWindow::load() {
  guarded([&] { shared_.startUp(); });
}

void MainWindow::unload() {
  guarded([&] { shared_.shutDown(); });
}

void MainWindow::toolbarButtonClick(std::string_view key) {
  guarded([&] {
    if (key == "Link") {
      commandLink();
    } else if (key == "Open") {
      commandOpen();
    } else if (key == "Check") {
      commandCheck();
    } else if (key == "Update") {
      commandUpdate();
    } else if (key == "help") {
      keyDown(kKeyF1);
    }
    // A command that ended while busy leaves the window usable again on the tick that follows.
    view_.requestTick();
  });
}

bool MainWindow::keyDown(int keyCode) {
  if (keyCode != kKeyF1) return false;
  guarded([&] { view_.showMessage(kNotice, kMainWindow.caption); });
  return true;
}

void MainWindow::tick() {
  // A tick that failed asks for no other: the clock brings the next one.
  guarded(
      [&] {
        view_.setPanelText(2, view_.timeOfDay());
        audit::busyOff(*this);
      },
      false);
}

// The details of the findings (names, levels, the codes above and under) are read when the
// details window first shows them: a Check costs no more than its own statements.
void MainWindow::commandCheck() {
  audit::CheckOutcome outcome = audit::runCheck(shared_, *this, audit::Details::Skip);
  if (outcome.end == audit::CheckEnd::Finished) {
    lastFindings_ = std::move(outcome.findings.wrongFlags);
    lastFindingsDetailed_ = false;
  } else if (outcome.end != audit::CheckEnd::NotOpen) {
    lastFindings_.reset();
  }
}

void MainWindow::showDetailsClick() {
  if (!lastFindings_) return;
  guarded(
      [&] {
        if (!lastFindingsDetailed_) {
          audit::busyOn(*this);
          audit::addDetails(shared_, *lastFindings_);
          audit::busyOff(*this);
          lastFindingsDetailed_ = true;
        }
        DetailsWindow details(*lastFindings_);
        view_.showDetails(details);
      },
      false);
}

void MainWindow::commandLink() {
  if (!login_) return;
  lastFindings_.reset();
  attempt([&] { login_->showModal(); });
  // The dialect follows what is open: an Access file that the dialog left open keeps its own,
  // anything else (a server connection, or none) is addressed as SQL Server.
  shared_.blnServer = !shared_.accessFileOpen();
  attempt([&] { view_.setPanelText(1, shared_.cnData.defaultDatabase()); });
  if (shared_.accessFileOpen()) return;  // still the file opened before
  accountSet_.reset();
  accountSetFailure_.clear();
  attempt(
      [&] {
        if (shared_.cnData.state() == dataaccess::kAdStateOpen) {
          accountSet_ = record::AccountSet::serverDatabase(login_->connectedServer(),
                                                           shared_.cnData.defaultDatabase());
        }
      },
      &accountSetFailure_);
}

void MainWindow::commandOpen() {
  const std::string path = view_.askOpenFileName(kOpenFileBox);
  if (path.empty()) return;
  openFile(path);
}

void MainWindow::openGiven(const std::vector<std::string>& paths) {
  guarded([&] {
    const std::string name = paths.empty() ? std::string() : platform::fileName(paths.front());
    if (paths.size() != 1) {
      view_.setPanelText(1, "一次只能打开一个文件");
    } else if (!hasAccessExtension(name)) {
      view_.setPanelText(1, "不是Access数据文件：" + name);
    } else {
      openFile(paths.front());
    }
    view_.requestTick();
  });
}

void MainWindow::openFile(const std::string& path) {
  lastFindings_.reset();
  // The open procedure closes the connection that is open before it opens the file.
  std::string failure;
  const bool opened = attempt([&] { shared_.openAccess(path); }, &failure);
  shared_.blnServer = false;
  accountSet_.reset();
  accountSetFailure_.clear();
  const std::string name = platform::fileName(path);
  if (opened) {
    attempt([&] { accountSet_ = record::AccountSet::accessFile(path); }, &accountSetFailure_);
    view_.setPanelText(1, name);
    return;
  }
  // Nothing is open now: say so, rather than showing the name as if it were.
  view_.setPanelText(1, "");
  attempt([&] { audit::appendLine(*this, "无法打开Access文件：" + name + "（" + failure + "）"); });
}

// Every repair is recorded, so that it can be undone: one that cannot be is not made. With
// nothing open the Update does nothing anyway.
void MainWindow::commandUpdate() {
  // Whatever it repairs, the findings of the last Check no longer describe the flags.
  if (shared_.cnData.state() == dataaccess::kAdStateOpen) lastFindings_.reset();
  if (accountSet_) {
    audit::runRecordedUpdate(shared_, *this, {recordFolder_, *accountSet_});
  } else if (shared_.cnData.state() == dataaccess::kAdStateOpen) {
    const std::string why =
        accountSetFailure_.empty() ? "不知道打开的是哪个账套" : accountSetFailure_;
    audit::appendLine(*this, std::string(audit::kUnrecordedRefusal) + why);
  } else {
    audit::runUpdate(shared_, *this);
  }
}

bool MainWindow::canUndoLastRepair() const {
  return accountSet_.has_value() && shared_.cnData.state() == dataaccess::kAdStateOpen;
}

void MainWindow::undoLastRepairClick() {
  if (!canUndoLastRepair()) return;
  const audit::RecordTarget target{recordFolder_, *accountSet_};
  guarded([&] {
    // Reading the record is work like the undo's own: the window is busy for it too.
    audit::busyOn(*this);
    const audit::UndoPreview preview = audit::previewUndo(target);
    audit::busyOff(*this);
    // Nothing to put back, or a record that cannot be read: the box says which.
    if (preview.state != audit::UndoPreview::State::Ready) {
      audit::appendLine(*this, preview.question());
    } else if (view_.askYesNo(preview.question(), kMainWindow.caption)) {
      lastFindings_.reset();
      audit::runUndo(shared_, *this, target, preview.repairId);
    }
    view_.requestTick();
  });
}

std::string MainWindow::reportText() const {
  return view_.resultText();
}

void MainWindow::setReportText(std::string text) {
  view_.setResultText(text);
}

void MainWindow::setEnabled(bool enabled) {
  view_.setWindowEnabled(enabled);
}

void MainWindow::setMousePointer(int pointer) {
  view_.setWaitPointer(pointer == audit::kPointerHourglass);
}

int millisecondsToNextSecond(int millisecond) {
  return 1000 - (millisecond % 1000 + 1000) % 1000;
}

}  // namespace leafward::app
