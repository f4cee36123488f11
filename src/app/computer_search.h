#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "netbrowse/sql_browser.h"

namespace leafward::app {

// The shell's folder index of the network, and how an index becomes a special-folder id: below
// 2 the desktop (0), 2 to 11 themselves, 12 and above shifted by 4 (so 14 gives 18).
inline constexpr std::int16_t kNetworkFolderIndex = 14;
std::int32_t FolderIdFromIndex(std::int16_t index);

// What the search session asks of the chooser that shows it.
class ComputerSearchView {
 public:
  virtual ~ComputerSearchView() = default;
  virtual void clearNames() = 0;
  virtual void addName(std::string_view name) = 0;
  virtual int nameCount() const = 0;
  virtual void selectName(int index) = 0;
  // The selected name, or "" when none is selected.
  virtual std::string chosenName() const = 0;
  virtual void setStatus(std::string_view text) = 0;
  virtual void setOkEnabled(bool enabled) = 0;
  virtual void setSearchAgainEnabled(bool enabled) = 0;
  // Runs `task` later on the window's own thread; the search's thread reports through it.
  virtual void post(std::function<void()> task) = 0;
};

// The chooser's search of the database servers on the network: it runs in the background, so
// the chooser answers at once and fills its list as answers arrive. OK needs a chosen name;
// searching again waits until the search has ended. The search stops when the session ends.
class ComputerSearch {
 public:
  ComputerSearch(netbrowse::BrowseRequest request, ComputerSearchView& view);
  ~ComputerSearch();
  ComputerSearch(const ComputerSearch&) = delete;
  ComputerSearch& operator=(const ComputerSearch&) = delete;

  // Starts a search with an empty list, unless one is running; also "search again".
  void start();
  // The chooser's selection changed.
  void selectionChanged();
  bool searching() const { return searching_; }

 private:
  void nameFound(const std::string& name);
  void ended(const std::string& failure);
  void updateButtons();
  void stop();

  netbrowse::BrowseRequest request_;
  ComputerSearchView& view_;
  bool searching_ = false;
  // Reports posted by a search that has since been stopped find this gone, and are dropped.
  std::shared_ptr<ComputerSearch*> alive_ = std::make_shared<ComputerSearch*>(this);
  std::jthread worker_;
};

}  // namespace leafward::app
