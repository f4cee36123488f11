#include "netbrowse/sql_browser.h"

#include "support/browser_responder.h"

#include <gtest/gtest.h>

#include <random>
#include <thread>

namespace leafward::netbrowse {
namespace {

using testing::answer;
using testing::Bytes;
using testing::Responder;
using namespace std::chrono_literals;

constexpr auto parse = parseBrowserAnswer;

constexpr std::string_view kTwoInstances =
    "ServerName;ACCT1;InstanceName;MSSQLSERVER;IsClustered;No;Version;8.00.194;tcp;1433;np;"
    "\\\\ACCT1\\pipe\\sql\\query;;"
    "ServerName;ACCT1;InstanceName;YEAR2024;IsClustered;No;Version;15.0.2000.5;tcp;49172;;";

TEST(BrowserAnswerTest, NamesDefaultAndNamedInstances) {
  EXPECT_EQ(parse(answer(kTwoInstances)), (std::vector<std::string>{"ACCT1", "ACCT1\\YEAR2024"}));
  EXPECT_EQ(parse(answer("ServerName;B;InstanceName;SQLEXPRESS;IsClustered;No;tcp;1433")),
            std::vector<std::string>{"B\\SQLEXPRESS"});
  // Repeats within one answer come once, whatever their case.
  EXPECT_EQ(parse(answer("ServerName;A;InstanceName;mssqlserver;;ServerName;a;;")),
            std::vector<std::string>{"A"});
}

TEST(BrowserAnswerTest, MalformedAnswersGiveNoNames) {
  // Each a good answer spoilt one way: wrong type, length one too many, one too few, huge.
  std::vector<Bytes> cases(4, answer(kTwoInstances));
  cases[0][0] = 0x04;
  cases[1][1] += 1;
  cases[2][1] -= 1;
  cases[3][1] = cases[3][2] = 0xFF;
  for (Bytes bytes : {Bytes{}, Bytes{0x05}, Bytes{0x05, 0x00}, Bytes{0x05, 0x00, 0x00},
                      answer("ServerName;\xE5\x8F\xA3;InstanceName;MSSQLSERVER;;"),
                      answer("ServerName;A\nB;InstanceName;MSSQLSERVER;;")}) {
    cases.push_back(bytes);
  }
  for (const Bytes& bytes : cases) EXPECT_TRUE(parse(bytes).empty()) << bytes.size();

  // Records without a usable server name are dropped, the rest kept.
  EXPECT_EQ(parse(answer("InstanceName;X;;ServerName;GOOD;;ServerName;A\\B;;"
                         "ServerName;C;InstanceName;D\\E;;ServerName;odd;Version;;")),
            std::vector<std::string>{"GOOD"});
}

TEST(BrowserAnswerTest, RandomBytesNeverCrash) {
  std::mt19937 random(1434);
  for (int round = 0; round < 20000; ++round) {
    Bytes bytes(random() % 64);
    for (auto& b : bytes)
      b = static_cast<std::uint8_t>(random() % 4 == 0 ? ';' : 0x20 + random() % 0x5F);
    if (round % 2 == 0 && bytes.size() >= 3) {
      bytes[0] = 0x05;
      bytes[1] = static_cast<std::uint8_t>(bytes.size() - 3);
      bytes[2] = 0;
    }
    for (const std::string& name : parse(bytes)) EXPECT_FALSE(name.empty());
  }
}

TEST(FindSqlServersTest, CollectsTheAnswersOfBrowsersOnLoopback) {
  Bytes bad = answer(kTwoInstances);
  bad[2] = 0x7F;
  Responder responder({bad,
                       answer(kTwoInstances),
                       Bytes(60000, ';'),
                       {0x05},
                       answer("ServerName;ACCT2;InstanceName;MSSQLSERVER;;"),
                       answer("ServerName;acct1;InstanceName;MSSQLSERVER;;")});
  std::vector<std::string> heard;
  const auto names = findSqlServers({"127.0.0.1", responder.port(), 700ms},
                                    [&](const std::string& name) { heard.push_back(name); });
  EXPECT_EQ(responder.request(), Bytes{kBrowseRequest});
  EXPECT_EQ(names, (std::vector<std::string>{"ACCT1", "ACCT1\\YEAR2024", "ACCT2"}));
  EXPECT_EQ(heard, names);
}

TEST(FindSqlServersTest, NoAnswerIsAnEmptyListAndAStopEndsTheWaitEarly) {
  Responder responder({});
  std::stop_source stop;
  std::thread stopper([&] {
    std::this_thread::sleep_for(100ms);
    stop.request_stop();
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(findSqlServers({"127.0.0.1", responder.port(), 30s}, {}, stop.get_token()).empty());
  stopper.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 20s);
}

}  // namespace
}  // namespace leafward::netbrowse
