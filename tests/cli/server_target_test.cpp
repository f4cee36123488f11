// The account sets on a server that a command names, its password, and `leafward-cli
// databases`, `check --server` and `update --server` without a SQL Server and without a
// terminal. (Against a server, through FreeTDS, they are the server commands' tests.)
#include "cli/server_target.h"

#include <gtest/gtest.h>

#include <future>
#include <stdexcept>

#include "cli_run.h"
#include "dataaccess/errors.h"
#include "dataaccess/odbc/sql_server_driver.h"
#include "platform/console.h"
#include "support/loopback.h"

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>
#endif

namespace leafward::cli {
namespace {

using testing::CliRun;

// What the target taken from `args` is ("SERVER/DATABASE", "-" for none) and what is left.
std::string taken(std::vector<std::string> args) {
  try {
    const auto target = takeServerTarget(args);
    std::string text = target ? target->server + "/" + target->database.value_or("-") : "-";
    for (const std::string& word : args) text += " " + word;
    return text;
  } catch (const std::invalid_argument&) {
    return "refused";
  }
}

// An empty server name means this computer.
TEST(ServerTargetTest, TakesTheServerOptionsAndLeavesTheRest) {
  EXPECT_EQ(taken({"--database", "pelkor_001_2024", "x", "--server=ACCT1\\Y2024", "y"}),
            "ACCT1\\Y2024/pelkor_001_2024 x y");
  EXPECT_EQ(taken({"file.mdb"}), "- file.mdb");
  EXPECT_EQ(taken({"--server", ""}), "/-");
  for (const auto& bad : {std::vector<std::string>{"--server"},
                          {"--database", "d"},
                          {"--server", "a", "--server", "b"},
                          {"--server", "a", "--database"}}) {
    EXPECT_EQ(taken(bad), "refused");
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

class ServerCommandTest : public ::testing::Test {
 protected:
  // With the environment's LEAFWARD_SA_PASSWORD set to `password`, or unset.
  CliRun run(std::vector<std::string> args, std::optional<std::string> password = "pw") {
    return testing::runCli(args, folder_.path(), {{"LEAFWARD_SA_PASSWORD", password}}, true);
  }

  const std::string server_ = "127.0.0.1," + std::to_string(testing::closedLoopbackPort());
  const testing::TempDir folder_;
};

// Which option lists are refused is the server target's test; here, that a refusal is a usage
// error naming the usage that was meant.
TEST_F(ServerCommandTest, UsageErrorsExitTwo) {
  for (const auto& [args, usage] :
       {std::pair{std::vector<std::string>{"databases", "x"}, "databases --server NAME"},
        {{"check", "--server", "S"}, "check --server NAME --database NAME"},
        {{"check", "--all-databases", "x.mdb"}, "check --server NAME --all-databases"},
        {{"update", "--server", "S", "--database", "D", "--all-databases"},
         "update --server NAME --all-databases"}}) {
    const CliRun refused = run(args);
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.err.find(usage), std::string::npos) << refused.err;
    EXPECT_EQ(refused.out, "");
  }
}

// An unreachable server fails each command clearly; an empty password in the environment is
// still a password, so nothing asks for one. (That no message shows the password is the server
// commands' test, with a server that refuses it.)
TEST_F(ServerCommandTest, AnUnreachableServerFailsClearly) {
#ifdef _WIN32
  try {
    odbc::findSqlServerDriver();
  } catch (const dataaccess::DataAccessError&) {
    GTEST_SKIP() << "no ODBC driver for SQL Server is registered here (Wine has none; every "
                    "Windows has \"SQL Server\")";
  }
#endif
  const std::string database = "pelkor_001_2024";
  for (const auto& [args, reason] :
       {std::pair{std::vector<std::string>{"databases", "--server", server_},
                  "Cannot connect to SQL Server '" + server_},
        {{"check", "--server", server_, "--database", database},
         "cannot open " + database + " on " + server_},
        {{"update", "--server", server_, "--all-databases"},
         "cannot list the account sets on " + server_}}) {
    const CliRun failed = run(args, "");
    EXPECT_EQ(failed.exitCode, 2);
    EXPECT_NE(failed.err.find(reason), std::string::npos) << failed.err;
    EXPECT_EQ(failed.out, "");
  }
}

TEST_F(ServerCommandTest, WithoutPasswordOrTerminalItSaysWhatIsMissing) {
  const CliRun result = run({"databases", "--server", server_}, std::nullopt);
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_NE(result.err.find("LEAFWARD_SA_PASSWORD is not set"), std::string::npos) << result.err;
}

}  // namespace
}  // namespace leafward::cli
