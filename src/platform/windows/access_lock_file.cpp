#include "platform/access_lock_file.h"

#include <windows.h>

#include "platform/windows/errors.h"
#include "platform/windows/wide_text.h"

namespace leafward::platform {

AccessLockFile probeAccessLockFile(const std::string& lockFilePath) {
  const std::wstring path = wideFromUtf8(lockFilePath);
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
      return AccessLockFile::Absent;
    }
    failWith("cannot look at the Access lock file", lockFilePath, error);
  }
  if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) {
    throw SystemError(Failure::NotRegular,
                      "the Access lock file " + lockFilePath + " is not a regular file");
  }
  // Every Jet program keeps its lock file open for writing while it uses the database. Opening
  // it for reading while letting others only read fails just then, as a sharing violation; a
  // lock file left behind opens. Nothing is locked or waited for.
  const HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) {
      return AccessLockFile::Held;
    }
    if (error == ERROR_FILE_NOT_FOUND) return AccessLockFile::Absent;
    failWith("cannot look at the Access lock file", lockFilePath, error);
  }
  const bool regular = GetFileType(handle) == FILE_TYPE_DISK;
  CloseHandle(handle);
  if (!regular) {
    throw SystemError(Failure::NotRegular,
                      "the Access lock file " + lockFilePath + " is not a regular file");
  }
  return AccessLockFile::Unused;
}

}  // namespace leafward::platform
