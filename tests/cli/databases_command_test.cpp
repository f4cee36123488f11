// `leafward-cli databases` and `check --server`, run as a user would, without a SQL Server.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "odbc/loopback.h"

namespace leafward::cli {
namespace {

struct CliRun {
  int exitCode = -1;
  std::string out, err;
};

std::string slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs the CLI detached from any terminal (so that it can never wait for typing), with the
// password in the environment when one is given.
CliRun run(const std::string& arguments, const char* password) {
  const auto folder =
      std::filesystem::temp_directory_path() / ("leafward-cli-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  const auto out = folder / "out.txt";
  const auto err = folder / "err.txt";
  std::string command = password ? std::string("LEAFWARD_SA_PASSWORD='") + password + "' "
                                 : std::string("env -u LEAFWARD_SA_PASSWORD ");
  command += std::string("setsid -w '") + LEAFWARD_CLI + "' " + arguments + " </dev/null >'" +
             out.string() + "' 2>'" + err.string() + "'";
  const int status = std::system(command.c_str());
  CliRun result;
  if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  result.out = slurp(out);
  result.err = slurp(err);
  std::filesystem::remove_all(folder);
  return result;
}

std::string closedServer() {
  return "'127.0.0.1," + std::to_string(testing::closedLoopbackPort()) + "'";
}

TEST(DatabasesCommandTest, NeedsExactlyAServer) {
  for (const char* arguments :
       {"databases", "databases x", "databases --server", "databases --server S --database D"}) {
    const CliRun result = run(arguments, "pw");
    EXPECT_EQ(result.exitCode, 2) << arguments;
    EXPECT_NE(result.err.find("usage: leafward-cli databases --server NAME"), std::string::npos)
        << arguments << ": " << result.err;
    EXPECT_EQ(result.out, "");
  }
}

TEST(DatabasesCommandTest, AnUnreachableServerFailsClearlyWithoutThePassword) {
  const CliRun result = run("databases --server " + closedServer(), "Hush;Hush");
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_NE(result.err.find("Cannot connect to SQL Server '127.0.0.1,"), std::string::npos)
      << result.err;
  EXPECT_EQ(result.err.find("Hush"), std::string::npos) << result.err;
  EXPECT_EQ(result.out, "");
}

TEST(DatabasesCommandTest, WithoutPasswordOrTerminalItSaysWhatIsMissing) {
  const CliRun result = run("databases --server " + closedServer(), nullptr);
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_NE(result.err.find("LEAFWARD_SA_PASSWORD is not set"), std::string::npos) << result.err;
}

TEST(CheckOnServerTest, TakesAServerAndADatabaseInsteadOfAFile) {
  CliRun result =
      run("check --server " + closedServer() + " --database pelkor_001_2024", "Hush;Hush");
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_NE(result.err.find("cannot open pelkor_001_2024 on 127.0.0.1,"), std::string::npos)
      << result.err;
  EXPECT_EQ(result.err.find("Hush"), std::string::npos) << result.err;

  result = run("check --server S", "pw");  // a server alone names no account set
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_NE(result.err.find("check --server NAME --database NAME"), std::string::npos)
      << result.err;

  // Update takes its account set the same way.
  result = run("update --server " + closedServer() + " --database pelkor_001_2024", "Hush;Hush");
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_NE(result.err.find("cannot open pelkor_001_2024 on 127.0.0.1,"), std::string::npos)
      << result.err;
  EXPECT_EQ(result.out, "");
}

}  // namespace
}  // namespace leafward::cli
