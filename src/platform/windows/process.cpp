#include "platform/process.h"

#include <windows.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <random>

#include "platform/windows/errors.h"
#include "platform/windows/wide_text.h"

namespace leafward::platform {
namespace {

// How killCurrentProcess ends the program: the status Windows gives a console program ended
// from outside (STATUS_CONTROL_C_EXIT). Any status of this severity (0xC...) is an abnormal end.
constexpr UINT kKilledStatus = 0xC000013A;

bool endedAbnormally(DWORD status) {
  return (status & 0xC0000000u) == 0xC0000000u;
}

// One argument as the C runtime's command-line parser (CommandLineToArgvW) reads it back.
std::wstring quoted(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    return argument;
  }
  std::wstring text = L"\"";
  for (auto c = argument.begin();; ++c) {
    std::size_t backslashes = 0;
    while (c != argument.end() && *c == L'\\') ++c, ++backslashes;
    if (c == argument.end()) {
      text.append(backslashes * 2, L'\\');
      break;
    }
    if (*c == L'"') {
      text.append(backslashes * 2 + 1, L'\\');
    } else {
      text.append(backslashes, L'\\');
    }
    text += *c;
  }
  return text + L"\"";
}

// Windows sorts variable names without regard to case, and so must a new environment.
struct NoCase {
  bool operator()(const std::wstring& a, const std::wstring& b) const {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_LESS_THAN;
  }
};

// This process's environment with the given changes, as the block CreateProcessW takes.
std::wstring environmentWith(const ProcessOptions& options) {
  std::map<std::wstring, std::wstring, NoCase> variables;
  wchar_t* block = GetEnvironmentStringsW();
  for (const wchar_t* entry = block; entry && *entry; entry += wcslen(entry) + 1) {
    const std::wstring text(entry);
    // Names beginning with '=' are the drives' current folders; keep them as they are.
    const auto equals = text.find(L'=', 1);
    if (equals != std::wstring::npos) variables[text.substr(0, equals)] = text.substr(equals + 1);
  }
  if (block) FreeEnvironmentStringsW(block);
  for (const auto& [name, value] : options.environment) {
    if (value) {
      variables[wideFromUtf8(name)] = wideFromUtf8(*value);
    } else {
      variables.erase(wideFromUtf8(name));
    }
  }
  std::wstring result;
  for (const auto& [name, value] : variables) {
    result += name + L"=" + value;
    result += L'\0';
  }
  result += L'\0';
  return result;
}

std::string readWhole(const std::wstring& path) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string text;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
  CloseHandle(file);
  return text;
}

// A handle the new program inherits as its standard input, output or error.
HANDLE inheritable(const std::wstring& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  const HANDLE handle = CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    &inherit, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) failWith("cannot open", utf8FromWide(path), GetLastError());
  return handle;
}

void removeFolder(const std::wstring& folder) {
  DeleteFileW((folder + L"\\out").c_str());
  DeleteFileW((folder + L"\\err").c_str());
  RemoveDirectoryW(folder.c_str());
}

}  // namespace

ProcessRun runProcess(const std::vector<std::string>& arguments, const ProcessOptions& options) {
  if (arguments.empty()) throw SystemError(Failure::Other, "no program to run");
  const std::wstring folder = wideFromUtf8(makeTemporaryFolder("leafward-run-"));
  const std::wstring outPath = folder + L"\\out", errPath = folder + L"\\err";

  std::wstring commandLine;
  for (const std::string& argument : arguments) {
    if (!commandLine.empty()) commandLine += L' ';
    commandLine += quoted(wideFromUtf8(argument));
  }
  std::wstring environment = environmentWith(options);
  const std::wstring workingFolder = wideFromUtf8(options.workingFolder);

  HANDLE input = INVALID_HANDLE_VALUE, output = INVALID_HANDLE_VALUE, error = INVALID_HANDLE_VALUE;
  PROCESS_INFORMATION process{};
  DWORD startError = 0;
  try {
    input = inheritable(L"NUL", GENERIC_READ, OPEN_EXISTING);
    output = inheritable(outPath, GENERIC_WRITE, CREATE_ALWAYS);
    error = inheritable(errPath, GENERIC_WRITE, CREATE_ALWAYS);
  } catch (...) {
    for (HANDLE handle : {input, output, error}) {
      if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
    removeFolder(folder);
    throw;
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = output;
  startup.hStdError = error;
  // A detached program gets no console, so nothing can ask on one.
  const DWORD flags = CREATE_UNICODE_ENVIRONMENT | (options.detached ? DETACHED_PROCESS : 0);
  // Wine, busy starting many programs at once, now and then answers a start with "internal
  // error" and starts the same program at the next try.
  bool started = false;
  for (int attempt = 0; attempt < 5 && !started; ++attempt) {
    if (attempt > 0) Sleep(200);
    started = CreateProcessW(
        nullptr, commandLine.data(), nullptr, nullptr, TRUE, flags, environment.data(),
        workingFolder.empty() ? nullptr : workingFolder.c_str(), &startup, &process);
    startError = started ? 0 : GetLastError();
    if (startError != ERROR_INTERNAL_ERROR) break;
  }
  for (HANDLE handle : {input, output, error}) CloseHandle(handle);

  ProcessRun run;
  if (started) {
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    run.killed = endedAbnormally(status);
    run.exitCode = run.killed ? -1 : static_cast<int>(status);
    run.out = readWhole(outPath);
    run.err = readWhole(errPath);
  }
  removeFolder(folder);
  if (!started) failWith("cannot start", arguments[0], startError);
  return run;
}

void killCurrentProcess() {
  TerminateProcess(GetCurrentProcess(), kKilledStatus);
  ExitProcess(kKilledStatus);
}

std::string makeTemporaryFolder(const std::string& prefix) {
  wchar_t base[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, base);
  if (length == 0 || length > MAX_PATH)
    failWith("cannot make", "a temporary folder", GetLastError());
  std::wstring folder(base, length);
  while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
  std::random_device seed;
  std::mt19937_64 random(seed() ^ (std::uint64_t{GetCurrentProcessId()} << 32) ^ GetTickCount64());
  const std::wstring wanted = wideFromUtf8(prefix);
  constexpr wchar_t kLetters[] = L"abcdefghijklmnopqrstuvwxyz0123456789";
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::wstring name = folder + L"\\" + wanted;
    for (int i = 0; i < 8; ++i) name += kLetters[random() % 36];
    if (CreateDirectoryW(name.c_str(), nullptr)) return utf8FromWide(name);
    if (GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  failWith("cannot make", "a temporary folder", GetLastError());
}

}  // namespace leafward::platform
