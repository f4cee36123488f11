#include "support/jet_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace leafward::jet::testing {
namespace fs = std::filesystem;

std::vector<std::string> fixturesIn(const std::string& folder) {
  std::vector<std::string> files;
  for (const auto& entry : fs::directory_iterator(fixture(folder))) {
    if (entry.path().extension() == ".mdb") files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string testName(const std::string& path) {
  std::string name = fs::path(path).stem().string();
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "leafward-test-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  ::chmod(path_.c_str(), 0700);
  for (const auto& entry : fs::recursive_directory_iterator(path_, ignored)) {
    ::chmod(entry.path().c_str(), entry.is_directory() ? 0700 : 0600);
  }
  fs::remove_all(path_, ignored);
}

std::string TempDir::copyFixture(const std::string& relative) const {
  const fs::path target = path_ / fs::path(relative).filename();
  fs::copy_file(fixture(relative), target, fs::copy_options::overwrite_existing);
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                              fs::perms::others_read);
  return target.string();
}

std::vector<std::uint8_t> readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

bool fileExists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

std::vector<ByteDifference> differences(const std::vector<std::uint8_t>& a,
                                        const std::vector<std::uint8_t>& b) {
  if (a.size() != b.size()) throw std::runtime_error("files of different sizes");
  std::vector<ByteDifference> result;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i]) result.push_back({i, static_cast<std::uint8_t>(a[i] ^ b[i])});
  }
  return result;
}

std::string runProgram(const std::vector<std::string>& arguments) {
  const TempDir dir;
  std::string command = "exec";
  for (std::string argument : arguments) {
    for (std::size_t at = 0; (at = argument.find('\'', at)) != std::string::npos; at += 4) {
      argument.replace(at, 1, "'\\''");
    }
    command += " '" + argument + "'";
  }
  command += " >'" + dir.file("out") + "' 2>/dev/null";
  if (std::system(command.c_str()) != 0) throw std::runtime_error(arguments[0] + " failed");
  const auto bytes = readBytes(dir.file("out"));
  return std::string(bytes.begin(), bytes.end());
}

int runInChild(const std::function<int()>& body) {
  std::fflush(nullptr);
  const pid_t child = ::fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    int code = 99;
    try {
      code = body();
    } catch (...) {
      code = 98;
    }
    ::_exit(code);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

std::vector<std::vector<std::string>> mdbExportRows(const std::string& path,
                                                    const std::string& table,
                                                    const std::vector<std::string>& options) {
  // Stored text may hold any control character, so the separators are longer.
  const std::string fieldEnd = "|~F~|", rowEnd = "|~R~|\n";
  std::vector<std::string> arguments{"mdb-export", "-Q",
                                     "-d",         fieldEnd,
                                     "-R",         rowEnd,
                                     "-b",         "strip",
                                     "-D",         "%Y-%m-%d %H:%M:%S",
                                     "-T",         "%Y-%m-%d %H:%M:%S"};
  arguments.insert(arguments.end(), options.begin(), options.end());
  arguments.insert(arguments.end(), {path, table});
  const std::string text = runProgram(arguments);
  std::vector<std::vector<std::string>> rows;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find(rowEnd, start);
    if (end == std::string::npos) end = text.size();
    std::vector<std::string> fields;
    for (std::size_t from = start;;) {
      const std::size_t to = std::min(text.find(fieldEnd, from), end);
      fields.push_back(text.substr(from, to - from));
      if (to == end) break;
      from = to + fieldEnd.size();
    }
    rows.push_back(std::move(fields));
    start = end + rowEnd.size();
  }
  return rows;
}

ExportedTable mdbExport(const std::string& path, const std::string& table) {
  auto rows = mdbExportRows(path, table);
  ExportedTable result;
  if (rows.empty()) return result;
  result.header = std::move(rows.front());
  result.rows.assign(std::make_move_iterator(rows.begin() + 1),
                     std::make_move_iterator(rows.end()));
  return result;
}

std::size_t ExportedTable::columnIndex(const std::string& name) const {
  const auto found = std::find(header.begin(), header.end(), name);
  if (found == header.end()) throw std::runtime_error("no column " + name);
  return static_cast<std::size_t>(found - header.begin());
}

std::vector<std::string> mdbTables(const std::string& path) {
  std::vector<std::string> tables;
  const std::string output = runProgram({"mdb-tables", "-1", path});
  for (std::size_t start = 0; start < output.size();) {
    std::size_t end = output.find('\n', start);
    if (end == std::string::npos) end = output.size();
    if (end > start) tables.push_back(output.substr(start, end - start));
    start = end + 1;
  }
  return tables;
}

StderrCapture::StderrCapture() {
  std::fflush(stderr);
  saved_ = ::dup(2);
  const int file = ::open(dir_.file("stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ::dup2(file, 2);
  ::close(file);
}

StderrCapture::~StderrCapture() {
  std::fflush(stderr);
  ::dup2(saved_, 2);
  ::close(saved_);
}

std::string StderrCapture::text() const {
  std::fflush(stderr);
  const auto bytes = readBytes(dir_.file("stderr"));
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace leafward::jet::testing
