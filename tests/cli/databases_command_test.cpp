// `leafward-cli databases`, `check --server` and `update --server` without a SQL Server and
// without a terminal. (Against a server, through FreeTDS, they are the server commands' tests.)
#include <gtest/gtest.h>

#include "cli_run.h"
#include "dataaccess/errors.h"
#include "dataaccess/odbc/sql_server_driver.h"
#include "support/loopback.h"

namespace leafward::cli {
namespace {

using testing::CliRun;

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
