#include "platform/user_account.h"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include "platform/system_error.h"
#include "platform/windows/wide_text.h"

namespace leafward::platform {

std::string userName() {
  wchar_t name[257] = {};
  DWORD size = 257;
  if (!GetUserNameW(name, &size)) return {};
  return utf8FromWide(name);
}

std::string computerName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  if (!GetComputerNameW(name, &size)) return {};
  return utf8FromWide({name, size});
}

std::string repairRecordFolder() {
  PWSTR folder = nullptr;
  const HRESULT result = SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &folder);
  std::string path;
  if (SUCCEEDED(result) && folder) path = utf8FromWide(folder);
  CoTaskMemFree(folder);
  if (path.empty()) {
    throw SystemError(Failure::NotFound,
                      "cannot find the folder for records of repairs: Windows names no local "
                      "application data folder");
  }
  return path + "\\Leafward\\repairs";
}

}  // namespace leafward::platform
