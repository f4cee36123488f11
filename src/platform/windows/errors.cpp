#include "platform/windows/errors.h"

#include "platform/windows/wide_text.h"

namespace leafward::platform {

Failure failureOfWindowsError(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
      return Failure::NotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_NETWORK_ACCESS_DENIED:
      return Failure::AccessDenied;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return Failure::AlreadyExists;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
      return Failure::InUse;
    case ERROR_DIRECTORY:
    case ERROR_CANT_RESOLVE_FILENAME:
      return Failure::NotRegular;
    case ERROR_FILENAME_EXCED_RANGE:
      return Failure::NameTooLong;
    default:
      return Failure::Other;
  }
}

std::string windowsErrorText(DWORD error) {
  wchar_t* buffer = nullptr;
  const auto format = [&](DWORD language) {
    return FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, language, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  };
  // English where the system has it, like the rest of the message; else its own language.
  DWORD length = format(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  if (length == 0) length = format(0);
  std::string text;
  if (length > 0 && buffer) text = utf8FromWide({buffer, length});
  if (buffer) LocalFree(buffer);
  while (!text.empty() &&
         (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.')) {
    text.pop_back();
  }
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  if (text.empty()) text = "Windows error " + std::to_string(error);
  return text;
}

void failWith(const std::string& what, const std::string& path, DWORD error) {
  throw SystemError(failureOfWindowsError(error),
                    what + " " + path + ": " + windowsErrorText(error));
}

}  // namespace leafward::platform
