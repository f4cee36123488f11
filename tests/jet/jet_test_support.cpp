#include "jet_test_support.h"

#include "dataaccess/jet/jet_format.h"

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <numeric>
#include <stdexcept>

namespace leafward::jet::testing {

std::vector<std::string> fixturesIn(const std::string& folder) {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(fixture(folder))) {
    if (entry.path().extension() == ".mdb") files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "leafward-jet-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path_, ignored);
}

std::vector<std::uint8_t> readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

Rows readAll(JetTableSource& source, const std::string& table) {
  const auto info = source.describe(table);
  if (!info) throw std::runtime_error("no table " + table);
  std::vector<std::size_t> columns(info->columns.size());
  std::iota(columns.begin(), columns.end(), 0);
  const sql::TableData data = source.read(*info, columns);
  Rows rows(data.rowCount);
  for (std::size_t r = 0; r < data.rowCount; ++r) {
    for (const auto& column : data.columns) rows[r].push_back(column[r]);
  }
  return rows;
}

std::size_t readEveryTable(const std::string& path) {
  JetDatabase database(path);
  JetTableSource source(database);
  std::size_t rows = 0;
  for (const auto& table : database.tables()) {
    const auto info = source.describe(table.layout.name);
    std::vector<std::size_t> columns(info->columns.size());
    std::iota(columns.begin(), columns.end(), 0);
    rows += source.read(*info, columns).rowCount;
  }
  return rows;
}

std::string dumpEveryTable(const std::string& path) {
  JetDatabase database(path);
  JetTableSource source(database);
  std::string dump;
  for (const auto& table : database.tables()) {
    dump += "[" + table.layout.name + "]\n";
    for (const auto& row : readAll(source, table.layout.name)) {
      for (const auto& value : row) dump += (value.isNull() ? "NULL" : value.toText()) + "|";
      dump += "\n";
    }
  }
  return dump;
}

}  // namespace leafward::jet::testing

#include <sys/wait.h>

#include <fcntl.h>

namespace leafward::jet::testing {

std::string runProgram(const std::vector<std::string>& arguments) {
  int pipeEnds[2];
  if (::pipe(pipeEnds) != 0) throw std::runtime_error("pipe failed");
  std::vector<char*> argv;
  for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  const pid_t child = ::fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    ::dup2(pipeEnds[1], 1);
    const int devNull = ::open("/dev/null", O_WRONLY);
    if (devNull >= 0) ::dup2(devNull, 2);
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(pipeEnds[1]);
  std::string output;
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(pipeEnds[0], buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    output.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(pipeEnds[0]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    throw std::runtime_error(arguments[0] + " failed");
  }
  return output;
}

}  // namespace leafward::jet::testing

namespace leafward::jet::testing {

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

namespace leafward::jet::testing {

RawFile::RawFile(const std::string& path) : bytes(readBytes(path)) {
  pageSize = bytes.at(0x14) == 0 ? 2048 : 4096;
  rowCountOffset = bytes.at(0x14) == 0 ? 8 : 12;
}

std::uint16_t RawFile::entry(RowLocation at) const {
  return readU16(bytes, static_cast<std::size_t>(at.page) * pageSize + rowCountOffset + 2 +
                            2 * std::size_t{at.slot});
}

bool RawFile::isPointer(RowLocation at) const {
  return (entry(at) & kRowDeletedFlags) == kRowPointerFlag;
}

std::pair<std::uint32_t, std::uint16_t> RawFile::storedAt(RowLocation at) const {
  if (!isPointer(at)) return {at.page, at.slot};
  const std::size_t row =
      static_cast<std::size_t>(at.page) * pageSize + (entry(at) & kRowOffsetMask);
  return {readU24(bytes, row + 1), bytes[row]};
}

bool RawFile::maskBit(RowLocation at, unsigned bit) const {
  const auto [page, slot] = storedAt(at);
  const std::size_t base = static_cast<std::size_t>(page) * pageSize;
  const RowLocation stored{page, slot};
  const std::size_t start = base + (entry(stored) & kRowOffsetMask);
  const std::size_t end =
      slot == 0 ? base + pageSize
                : base + (entry(RowLocation{page, static_cast<std::uint16_t>(slot - 1)}) &
                          kRowOffsetMask);
  const std::size_t columns = readU16(bytes, start);
  const std::size_t mask = end - (columns + 7) / 8;
  return (bytes[mask + bit / 8] >> (bit % 8)) & 1;
}

}  // namespace leafward::jet::testing
