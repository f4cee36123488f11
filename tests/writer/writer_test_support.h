#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace leafward::jet::testing {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  // Copies a fixture (a path under the fixtures folder) here, writable, and returns its path.
  std::string copyFixture(const std::string& relative, const std::string& name = "") const;

 private:
  std::string path_;
};

std::string fixturePath(const std::string& relative);
std::vector<std::uint8_t> readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
bool fileExists(const std::string& path);

// Every byte where two files differ, with the bits that differ.
struct ByteDifference {
  std::uint64_t offset = 0;
  std::uint8_t bits = 0;
  bool operator==(const ByteDifference&) const = default;
  bool operator<(const ByteDifference& other) const { return offset < other.offset; }
};
std::vector<ByteDifference> differences(const std::vector<std::uint8_t>& a,
                                        const std::vector<std::uint8_t>& b);

// A table as mdb-export prints it (booleans as 1 and 0).
struct ExportedTable {
  std::vector<std::string> header;
  std::vector<std::vector<std::string>> rows;
  std::size_t columnIndex(const std::string& name) const;
};
ExportedTable mdbExport(const std::string& path, const std::string& table);
std::vector<std::string> mdbTables(const std::string& path);

// Runs `body` in a forked child and returns its exit status as waitpid() reports it.
int runInChild(const std::function<int()>& body);

}  // namespace leafward::jet::testing
