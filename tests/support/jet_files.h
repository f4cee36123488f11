#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// File, process and mdb-export helpers shared by the reader, writer and command-line tests.
namespace leafward::jet::testing {

inline std::string fixture(const std::string& relative) {
  return std::string(LEAFWARD_FIXTURES_DIR) + "/" + relative;
}
// All .mdb files of one fixture folder, sorted.
std::vector<std::string> fixturesIn(const std::string& folder);
// A fixture's file name as a test name: its stem, letters and digits only.
std::string testName(const std::string& path);

// A fresh folder under the system's temporary folder, removed with everything in it (tests
// make files and folders in it read-only; the permissions are given back first).
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }
  // A writable copy of a fixture here, by its file name.
  std::string copyFixture(const std::string& relative) const;

 private:
  std::filesystem::path path_;
};

std::vector<std::uint8_t> readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
bool fileExists(const std::string& path);

// Every byte where two files of the same size differ, with the bits that differ.
struct ByteDifference {
  std::uint64_t offset = 0;
  std::uint8_t bits = 0;
  bool operator==(const ByteDifference&) const = default;
  auto operator<=>(const ByteDifference&) const = default;
};
std::vector<ByteDifference> differences(const std::vector<std::uint8_t>& a,
                                        const std::vector<std::uint8_t>& b);

// Runs a program (looked up on PATH) and returns its standard output; its standard error is
// discarded. Throws when it cannot be started or does not exit with 0.
std::string runProgram(const std::vector<std::string>& arguments);
// Runs `body` in a forked child and returns its exit status as waitpid() reports it.
int runInChild(const std::function<int()>& body);

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
std::vector<std::string> mdbTables(const std::string& path);

// Sends the process's standard error into a file while alive; text() gives what came so far.
class StderrCapture {
 public:
  StderrCapture();
  ~StderrCapture();
  StderrCapture(const StderrCapture&) = delete;
  StderrCapture& operator=(const StderrCapture&) = delete;
  std::string text() const;

 private:
  TempDir dir_;
  int saved_ = -1;
};

}  // namespace leafward::jet::testing
