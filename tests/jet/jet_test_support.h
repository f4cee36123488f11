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

// Reads every column of every user table of the database at `path`; returns the row count.
std::size_t readEveryTable(const std::string& path);

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

namespace leafward::jet::testing {

// A file's raw bytes, read without the reader under test.
struct RawFile {
  explicit RawFile(const std::string& path);
  std::uint16_t entry(RowLocation at) const;
  bool isPointer(RowLocation at) const;
  // The page and slot where the bytes of the row at `at` are: elsewhere for a moved row.
  std::pair<std::uint32_t, std::uint16_t> storedAt(RowLocation at) const;
  // Whether Jet 4 null-mask bit `bit` of the row at `at` (followed when moved) is set.
  bool maskBit(RowLocation at, unsigned bit) const;

  std::vector<std::uint8_t> bytes;
  std::size_t pageSize;
  std::size_t rowCountOffset;
};

}  // namespace leafward::jet::testing
