// `leafward-cli databases`, `check --server` and `update --server`, run as a user would,
// without a SQL Server and without a terminal.
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
  // `password` is the environment's LEAFWARD_SA_PASSWORD, unset when null.
  CliRun run(std::vector<std::string> args, const char* password) {
    const std::string environment = password
                                        ? std::string("LEAFWARD_SA_PASSWORD='") + password + "'"
                                        : "-u LEAFWARD_SA_PASSWORD";
    return testing::runCli(args, folder_.path(), environment, true);
  }

  const std::string server_ = "127.0.0.1," + std::to_string(testing::closedLoopbackPort());
  const testing::TempDir folder_;
};

TEST_F(ServerCommandTest, UsageErrorsExitTwo) {
  // Which option lists are refused is ServerTargetTest's; here, that a refusal is a usage error.
  const CliRun noServer = run({"databases", "x"}, "pw");
  EXPECT_EQ(noServer.exitCode, 2);
  EXPECT_NE(noServer.err.find("usage: leafward-cli databases --server NAME"), std::string::npos)
      << noServer.err;
  EXPECT_EQ(noServer.out, "");
  const CliRun serverAlone = run({"check", "--server", "S"}, "pw");  // names no account set
  EXPECT_EQ(serverAlone.exitCode, 2);
  EXPECT_NE(serverAlone.err.find("check --server NAME --database NAME"), std::string::npos)
      << serverAlone.err;
  for (const auto& args : {std::vector<std::string>{"check", "--all-databases", "x.mdb"},
                           {"update", "--server", "S", "--database", "D", "--all-databases"},
                           {"check", "--server", "S", "--all-databases", "x.mdb"}}) {
    const CliRun mixed = run(args, "pw");
    EXPECT_EQ(mixed.exitCode, 2);
    EXPECT_NE(mixed.err.find(args[0] + " --server NAME --all-databases"), std::string::npos)
        << mixed.err;
  }
}

// An unreachable server fails each command clearly, never showing the password; an empty
// password in the environment is still a password, so nothing asks for one.
TEST_F(ServerCommandTest, AnUnreachableServerFailsClearlyWithoutThePassword) {
#ifdef _WIN32
  try {
    odbc::findSqlServerDriver();
  } catch (const dataaccess::DataAccessError&) {
    GTEST_SKIP() << "no ODBC driver for SQL Server is registered here (Wine has none; every "
                    "Windows has \"SQL Server\")";
  }
#endif
  const std::string database = "pelkor_001_2024";
  for (const char* password : {"Hush;Hush", ""}) {
    CliRun result = run({"databases", "--server", server_}, password);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("Cannot connect to SQL Server '" + server_), std::string::npos)
        << result.err;
    for (const char* command : {"check", "update"}) {
      result = run({command, "--server", server_, "--database", database}, password);
      EXPECT_EQ(result.exitCode, 2);
      EXPECT_NE(result.err.find("cannot open " + database + " on " + server_), std::string::npos)
          << result.err;
      EXPECT_EQ(result.err.find("Hush"), std::string::npos) << result.err;
      EXPECT_EQ(result.out, "");
      // Nothing is checked when the account sets cannot be listed.
      result = run({command, "--server", server_, "--all-databases"}, password);
      EXPECT_EQ(result.exitCode, 2);
      EXPECT_NE(result.err.find("cannot list the account sets on " + server_), std::string::npos)
          << result.err;
      EXPECT_EQ(result.err.find("Hush"), std::string::npos) << result.err;
      EXPECT_EQ(result.out, "");
    }
  }
}

TEST_F(ServerCommandTest, WithoutPasswordOrTerminalItSaysWhatIsMissing) {
  const CliRun result = run({"databases", "--server", server_}, nullptr);
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_NE(result.err.find("LEAFWARD_SA_PASSWORD is not set"), std::string::npos) << result.err;
}

}  // namespace
}  // namespace leafward::cli
