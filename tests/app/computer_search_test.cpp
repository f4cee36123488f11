// The computer picker's search session, over SQL Server Browsers on loopback, and the shell's
// folder numbers.
#include "app/computer_search.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

#include "app/fake_views.h"
#include "support/browser_responder.h"

namespace leafward::app {
namespace {

using namespace std::chrono_literals;

// Runs what the search posts, as the window's thread would, until `done` holds.
bool runUntil(testing::FakeSearchView& view, const std::function<bool()>& done) {
  for (int i = 0; i < 500 && !done(); ++i) {
    if (!view.runPosted()) std::this_thread::sleep_for(10ms);
  }
  return done();
}

TEST(ComputerSearchTest, ListsTheServersThatAnswerAndChoosesTheFirst) {
  testing::Responder responder(
      {testing::answer("ServerName;ACCT1;InstanceName;MSSQLSERVER;IsClustered;No;;"
                       "ServerName;ACCT1;InstanceName;Y2024;IsClustered;No;;"),
       {0x05, 0xFF}});
  testing::FakeSearchView view;
  ComputerSearch search({"127.0.0.1", responder.port(), 300ms}, view);
  search.start();
  EXPECT_TRUE(search.searching());
  EXPECT_EQ(view.status, "正在搜索网络上的数据库服务器……");
  EXPECT_FALSE(view.okEnabled);
  EXPECT_FALSE(view.againEnabled);
  search.start();  // not while one runs

  ASSERT_TRUE(runUntil(view, [&] { return !search.searching(); }));
  EXPECT_EQ(view.names, (std::vector<std::string>{"ACCT1", "ACCT1\\Y2024"}));
  EXPECT_EQ(view.chosenName(), "ACCT1");
  EXPECT_EQ(view.status, "找到 2 个数据库服务器：");
  EXPECT_TRUE(view.okEnabled);
  EXPECT_TRUE(view.againEnabled);
  view.selected = -1;
  search.selectionChanged();
  EXPECT_FALSE(view.okEnabled);
}

// Only the first name to arrive is chosen for the user: a name the user chose stays chosen as
// more arrive.
TEST(ComputerSearchTest, TheUsersChoiceStaysAsMoreNamesArrive) {
  testing::Responder responder(
      {testing::answer("ServerName;ACCT1;InstanceName;MSSQLSERVER;IsClustered;No;;"
                       "ServerName;ACCT2;InstanceName;MSSQLSERVER;IsClustered;No;;"
                       "ServerName;ACCT3;InstanceName;MSSQLSERVER;IsClustered;No;;")});
  testing::FakeSearchView view;
  ComputerSearch search({"127.0.0.1", responder.port(), 300ms}, view);
  search.start();
  // The three names and the end, run one at a time as the window's thread would.
  const auto posted = [&] {
    std::lock_guard lock(view.mutex);
    return view.posted.size();
  };
  for (int i = 0; i < 500 && posted() < 4; ++i) std::this_thread::sleep_for(10ms);
  ASSERT_EQ(posted(), 4u);
  const auto runNext = [&] {
    std::function<void()> task;
    {
      std::lock_guard lock(view.mutex);
      task = std::move(view.posted.front());
      view.posted.pop_front();
    }
    task();
  };
  runNext();
  runNext();
  EXPECT_EQ(view.chosenName(), "ACCT1");
  view.selected = 1;
  search.selectionChanged();
  runNext();
  runNext();
  EXPECT_FALSE(search.searching());
  EXPECT_EQ(view.names.size(), 3u);
  EXPECT_EQ(view.chosenName(), "ACCT2");
  EXPECT_TRUE(view.okEnabled);
}

// Searching again starts from an empty list; what a stopped search still had on its way to the
// window is dropped, also once the session is gone.
TEST(ComputerSearchTest, AnEmptyNetworkSaysSoAndAStoppedSearchReportsNothing) {
  testing::Responder responder({});
  testing::FakeSearchView view;
  {
    ComputerSearch search({"127.0.0.1", responder.port(), 100ms}, view);
    search.start();
    ASSERT_TRUE(runUntil(view, [&] { return !search.searching(); }));
    EXPECT_EQ(view.status, "没有找到数据库服务器。");
    view.names = {"stale"};
    search.start();
    EXPECT_TRUE(view.names.empty());
  }
  // The session waited for its search, which posted its end on the way out.
  EXPECT_TRUE(view.runPosted());
  EXPECT_EQ(view.status, "正在搜索网络上的数据库服务器……");
}

// A request that cannot be sent (nothing listens on port 0, and no system sends there) ends the
// search at once with the reason; searching again is possible.
TEST(ComputerSearchTest, ARequestThatCannotBeSentSaysWhy) {
  testing::FakeSearchView view;
  ComputerSearch search({"127.0.0.1", 0, 100ms}, view);
  search.start();
  ASSERT_TRUE(runUntil(view, [&] { return !search.searching(); }));
  EXPECT_EQ(view.status.rfind("搜索失败：", 0), 0u) << view.status;
  EXPECT_GT(view.status.size(), std::string("搜索失败：").size());
  EXPECT_TRUE(view.names.empty());
  EXPECT_FALSE(view.okEnabled);
  EXPECT_TRUE(view.againEnabled);
}

// A search that would listen for an hour ends with its session (or the test runner's time-out
// ends the test).
TEST(ComputerSearchTest, EndingTheSessionStopsALongSearch) {
  testing::Responder responder({});
  testing::FakeSearchView view;
  ComputerSearch search({"127.0.0.1", responder.port(), 3600s}, view);
  search.start();
}

TEST(ComputerSearchTest, FolderIdsOfTheShell) {
  const std::pair<std::int16_t, std::int32_t> cases[] = {
      {-1, 0}, {0, 0}, {1, 0}, {2, 2}, {11, 11}, {12, 16}, {14, 18}, {kNetworkFolderIndex, 18}};
  for (const auto& [index, id] : cases) EXPECT_EQ(FolderIdFromIndex(index), id) << index;
}

}  // namespace
}  // namespace leafward::app
