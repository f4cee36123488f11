// leafward-cli's databases, check --server and update --server through the real ODBC driver
// (FreeTDS) against the stand-in SQL Server, which holds the fixture account sets' rows.
#include <gtest/gtest.h>

#include "cli_run.h"
#include "record/csv.h"
#include "support/files.h"
#include "support/oracle.h"
#include "support/tds_stand_in.h"

namespace leafward::cli {
namespace {

using testing::CliRun;
using testing::CodeRow;
using testing::fixtureAccountSet;
using testing::TdsStandIn;

constexpr const char* kDatabase = "pelkor_001_2024";

class ServerCommandsTest : public ::testing::Test {
 protected:
  CliRun run(const std::vector<std::string>& args, const std::string& password = "right") {
    return testing::runCli(args, folder_.path(), {{"LEAFWARD_SA_PASSWORD", password}}, true);
  }
  CliRun onServer(const std::string& command, const std::string& database = kDatabase,
                  const std::string& password = "right") {
    return run({command, "--server", server_.serverName(), "--database", database}, password);
  }

  testing::TempDir folder_;
  TdsStandIn server_{"right"};
};

TEST_F(ServerCommandsTest, DatabasesListsTheAccountSetNamesInTheServersOrder) {
  for (const char* name : {"pelkor_002_2024", "pelkor_01_2024", "PELKOR-003-1999",
                           "pelkor_004_3024", "pelkor_001_2023", "pelkor_001_20245"}) {
    server_.addDatabase(name);
  }
  const CliRun listed = run({"databases", "--server", server_.serverName()});
  EXPECT_EQ(listed.exitCode, 0) << listed.err;
  EXPECT_EQ(listed.out, "pelkor_002_2024\nPELKOR-003-1999\npelkor_001_2023\n");
  EXPECT_EQ(listed.err, "");
  ASSERT_EQ(server_.logins().size(), 1u);
  EXPECT_EQ(server_.logins()[0].database, "master");
}

// Every account set the server lists, each under its heading (also when there is only one);
// the exit code is the worst.
TEST_F(ServerCommandsTest, CheckAllDatabasesChecksEveryAccountSet) {
  const std::vector<std::string> all = {"check", "--server", server_.serverName(),
                                        "--all-databases"};
  const std::string on = " on " + server_.serverName() + " ==\n";
  server_.addDatabase("pelkor_001_2024", fixtureAccountSet("consistent"));
  const CliRun one = run(all);
  EXPECT_EQ(one.exitCode, 0) << one.err;
  EXPECT_EQ(one.out, "== pelkor_001_2024" + on + testing::expectedReport("consistent.mdb"));
  server_.addDatabase("pelkor_002_2024", fixtureAccountSet("worked-example"));
  const CliRun both = run(all);
  EXPECT_EQ(both.exitCode, 1) << both.err;
  EXPECT_EQ(both.out, "== pelkor_001_2024" + on + testing::expectedReport("consistent.mdb") +
                          "== pelkor_002_2024" + on +
                          testing::expectedReport("worked-example.mdb"));
}

class ServerCheckTest : public ServerCommandsTest,
                        public ::testing::WithParamInterface<testing::FixtureExit> {};

// The same report and exit code as for the Access file with the same rows.
TEST_P(ServerCheckTest, PrintsWhatTheAccessFileGives) {
  const std::string fixture = GetParam().fixture;
  server_.addDatabase(kDatabase, fixtureAccountSet(fixture));
  const CliRun check = onServer("check");
  EXPECT_EQ(check.out, testing::expectedReport(fixture + ".mdb"));
  EXPECT_EQ(check.exitCode, GetParam().exitCode) << check.err;
}

const std::vector<testing::FixtureExit> kOnServer = {
    {"consistent", 0},       {"worked-example", 1}, {"scheme-mismatch", 1},
    {"no-scheme-tables", 1}, {"odd-codes", 1},      {"empty-code", 3}};
INSTANTIATE_TEST_SUITE_P(AccountSets, ServerCheckTest, ::testing::ValuesIn(kOnServer),
                         [](const auto& info) { return testing::testName(info.param.fixture); });

// The details of the wrong flags come from one statement after the Check's own, however many
// codes there are: this table has no name or level, so those queries are refused and the codes
// and flags read. They are what the Access file with the same rows gives.
TEST_F(ServerCommandsTest, CheckAsJsonReadsTheDetailsInOneMoreStatement) {
  server_.addDatabase(kDatabase, fixtureAccountSet("worked-example"));
  std::vector<std::string> seen;
  server_.onStatement(
      [&](const std::string& text, testing::ServerAccountSet&) { seen.push_back(text); });
  const CliRun check =
      run({"check", "--format", "json", "--server", server_.serverName(), "--database", kDatabase});
  EXPECT_EQ(check.exitCode, 1) << check.err;
  EXPECT_EQ(seen.size(), 9u);  // five of the Check, the four detail queries tried in turn
  const testing::TempDir accessFolder;
  const std::string file = accessFolder.copyFixture("account-sets/worked-example.mdb");
  const CliRun onAccess = testing::runCli({"check", "--format", "json", file}, accessFolder.path());
  const auto flags = [](const std::string& document) {
    return document.substr(document.find("\"wrong_flags\""));
  };
  EXPECT_EQ(flags(check.out), flags(onAccess.out));
  EXPECT_NE(check.out.find("\"first_sub_code\": \"10020201\""), std::string::npos) << check.out;
}

// Codes holding commas, quotes and line breaks read back field for field from the CSV.
TEST_F(ServerCommandsTest, CheckAsCsvQuotesWhatNeedsIt) {
  testing::ServerAccountSet accounts = fixtureAccountSet("consistent");
  accounts.code = {{"1,0", true}, {"1,0\"1", true}, {"2\r\n", false}};
  server_.addDatabase(kDatabase, accounts);
  const CliRun check =
      run({"check", "--format", "csv", "--server", server_.serverName(), "--database", kDatabase});
  EXPECT_EQ(check.exitCode, 1) << check.err;
  const record::CsvText read = record::readCsv(check.out);
  ASSERT_EQ(read.problem, "") << check.out;
  ASSERT_GE(read.records.size(), 3u) << check.out;
  const std::string name = std::string(kDatabase) + " on " + server_.serverName();
  EXPECT_EQ(read.records[1].fields,
            (std::vector<std::string>{name, "non_leaf_flagged_as_leaf", "1,0", "", "", "true",
                                      "false", "", "1", "1,0\"1", "", ""}));
  EXPECT_EQ(read.records[2].fields[2], "2\r\n");
  EXPECT_EQ(read.records[2].fields[8], "0");
}

TEST_F(ServerCommandsTest, UpdateRepairsTheFlagsAsOnTheAccessFile) {
  server_.addDatabase(kDatabase, fixtureAccountSet("worked-example"));
  const testing::TempDir accessFolder;
  const std::string file = accessFolder.copyFixture("account-sets/worked-example.mdb");
  const CliRun onAccess = testing::runCli({"update", file}, accessFolder.path());

  const CliRun update = onServer("update");
  EXPECT_EQ(update.exitCode, 0) << update.err;
  EXPECT_EQ(update.out, onAccess.out);
  EXPECT_EQ(update.out, "\n有 3个非末级科目标志被更新\n有 1个末级科目标志被更新\n");
  const std::vector<CodeRow> repaired = {{"1001", false},  {"100101", true},  {"1002", false},
                                         {"100201", true}, {"100202", false}, {"10020201", true}};
  EXPECT_EQ(server_.accountSet(kDatabase).code, repaired);

  const CliRun check = onServer("check");
  EXPECT_EQ(check.out, "没有发现错误\n");
  EXPECT_EQ(check.exitCode, 0);
  const CliRun again = onServer("update");
  EXPECT_EQ(again.out, "\n");
  EXPECT_EQ(again.exitCode, 0);
  EXPECT_EQ(server_.accountSet(kDatabase).code, repaired);
}

// Each command fails with exit 2 and one line that says why, never showing the password.
TEST_F(ServerCommandsTest, AWrongPasswordOrAMissingDatabaseFailsWithOneLine) {
  server_.addDatabase(kDatabase, fixtureAccountSet("worked-example"));
  const std::string wrong = "Hush;Hush}";
  for (const CliRun& failed :
       {run({"databases", "--server", server_.serverName()}, wrong),
        onServer("check", kDatabase, wrong), onServer("update", kDatabase, wrong)}) {
    EXPECT_EQ(failed.exitCode, 2);
    EXPECT_TRUE(testing::oneLine(failed.err)) << failed.err;
    EXPECT_NE(failed.err.find("Login failed for user 'sa'"), std::string::npos) << failed.err;
    EXPECT_EQ(failed.err.find("Hush"), std::string::npos) << failed.err;
    EXPECT_EQ(failed.out, "");
  }
  for (const char* command : {"check", "update"}) {
    const CliRun missing = onServer(command, "pelkor_009_2024");
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_TRUE(testing::oneLine(missing.err)) << missing.err;
    EXPECT_NE(missing.err.find("cannot open pelkor_009_2024 on " + server_.serverName() +
                               ": Cannot connect to SQL Server"),
              std::string::npos)
        << missing.err;
    EXPECT_NE(missing.err.find("Cannot open database \"pelkor_009_2024\""), std::string::npos)
        << missing.err;
    EXPECT_EQ(missing.out, "");
  }
  EXPECT_EQ(server_.accountSet(kDatabase).code, fixtureAccountSet("worked-example").code);
}

}  // namespace
}  // namespace leafward::cli
