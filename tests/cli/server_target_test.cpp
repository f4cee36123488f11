#include "cli/server_target.h"

#include <gtest/gtest.h>

#include <future>
#include <stdexcept>

#include "platform/console.h"

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>
#endif

namespace leafward::cli {
namespace {

std::vector<std::string> words(std::initializer_list<const char*> list) {
  return {list.begin(), list.end()};
}

TEST(ServerTargetTest, TakesTheServerOptionsAndLeavesTheRest) {
  auto args = words({"--database", "pelkor_001_2024", "x", "--server=ACCT1\\Y2024", "y"});
  const auto target = takeServerTarget(args);
  ASSERT_TRUE(target);
  EXPECT_EQ(target->server, "ACCT1\\Y2024");
  EXPECT_EQ(target->database, "pelkor_001_2024");
  EXPECT_EQ(args, words({"x", "y"}));

  args = words({"file.mdb"});
  EXPECT_FALSE(takeServerTarget(args));
  EXPECT_EQ(args, words({"file.mdb"}));

  args = words({"--server", ""});
  EXPECT_EQ(takeServerTarget(args)->server, "");  // an empty name means this computer

  for (auto bad :
       {words({"--server"}), words({"--database", "d"}), words({"--server", "a", "--server", "b"}),
        words({"--server", "a", "--database"})}) {
    EXPECT_THROW(takeServerTarget(bad), std::invalid_argument);
  }
}

#ifndef _WIN32  // a pseudo-terminal stands for the user's terminal
// Reads what the terminal shows until `expected` appeared (or a few seconds passed).
std::string readUntil(int master, const std::string& expected) {
  std::string shown;
  while (shown.find(expected) == std::string::npos) {
    pollfd entry{master, POLLIN, 0};
    if (poll(&entry, 1, 5000) <= 0) break;
    char buffer[256];
    const ssize_t got = read(master, buffer, sizeof buffer);
    if (got <= 0) break;
    shown.append(buffer, static_cast<std::size_t>(got));
  }
  return shown;
}

TEST(ServerTargetTest, TheTerminalPromptDoesNotEchoThePassword) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const std::string terminal = ptsname(master);

  auto answer = std::async(std::launch::async, [&] {
    return platform::askWithoutEcho("Password of sa on S: ", terminal);
  });
  // The prompt comes once echo is off; only then is the password typed.
  EXPECT_NE(readUntil(master, "Password of sa on S: ").find("Password of sa on S: "),
            std::string::npos);
  const std::string typed = "s3cr;et 口令\r\n";
  ASSERT_EQ(write(master, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
  EXPECT_EQ(answer.get(), "s3cr;et 口令");
  const std::string shown = readUntil(master, "\n");
  EXPECT_EQ(shown.find("s3cr"), std::string::npos) << shown;
  close(master);
}
#endif

}  // namespace
}  // namespace leafward::cli
