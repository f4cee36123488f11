#include "platform/program_text.h"

// windows.h must come before shellapi.h.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <iostream>
#include <streambuf>

#include "platform/windows/wide_text.h"

namespace leafward::platform {
namespace {

// Everything written to it is shown on the console through WriteConsoleW. UTF-8 is held back
// until its characters are whole, so a character split across two writes still shows.
class ConsoleBuffer : public std::streambuf {
 public:
  explicit ConsoleBuffer(HANDLE console) : console_(console) {}

 protected:
  int_type overflow(int_type c) override {
    if (c != traits_type::eof()) pending_ += static_cast<char>(c);
    if (c == '\n' || pending_.size() >= 4096) flushWhole();
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* text, std::streamsize count) override {
    pending_.append(text, static_cast<std::size_t>(count));
    flushWhole();
    return count;
  }
  int sync() override {
    flushWhole();
    return 0;
  }

 private:
  void flushWhole() {
    std::size_t whole = pending_.size();
    // Back off over an unfinished UTF-8 sequence at the end.
    for (std::size_t back = 1; back <= 3 && back <= pending_.size(); ++back) {
      const auto byte = static_cast<unsigned char>(pending_[pending_.size() - back]);
      if ((byte & 0xC0) == 0x80) continue;
      const std::size_t needed = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
      if (needed > back) whole = pending_.size() - back;
      break;
    }
    if (whole == 0) return;
    const std::wstring wide = wideFromUtf8(std::string_view(pending_).substr(0, whole));
    pending_.erase(0, whole);
    DWORD written = 0;
    WriteConsoleW(console_, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
  }

  HANDLE console_;
  std::string pending_;
};

void useUtf8(DWORD which, std::FILE* file, std::ostream& stream) {
  const HANDLE handle = GetStdHandle(which);
  DWORD mode = 0;
  if (handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
    stream.flush();
    static ConsoleBuffer* buffers[2] = {nullptr, nullptr};
    ConsoleBuffer*& buffer = buffers[which == STD_OUTPUT_HANDLE ? 0 : 1];
    if (!buffer) buffer = new ConsoleBuffer(handle);  // lives as long as the program
    stream.rdbuf(buffer);
    return;
  }
  std::fflush(file);
  _setmode(_fileno(file), _O_BINARY);
}

}  // namespace

std::vector<std::string> programArguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!wide) {
    if (argc < 1) return {};
    return std::vector<std::string>(argv + 1, argv + argc);
  }
  std::vector<std::string> arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(utf8FromWide(wide[i]));
  LocalFree(wide);
  return arguments;
}

std::optional<std::string> environmentVariable(const std::string& name) {
  const std::wstring wideName = wideFromUtf8(name);
  std::wstring value(256, L'\0');
  for (;;) {
    SetLastError(ERROR_SUCCESS);
    const DWORD length =
        GetEnvironmentVariableW(wideName.c_str(), value.data(), static_cast<DWORD>(value.size()));
    if (length == 0) {
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      return std::string();
    }
    if (length < value.size()) {
      value.resize(length);
      return utf8FromWide(value);
    }
    value.resize(length);
  }
}

void useUtf8StandardStreams() {
  useUtf8(STD_OUTPUT_HANDLE, stdout, std::cout);
  useUtf8(STD_ERROR_HANDLE, stderr, std::cerr);
}

}  // namespace leafward::platform
