#include "support/files.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "platform/file.h"
#include "platform/process.h"

#ifdef _WIN32
#include <windows.h>
#include <winioctl.h>
#endif

namespace leafward::testing {
namespace fs = std::filesystem;

fs::path utf8Path(const std::string& utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string utf8Text(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::string TempDir::file(const std::string& name) const {
  return utf8Text(path_ / utf8Path(name));
}

std::string fixture(const std::string& relative) {
  return std::string(LEAFWARD_FIXTURES_DIR) + "/" + relative;
}

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

TempDir::TempDir() : path_(platform::makeTemporaryFolder("leafward-test-")) {}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  for (const auto& entry : fs::recursive_directory_iterator(path_, ignored)) {
    fs::permissions(entry.path(), fs::perms::owner_read | fs::perms::owner_write,
                    fs::perm_options::add | fs::perm_options::nofollow, ignored);
    if (entry.is_directory(ignored)) {
      fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
  }
  fs::remove_all(path_, ignored);
}

std::string TempDir::copyFixture(const std::string& relative, const std::string& name) const {
  const fs::path target = path_ / (name.empty() ? fs::path(relative).filename() : utf8Path(name));
  fs::copy_file(fixture(relative), target, fs::copy_options::overwrite_existing);
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add);
  return utf8Text(target);
}

std::vector<std::uint8_t> readBytes(const std::string& path) {
  std::ifstream in(utf8Path(path), std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(utf8Path(path), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool fileExists(const std::string& path) {
  return platform::pathExists(path);
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

std::string expectedReport(const std::string& fixtureName) {
  const std::string stem = fixtureName.substr(0, fixtureName.rfind('.'));
  return readFile(fs::path(LEAFWARD_CHECK_REPORTS_DIR) / (stem + ".txt"));
}

void growSparse(const fs::path& path, std::uintmax_t size) {
#ifdef _WIN32
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + utf8Text(path));
  DWORD ignored = 0;
  DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
  LARGE_INTEGER end;
  end.QuadPart = static_cast<LONGLONG>(size);
  const bool grown = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
  CloseHandle(file);
  if (!grown) throw std::runtime_error("cannot grow " + utf8Text(path));
#else
  fs::resize_file(path, size);
#endif
}

std::string expectedBoxReport(const std::string& fixtureName) {
  const std::string printed = expectedReport(fixtureName);
  std::string box;
  for (std::size_t i = 0; i + 1 < printed.size(); ++i) {
    if (printed[i] == '\n') box += '\r';
    box += printed[i];
  }
  return box;
}

}  // namespace leafward::testing
