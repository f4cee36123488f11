#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/computer_search.h"
#include "app/details_window.h"
#include "app/login_dialog.h"
#include "app/main_view.h"

namespace leafward::testing {

using Asked = std::vector<std::string>;

// The main window without a toolkit: its controls are strings, its boxes answer from a script
// and remember what they were asked.
class FakeMainView : public app::MainView {
 public:
  std::string result;
  std::string panels[2];
  bool enabled = true, wait = false;
  std::deque<std::string> fileAnswers;  // taken in turn; none left: Cancel
  std::vector<Asked> asked;             // {"open", title, description, pattern, extension},
                                        // {"message", text, title} or {"yes/no", text, title}
  std::deque<bool> yesNoAnswers;        // taken in turn; none left: No
  std::string fileBoxFailure;           // when set, the file-open box throws it
  int ticksRequested = 0;
  // The busy state as it changes, and the boxes between: "busy", "idle", "yes/no".
  std::vector<std::string> busyLog;

  std::string resultText() const override { return result; }
  void setResultText(std::string_view text) override { result = text; }
  void setPanelText(int panel, std::string_view text) override { panels[panel - 1] = text; }
  void setWindowEnabled(bool value) override { enabled = value; }
  void setWaitPointer(bool value) override {
    wait = value;
    busyLog.push_back(value ? "busy" : "idle");
  }
  std::string askOpenFileName(const app::FileBoxDesign& box) override {
    asked.push_back({"open", std::string(box.title), std::string(box.description),
                     std::string(box.pattern), std::string(box.defaultExtension)});
    if (!fileBoxFailure.empty()) throw std::runtime_error(fileBoxFailure);
    if (fileAnswers.empty()) return {};
    std::string answer = fileAnswers.front();
    fileAnswers.pop_front();
    return answer;
  }
  void showMessage(std::string_view text, std::string_view title) override {
    asked.push_back({"message", std::string(text), std::string(title)});
  }
  bool askYesNo(std::string_view text, std::string_view title) override {
    asked.push_back({"yes/no", std::string(text), std::string(title)});
    busyLog.push_back("yes/no");
    if (yesNoAnswers.empty()) return false;
    const bool yes = yesNoAnswers.front();
    yesNoAnswers.pop_front();
    return yes;
  }
  // What the user does while the details window shows.
  std::function<void(app::DetailsWindow&)> detailsScript;
  int detailsShown = 0;
  void showDetails(app::DetailsWindow& details) override {
    ++detailsShown;
    if (detailsScript) detailsScript(details);
  }
  std::string timeOfDay() const override { return "14:03:27"; }
  void requestTick() override { ++ticksRequested; }
};

// The login dialog without a toolkit. While "shown", it runs the script the test gave the
// factory; a dialog the script leaves shown is cancelled.
class FakeLoginView : public app::LoginView {
 public:
  using Control = app::LoginControl;
  using Script = std::function<void(app::LoginDialog&, FakeLoginView&)>;

  FakeLoginView(app::LoginDialog& dialog, Script& script) : dialog_(dialog), script_(script) {}

  std::map<Control, std::string> texts;
  std::vector<std::string> list;
  std::map<Control, bool> enabled;
  Control focus = Control::Computer;
  std::vector<std::pair<std::string, std::string>> messages;  // text, title
  std::deque<std::string> picks;                              // what the picker returns
  std::string pickerFailure;                                  // when set, the picker throws it
  int browsed = 0, shown = 0;
  bool showing = false;

  std::string text(Control control) const override {
    const auto found = texts.find(control);
    return found == texts.end() ? std::string() : found->second;
  }
  void setText(Control control, std::string_view text) override { texts[control] = text; }
  void clearList() override {
    list.clear();
    texts[Control::dbList].clear();
  }
  void addListItem(std::string_view name) override { list.emplace_back(name); }
  int listCount() const override { return static_cast<int>(list.size()); }
  void selectListItem(int index) override { texts[Control::dbList] = list.at(index); }
  void setEnabled(Control control, bool value) override { enabled[control] = value; }
  void setFocus(Control control) override { focus = control; }
  void showMessage(std::string_view text, std::string_view title) override {
    messages.emplace_back(text, title);
  }
  std::string browseForComputer() override {
    ++browsed;
    if (!pickerFailure.empty()) throw std::runtime_error(pickerFailure);
    if (picks.empty()) return {};
    std::string pick = picks.front();
    picks.pop_front();
    return pick;
  }
  void showModal() override {
    ++shown;
    showing = true;
    if (script_) script_(dialog_, *this);
    if (showing) dialog_.cancelClick();
  }
  void end() override { showing = false; }

 private:
  app::LoginDialog& dialog_;
  Script& script_;
};

class FakeLoginViews : public app::LoginViewFactory {
 public:
  FakeLoginView::Script script;  // what the user does while the dialog is shown
  int created = 0;
  std::unique_ptr<app::LoginView> createLoginView(app::LoginDialog& dialog) override {
    ++created;
    return std::make_unique<FakeLoginView>(dialog, script);
  }
};

// The computer chooser without a toolkit; what the search posts waits in `posted` until the
// test runs it, as a window's thread would.
class FakeSearchView : public app::ComputerSearchView {
 public:
  std::vector<std::string> names;
  int selected = -1;
  std::string status;
  bool okEnabled = false, againEnabled = false;
  std::deque<std::function<void()>> posted;
  std::mutex mutex;

  void clearNames() override {
    names.clear();
    selected = -1;
  }
  void addName(std::string_view name) override { names.emplace_back(name); }
  int nameCount() const override { return static_cast<int>(names.size()); }
  void selectName(int index) override { selected = index; }
  std::string chosenName() const override { return selected >= 0 ? names.at(selected) : ""; }
  void setStatus(std::string_view text) override { status = text; }
  void setOkEnabled(bool value) override { okEnabled = value; }
  void setSearchAgainEnabled(bool value) override { againEnabled = value; }
  void post(std::function<void()> task) override {
    std::lock_guard lock(mutex);
    posted.push_back(std::move(task));
  }
  // Runs what has been posted so far; false when there was nothing.
  bool runPosted() {
    std::deque<std::function<void()>> tasks;
    {
      std::lock_guard lock(mutex);
      tasks.swap(posted);
    }
    for (auto& task : tasks) task();
    return !tasks.empty();
  }
};

}  // namespace leafward::testing
