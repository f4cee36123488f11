#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <unistd.h>

#include "support/fixture_names.h"

namespace leafward::testing {

// A private, writable copy of a fixture account set: the shared files are never opened in
// place.
class FixtureCopy {
 public:
  explicit FixtureCopy(const std::string& name, const std::string& folder = "account-sets") {
    namespace fs = std::filesystem;
    dir_ = fs::temp_directory_path() /
           ("leafward-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter()++));
    fs::create_directories(dir_);
    path_ = dir_ / name;
    fs::copy_file(fs::path(LEAFWARD_FIXTURES_DIR) / folder / name, path_);
    // The shared files are read-only; the copy is ours to change.
    fs::permissions(path_, fs::perms::owner_write, fs::perm_options::add);
  }
  ~FixtureCopy() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  FixtureCopy(const FixtureCopy&) = delete;
  FixtureCopy& operator=(const FixtureCopy&) = delete;

  std::string path() const { return path_.string(); }
  std::filesystem::path dir() const { return dir_; }

 private:
  static int& counter() {
    static int next = 0;
    return next;
  }
  std::filesystem::path dir_, path_;
};

inline std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// What `leafward-cli check` prints for a fixture (tests/check-reports/NAME.txt).
inline std::string expectedReport(const std::string& fixture) {
  const std::string stem = fixture.substr(0, fixture.rfind('.'));
  return readFile(std::filesystem::path(LEAFWARD_CHECK_REPORTS_DIR) / (stem + ".txt"));
}

}  // namespace leafward::testing
