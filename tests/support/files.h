#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// Test databases, temporary folders and file contents, for every test program.
namespace leafward::testing {

// A UTF-8 path as a path of the file system, and back, whatever the system's code page.
std::filesystem::path utf8Path(const std::string& utf8);
std::string utf8Text(const std::filesystem::path& path);

// A test database in tests/data, e.g. "account-sets/consistent.mdb".
std::string fixture(const std::string& relative);
// All .mdb files of one folder of tests/data, sorted.
std::vector<std::string> fixturesIn(const std::string& folder);
// A file's name as a test name: its stem, letters and digits only.
std::string testName(const std::string& path);

// A fresh folder under the system's temporary folder, removed with everything in it however
// the test ends (tests make files and folders in it read-only; their permissions are given
// back first).
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  // Paths in and out are UTF-8, as Leafward takes them, whatever the system's code page.
  std::string file(const std::string& name) const;
  // A writable copy of a test database here, under its own file name or `name`.
  std::string copyFixture(const std::string& relative, const std::string& name = "") const;

 private:
  std::filesystem::path path_;
};

// A writable copy of an account set in a folder of its own: tests never open the test data in
// place.
class FixtureCopy {
 public:
  explicit FixtureCopy(const std::string& name, const std::string& folder = "account-sets")
      : path_(dir_.copyFixture(folder + "/" + name)) {}
  std::string path() const { return path_; }
  std::filesystem::path dir() const { return dir_.path(); }

 private:
  TempDir dir_;
  std::string path_;
};

std::vector<std::uint8_t> readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
std::string readFile(const std::filesystem::path& path);
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

// Makes the file `size` bytes long without writing its new part, as a sparse file, so that a
// file of many gigabytes takes no room on the disk (std::filesystem::resize_file fills the new
// part with zeros on Windows).
void growSparse(const std::filesystem::path& path, std::uintmax_t size);

// What `leafward-cli check` prints for an account set (tests/check-reports/NAME.txt).
std::string expectedReport(const std::string& fixtureName);
// The same report as the window's box holds it: CR LF between lines, none after the last.
std::string expectedBoxReport(const std::string& fixtureName);

}  // namespace leafward::testing
