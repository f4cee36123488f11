// A Check on an Access file reads one state of it: an Update by another connection (with its own
// open file and lock, as another program has) that comes between two of its statements shows in
// none of them, and gets in once the Check has ended. The state is a read lock that every way
// out of the Check lets go; an update through the connection that holds it is refused at once,
// where it would wait for its own lock.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "audit/check.h"
#include "dataaccess/connection.h"
#include "platform/file.h"
#include "support/files.h"
#include "support/statement_texts.h"

namespace leafward::audit {
namespace {

using namespace std::chrono_literals;
using dataaccess::Connection;
using dataaccess::DataAccessError;

constexpr const char* kJet = "Microsoft.Jet.OLEDB.4.0";

std::string accessConnection(const std::string& file) {
  return std::string("PROVIDER=") + kJet + ";Data Source='" + file + "';";
}

// An Access file's session whose statement number `at` (from 0) is preceded by `before`.
class Interposed : public dataaccess::Session {
 public:
  Interposed(const std::string& file, std::size_t at, std::function<void()> before)
      : inner_(dataaccess::openSession(dataaccess::ConnectionString::parse(accessConnection(file)),
                                       "", "")),
        at_(at),
        before_(std::move(before)) {}

  dataaccess::StatementResult execute(std::string_view text) override {
    if (statements_++ == at_) before_();
    return inner_->execute(text);
  }
  std::string currentCatalog() const override { return inner_->currentCatalog(); }
  std::vector<std::string> takeNotices() override { return inner_->takeNotices(); }
  std::unique_ptr<dataaccess::ReadState> holdReadState() override {
    return inner_->holdReadState();
  }

 private:
  std::unique_ptr<dataaccess::Session> inner_;
  std::size_t at_;
  std::function<void()> before_;
  std::size_t statements_ = 0;
};

// Whether a reader or a writer holds the file's lock (or a writer has claimed it), as another
// program would find: a writer's lock taken and let go again at once.
bool locked(const std::string& path) {
  platform::File probe = platform::File::open(path, platform::FileAccess::ReadWrite);
  return !probe.tryLock(platform::LockKind::Exclusive);
}

// Whether a writer holds the file or waits for its readers: no new reader is let in.
bool writerInOrWaiting(const std::string& path) {
  platform::File probe = platform::File::open(path, platform::FileAccess::Read);
  return !probe.tryLock(platform::LockKind::Shared);
}

struct CheckOf {
  connection::SharedConnection shared;
  TextWorkbench bench;

  explicit CheckOf(std::unique_ptr<dataaccess::Session> session) {
    shared.startUp();
    shared.blnServer = false;
    shared.cnData.adopt(std::move(session), kJet);
  }
  CheckOutcome run() {
    bench.text.clear();
    return runCheck(shared, bench);
  }
};

TEST(CheckReadStateTest, AnUpdateBetweenItsStatementsShowsInNoneOfThem) {
  testing::FixtureCopy file("worked-example.mdb");
  const std::string path = file.path();
  std::atomic<bool> updated = false;
  std::string updateFailure;
  std::thread update;
  // The repair of another program, started between the Check's two lists; the Check goes on
  // once it has run or waits for the Check's lock.
  const auto startUpdate = [&] {
    update = std::thread([&] {
      try {
        Connection other;
        other.open(accessConnection(path));
        other.execute(testing::kClearNonLeaf);
        other.execute(testing::kSetLeafAccess);
      } catch (const std::exception& error) {
        updateFailure = error.what();
      }
      updated = true;
    });
    const auto giveUp = std::chrono::steady_clock::now() + 30s;
    while (!updated && !writerInOrWaiting(path) && std::chrono::steady_clock::now() < giveUp) {
      std::this_thread::sleep_for(1ms);
    }
  };
  CheckOf check(std::make_unique<Interposed>(path, 1, startUpdate));
  const CheckOutcome during = check.run();
  update.join();
  EXPECT_EQ(during.end, CheckEnd::Finished);
  EXPECT_EQ(check.bench.text, testing::expectedBoxReport("worked-example.mdb"));
  // The Update waited for the Check alone, and the next Check sees all of it.
  EXPECT_EQ(updateFailure, "");
  check.run();
  EXPECT_EQ(check.bench.text, "没有发现错误");
}

// Holding a state twice holds nothing more; closing the connection lets the state go.
TEST(CheckReadStateTest, TheStateHoldsTheLockAndAnUpdateThroughItIsRefused) {
  testing::FixtureCopy file("worked-example.mdb");
  const std::string path = file.path();
  const auto original = testing::readBytes(path);
  Connection connection;
  connection.open(accessConnection(path));
  std::unique_ptr<dataaccess::ReadState> held = connection.holdReadState();
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(connection.holdReadState(), nullptr);
  EXPECT_TRUE(locked(path));
  EXPECT_EQ(connection.execute("SELECT ccode FROM code")->recordCount(), 6);

  auto plan = connection.planUpdate(testing::kClearNonLeaf, "ccode");
  const std::function<void()> updates[] = {
      [&] { connection.execute(testing::kClearNonLeaf); }, [&] { plan->carryOut(); },
      [&] {
        connection.setFlagsByKey({"code", "ccode", "bend", {{"1001", true, false, 1}}});
      }};
  for (const auto& refused : updates) {
    try {
      refused();
      ADD_FAILURE() << "the update ran";
    } catch (const DataAccessError& error) {
      EXPECT_THAT(error.what(), ::testing::HasSubstr("check")) << error.what();
    }
  }
  EXPECT_EQ(testing::readBytes(path), original);
  held.reset();
  EXPECT_FALSE(locked(path));
  EXPECT_EQ(plan->carryOut().recordsAffected, 3);

  held = connection.holdReadState();
  EXPECT_TRUE(locked(path));
  connection.close();
  EXPECT_FALSE(locked(path));
  held.reset();

  // A Check that ends early, a statement failing, lets the state go as one that finishes does.
  CheckOf failing(std::make_unique<Interposed>(path, 1, [] { throw DataAccessError("gone"); }));
  const CheckOutcome early = failing.run();
  EXPECT_EQ(early.end, CheckEnd::EndedEarly);
  EXPECT_EQ(early.failure, "gone");
  EXPECT_FALSE(locked(path));
}

}  // namespace
}  // namespace leafward::audit
