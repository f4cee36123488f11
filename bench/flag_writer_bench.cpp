// Times one in-place Yes/No statement on a copy of the 1,000,000-code account set: about one
// row in fifty gets its `bend` flag flipped, as a leaf-flag repair would. Reports the time,
// the rollback journal's size and the number of fsyncs.
//
//   flag_writer_bench [narrow-1m.mdb]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "dataaccess/jet/jet_session.h"
#include "support/flag_scan.h"
#include "support/open_database.h"

namespace fs = std::filesystem;
using namespace leafward::jet;
using leafward::testing::OpenDatabase;

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  fs::path source =
      argc > 1 ? fs::path(argv[1]) : fs::path(LEAFWARD_BENCH_DATA_DIR) / "narrow-1m.mdb";
  std::string pattern = (fs::temp_directory_path() / "leafward-bench-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) {
    std::perror("mkdtemp");
    return 1;
  }
  fs::path folder = pattern;
  fs::path copy = folder / source.filename();
  int status = 0;
  try {
    fs::copy_file(source, copy);
    fs::permissions(copy, fs::perms::owner_read | fs::perms::owner_write);
    std::string path = copy.string();

    auto start = std::chrono::steady_clock::now();
    auto rows = leafward::testing::scanFlags(path, "code", "bend");
    double scanSeconds = secondsSince(start);

    std::vector<FlagChange> changes;
    for (std::size_t i = 0; i < rows.size(); i += 50) {
      changes.push_back({rows[i].entry, rows[i].value, !rows[i].value});
    }

    const OpenDatabase open(path);
    start = std::chrono::steady_clock::now();
    FlagWriteResult result = writeFlags(open.target("code", "bend"), changes);
    double writeSeconds = secondsSince(start);

    start = std::chrono::steady_clock::now();
    openJetSession(path);
    double openSeconds = secondsSince(start);

    std::printf("file                 %s (%.1f MB)\n", source.c_str(),
                static_cast<double>(fs::file_size(copy)) / 1e6);
    std::printf("rows in table        %zu (scan %.3f s, not part of the statement)\n", rows.size(),
                scanSeconds);
    std::printf("rows changed         %zu\n", result.rowsChanged);
    std::printf("pages written        %zu\n", result.pagesWritten);
    std::printf("journal size         %.1f MB (%llu bytes)\n",
                static_cast<double>(result.durability.journalBytes) / 1e6,
                static_cast<unsigned long long>(result.durability.journalBytes));
    std::printf("fsyncs               %u\n", result.durability.fsyncs);
    std::printf("statement time       %.3f s (target: whole Update under 5 s)\n", writeSeconds);
    std::printf("session open         %.3f s (journal check, catalog, definitions)\n", openSeconds);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "flag_writer_bench: %s\n", error.what());
    status = 1;
  }
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  return status;
}
