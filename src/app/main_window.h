#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/main_view.h"
#include "audit/findings.h"
#include "audit/workbench.h"
#include "connection/shared_connection.h"
#include "record/account_set.h"

namespace leafward::app {

class LoginDialogHost;

// The key code of F1 as the key handler receives it.
inline constexpr int kKeyF1 = 112;

// The notice that F1 and the help button show, titled with the window's caption.
inline constexpr std::string_view kNotice =
    "本工具适用于8.X、Orvane、W5.2X和W5.5X系列软件\r\n注意：请做好数据备份";

// Everything the main window decides, without a toolkit: the toolbar's commands, the F1 notice,
// the clock tick and the busy state. A front-end draws the window, forwards its events here and
// implements MainView.
class MainWindow : private audit::Workbench {
 public:
  // `login` shows the server login dialog for "Link"; without one "Link" does nothing. Repairs
  // are recorded in `recordFolder`, or in the user's own folder when it is empty.
  MainWindow(connection::SharedConnection& shared, MainView& view, LoginDialogHost* login = nullptr,
             std::string recordFolder = {});

  // The window loads: client-side cursors; nothing is opened.
  void load();
  // The toolbar: runs the command whose key matches exactly, comparing with "Link", "Open",
  // "Check", "Update" and "help" in that order; any other key does nothing. No failing step
  // stops a command. A tick follows every command. Update changes nothing while a connection
  // is open whose repairs cannot be recorded, and says why in the result box.
  void toolbarButtonClick(std::string_view key);
  // Every key of the window, before the control with the focus sees it: F1 shows the notice,
  // whatever the shift state; any other key does nothing. Returns whether the key was taken.
  bool keyDown(int keyCode);
  // The clock: the time into panel 2, then the busy state ends.
  void tick();
  // The result box's "undo the last repair" item: names the last repair of the account set
  // that is open in a Yes/No box and, on Yes, puts its flags back, with the lines it writes
  // into the box; with nothing to put back, the box gets the line that says so. The item can
  // be chosen while an account set is open.
  bool canUndoLastRepair() const;
  void undoLastRepairClick();
  // The result box's "show details" item: the wrong flags of the last Check in the details
  // window, their details read from the account set the first time. The item can be chosen
  // once a Check has come to its end, until another account set is opened or the flags are
  // changed.
  bool canShowDetails() const { return lastFindings_.has_value(); }
  void showDetailsClick();
  // Files handed to the program, on its command line or dropped onto the window: one Access
  // file is opened as Open opens the file chosen in its box; anything else is refused in
  // status panel 1 and changes nothing.
  void openGiven(const std::vector<std::string>& paths);
  // The window closes: the connection and the recordset are shut down.
  void unload();

 private:
  std::string reportText() const override;
  void setReportText(std::string text) override;
  void setEnabled(bool enabled) override;
  void setMousePointer(int pointer) override;

  // Runs one call of the front-end: what it throws is shown in a message box, the busy state
  // ends and, unless told otherwise, a tick follows.
  template <class Step>
  void guarded(Step&& step, bool tickAfter = true);

  void commandLink();
  void commandOpen();
  void openFile(const std::string& path);
  void commandCheck();
  void commandUpdate();

  connection::SharedConnection& shared_;
  MainView& view_;
  LoginDialogHost* login_;
  std::string recordFolder_;
  // The account set that is open, by which its repairs are recorded; when it could not be
  // told, why not.
  std::optional<record::AccountSet> accountSet_;
  std::string accountSetFailure_;
  // The wrong flags the last Check found, for the details window, and whether their details
  // have been read.
  std::optional<std::vector<audit::WrongFlag>> lastFindings_;
  bool lastFindingsDetailed_ = false;
};

// Milliseconds from `millisecond` (0 to 999, the clock's current place within its second) to
// the next whole second, when the clock ticks again.
int millisecondsToNextSecond(int millisecond);

}  // namespace leafward::app
