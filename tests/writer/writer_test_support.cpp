#include "writer_test_support.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace leafward::jet::testing {
namespace fs = std::filesystem;

TempFolder::TempFolder() {
  std::string pattern = (fs::temp_directory_path() / "leafward-writer-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary folder");
  path_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  // Tests make files and folders read-only; give the permissions back before removing.
  ::chmod(path_.c_str(), 0700);
  for (const auto& entry : fs::recursive_directory_iterator(path_, ignored)) {
    ::chmod(entry.path().c_str(), entry.is_directory() ? 0700 : 0600);
  }
  fs::remove_all(path_, ignored);
}

std::string TempFolder::copyFixture(const std::string& relative, const std::string& name) const {
  fs::path source = fixturePath(relative);
  fs::path target = fs::path(path_) / (name.empty() ? source.filename().string() : name);
  fs::copy_file(source, target, fs::copy_options::overwrite_existing);
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                              fs::perms::others_read);
  return target.string();
}

std::string fixturePath(const std::string& relative) {
  return std::string(LEAFWARD_FIXTURES_DIR) + "/" + relative;
}

std::vector<std::uint8_t> readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(in.tellg()));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!in) throw std::runtime_error("cannot read " + path);
  return bytes;
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

std::size_t ExportedTable::columnIndex(const std::string& name) const {
  for (std::size_t i = 0; i < header.size(); ++i) {
    if (header[i] == name) return i;
  }
  throw std::runtime_error("no column " + name);
}

namespace {

std::string runCommand(const std::string& command) {
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) throw std::runtime_error("cannot run " + command);
  std::string output;
  char buffer[65536];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  if (::pclose(pipe) != 0) throw std::runtime_error(command + " failed");
  return output;
}

std::string quoted(const std::string& text) {
  return "'" + text + "'";
}

// Comma-separated values with "quoted" fields that may hold commas, quotes ("") and newlines.
std::vector<std::vector<std::string>> parseCsv(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> row;
  std::string field;
  bool inQuotes = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (inQuotes) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        inQuotes = false;
      } else {
        field += c;
      }
    } else if (c == '"') {
      inQuotes = true;
    } else if (c == ',') {
      row.push_back(std::move(field));
      field.clear();
    } else if (c == '\n') {
      row.push_back(std::move(field));
      field.clear();
      rows.push_back(std::move(row));
      row.clear();
    } else {
      field += c;
    }
  }
  if (!field.empty() || !row.empty()) {
    row.push_back(std::move(field));
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace

ExportedTable mdbExport(const std::string& path, const std::string& table) {
  auto rows = parseCsv(runCommand("mdb-export " + quoted(path) + " " + quoted(table)));
  ExportedTable result;
  if (rows.empty()) return result;
  result.header = std::move(rows.front());
  result.rows.assign(std::make_move_iterator(rows.begin() + 1),
                     std::make_move_iterator(rows.end()));
  return result;
}

std::vector<std::string> mdbTables(const std::string& path) {
  std::vector<std::string> tables;
  std::string output = runCommand("mdb-tables -1 " + quoted(path));
  std::size_t start = 0;
  while (start < output.size()) {
    std::size_t end = output.find('\n', start);
    if (end == std::string::npos) end = output.size();
    if (end > start) tables.push_back(output.substr(start, end - start));
    start = end + 1;
  }
  return tables;
}

int runInChild(const std::function<int()>& body) {
  std::fflush(nullptr);
  pid_t child = ::fork();
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
  ::waitpid(child, &status, 0);
  return status;
}

}  // namespace leafward::jet::testing
