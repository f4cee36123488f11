#pragma once

#include <map>
#include <string>
#include <vector>

// mdbtools' programs as the test oracle: what they read from a file, to hold ours against.
namespace leafward::testing {

// mdbtools is a Linux program: a test that holds Leafward against it says so and is skipped on
// Windows. Put it first in the test's body.
#ifdef _WIN32
#define LEAFWARD_NEEDS_MDBTOOLS() GTEST_SKIP() << "mdbtools, the test oracle, is a Linux program"
#else
#define LEAFWARD_NEEDS_MDBTOOLS() static_cast<void>(0)
#endif

// Runs a program (looked up on PATH) and returns its standard output. Throws when it cannot be
// started or does not exit with 0.
std::string runProgram(const std::vector<std::string>& arguments);

// mdb-export's rows of a table, header first, unquoted, booleans as 1 and 0, NULL as empty
// unless `options` say otherwise.
std::vector<std::vector<std::string>> mdbExportRows(const std::string& path,
                                                    const std::string& table,
                                                    const std::vector<std::string>& options = {});
struct ExportedTable {
  std::vector<std::string> header;
  std::vector<std::vector<std::string>> rows;
  std::size_t columnIndex(const std::string& name) const;
};
ExportedTable mdbExport(const std::string& path, const std::string& table);
// Every table of the file, by name.
std::map<std::string, ExportedTable> mdbExportEveryTable(const std::string& path);

}  // namespace leafward::testing
