#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "dataaccess/jet/jet_database.h"
#include "dataaccess/jet/jet_table_source.h"
#include "dataaccess/value.h"

namespace leafward::jet::testing {

inline std::string fixture(const std::string& relative) {
  return std::string(LEAFWARD_FIXTURES_DIR) + "/" + relative;
}

// All .mdb files of one fixture folder, sorted.
std::vector<std::string> fixturesIn(const std::string& folder);

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

std::vector<std::uint8_t> readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);

// Every column of every row of a table, row by row.
using Rows = std::vector<std::vector<dataaccess::Value>>;
Rows readAll(JetTableSource& source, const std::string& table);

// Reads every column of every user table of the database at `path` and returns them as
// text, one line per row.
std::string dumpEveryTable(const std::string& path);

}  // namespace leafward::jet::testing

namespace leafward::jet::testing {

// Runs a program (looked up on PATH) and returns what it wrote to standard output; its
// standard error is discarded. Throws when it cannot be started or does not exit with 0.
std::string runProgram(const std::vector<std::string>& arguments);

}  // namespace leafward::jet::testing

namespace leafward::jet::testing {

// Sends everything written to the process's standard error into a file while alive; text()
// gives what was written so far.
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
