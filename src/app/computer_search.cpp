#include "app/computer_search.h"

namespace leafward::app {

std::int32_t FolderIdFromIndex(std::int16_t index) {
  if (index < 2) return 0;
  if (index <= 11) return index;
  return index + 4;
}

ComputerSearch::ComputerSearch(netbrowse::BrowseRequest request, ComputerSearchView& view)
    : request_(std::move(request)), view_(view) {}

ComputerSearch::~ComputerSearch() {
  stop();
}

void ComputerSearch::stop() {
  worker_.request_stop();
  if (worker_.joinable()) worker_.join();
  // Whatever the stopped search posted and the window has not run yet is dropped.
  alive_ = std::make_shared<ComputerSearch*>(this);
}

void ComputerSearch::start() {
  if (searching_) return;
  stop();
  view_.clearNames();
  searching_ = true;
  view_.setStatus("正在搜索网络上的数据库服务器……");
  updateButtons();
  std::weak_ptr<ComputerSearch*> alive = alive_;
  ComputerSearchView& view = view_;
  // The window's thread runs what the search reports, and only while this search is current.
  auto report = [alive, &view](std::function<void(ComputerSearch&)> step) {
    view.post([alive, step = std::move(step)] {
      if (const auto session = alive.lock()) step(**session);
    });
  };
  worker_ = std::jthread([request = request_, report](std::stop_token stopped) {
    std::string failure;
    try {
      netbrowse::findSqlServers(
          request,
          [&](const std::string& name) {
            report([name](ComputerSearch& session) { session.nameFound(name); });
          },
          stopped);
    } catch (const std::exception& error) {
      failure = error.what();
    }
    report([failure](ComputerSearch& session) { session.ended(failure); });
  });
}

void ComputerSearch::selectionChanged() {
  updateButtons();
}

void ComputerSearch::nameFound(const std::string& name) {
  view_.addName(name);
  if (view_.nameCount() == 1) view_.selectName(0);
  updateButtons();
}

void ComputerSearch::ended(const std::string& failure) {
  searching_ = false;
  if (!failure.empty()) {
    view_.setStatus("搜索失败：" + failure);
  } else if (view_.nameCount() == 0) {
    view_.setStatus("没有找到数据库服务器。");
  } else {
    view_.setStatus("找到 " + std::to_string(view_.nameCount()) + " 个数据库服务器：");
  }
  updateButtons();
}

void ComputerSearch::updateButtons() {
  view_.setOkEnabled(!view_.chosenName().empty());
  view_.setSearchAgainEnabled(!searching_);
}

}  // namespace leafward::app
