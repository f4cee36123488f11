// Times reading the `code` table of the big benchmark databases with the embedded .mdb
// reader, and the two list queries of Check through a Connection. Each measurement runs in a
// child process of its own so that its peak memory is its own.
//
//   jet_read_bench [FOLDER]   FOLDER holds narrow-1m.mdb and realistic-200k.mdb
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "dataaccess/connection.h"
#include "dataaccess/connection_string.h"
#include "dataaccess/recordset.h"
#include "support/open_database.h"

namespace {

using leafward::dataaccess::DataAccessError;
using Clock = std::chrono::steady_clock;

const char* const kParentsFlaggedLeaf =
    "SELECT  ccode FROM [code] where exists (SELECT  * FROM [code] p where p.ccode like "
    "code.ccode+'_%') and [bend]";
const char* const kLeavesFlaggedNonLeaf =
    "SELECT  ccode FROM [code] where not exists(SELECT  * FROM [code] p where p.ccode like "
    "code.ccode+'_%') and not [bend]";

long peakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

// Processor time of this process: unlike the wall clock, not stretched by other programs.
double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Runs `work` in a child process; it prints its own line.
void measure(const std::function<void()>& work) {
  std::fflush(stdout);
  const pid_t child = fork();
  if (child == 0) {
    try {
      work();
    } catch (const std::exception& error) {
      std::printf("  FAILED: %s\n", error.what());
    }
    std::fflush(stdout);
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  if (!WIFEXITED(status)) std::printf("  FAILED: the measurement crashed\n");
}

void readCodeTable(const std::string& path) {
  const auto start = Clock::now();
  leafward::testing::OpenDatabase open(path);
  const double opened = secondsSince(start);
  leafward::jet::JetTableSource source(open.database);
  const auto info = source.describe("code");
  if (!info) throw DataAccessError("no table code");
  std::vector<std::size_t> columns;
  for (std::size_t i = 0; i < info->columns.size(); ++i) {
    if (info->columns[i].name == "ccode" || info->columns[i].name == "bend") columns.push_back(i);
  }
  const auto data = source.read(*info, columns);
  const double total = secondsSince(start);
  std::printf(
      "  read code(ccode, bend): %zu rows in %.3f s (open %.3f s), cpu %.3f s, peak %ld MB\n",
      data.rowCount, total, opened, cpuSeconds(), peakMegabytes());
}

void runQuery(const std::string& path, const char* label, const char* sql) {
  using namespace leafward::dataaccess;
  const auto start = Clock::now();
  Connection connection;
  connection.setCursorLocation(kAdUseClient);
  connection.open(
      "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + ConnectionString::quoteValue(path) + ";");
  auto recordset = connection.execute(sql);
  const long rows = recordset->recordCount();
  std::printf("  %s: %ld rows in %.3f s (open, read and query), cpu %.3f s, peak %ld MB\n", label,
              rows, secondsSince(start), cpuSeconds(), peakMegabytes());
}

}  // namespace

int main(int argc, char** argv) {
  const std::string folder = argc > 1 ? argv[1] : LEAFWARD_BENCH_DATA_DIR;
  for (const char* name : {"narrow-1m.mdb", "realistic-200k.mdb"}) {
    const std::string path = folder + "/" + name;
    std::printf("%s\n", name);
    measure([&] { readCodeTable(path); });
    measure([&] {
      runQuery(path, "codes with sub-accounts flagged as leaf (exists ... and [bend])",
               kParentsFlaggedLeaf);
    });
    measure([&] {
      runQuery(path,
               "codes without sub-accounts flagged as non-leaf (not exists ... and not [bend])",
               kLeavesFlaggedNonLeaf);
    });
  }
  return 0;
}
