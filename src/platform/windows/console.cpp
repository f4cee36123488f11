#include "platform/console.h"

#include <windows.h>

#include "platform/system_error.h"
#include "platform/windows/wide_text.h"

namespace leafward::platform {
namespace {

class ConsoleHandle {
 public:
  explicit ConsoleHandle(const wchar_t* name)
      : handle_(CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, 0, nullptr)) {}
  ~ConsoleHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  ConsoleHandle(const ConsoleHandle&) = delete;
  ConsoleHandle& operator=(const ConsoleHandle&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

void show(HANDLE output, const std::wstring& text) {
  DWORD written = 0;
  WriteConsoleW(output, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace

// Windows has one console per program: `terminal` names none there and is not used.
std::string askWithoutEcho(const std::string& prompt, const std::string& /*terminal*/) {
  const ConsoleHandle input(L"CONIN$");
  const ConsoleHandle output(L"CONOUT$");
  DWORD saved = 0;
  if (input.get() == INVALID_HANDLE_VALUE || output.get() == INVALID_HANDLE_VALUE ||
      !GetConsoleMode(input.get(), &saved)) {
    throw SystemError(Failure::NotFound, "there is no terminal to ask on");
  }
  // Line by line, without echo; Ctrl+C still ends the program.
  SetConsoleMode(input.get(),
                 (saved | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT) & ~DWORD{ENABLE_ECHO_INPUT});
  struct Restore {
    HANDLE input;
    DWORD mode;
    ~Restore() { SetConsoleMode(input, mode); }
  } restore{input.get(), saved};

  show(output.get(), wideFromUtf8(prompt));
  std::wstring line;
  for (;;) {
    wchar_t buffer[256];
    DWORD got = 0;
    if (!ReadConsoleW(input.get(), buffer, 256, &got, nullptr)) {
      throw SystemError(Failure::Other, "cannot read from the terminal");
    }
    if (got == 0) break;
    line.append(buffer, got);
    if (line.find(L'\n') != std::wstring::npos) break;
  }
  // The line end typed was not shown.
  show(output.get(), L"\r\n");
  if (const auto end = line.find(L'\n'); end != std::wstring::npos) line.resize(end);
  if (!line.empty() && line.back() == L'\r') line.pop_back();
  const std::string answer = utf8FromWide(line);
  SecureZeroMemory(line.data(), line.size() * sizeof(wchar_t));
  return answer;
}

}  // namespace leafward::platform
