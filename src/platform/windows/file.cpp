#include "platform/file.h"

#include <windows.h>

#include <algorithm>

#include "platform/system_file_calls.h"
#include "platform/windows/errors.h"
#include "platform/windows/wide_text.h"

namespace leafward::platform {
namespace {

// The byte Leafward's readers and writer lock, as on POSIX: offset 2^62, far past the end of any
// database. A Jet engine locks only below 4 GiB (bytes past the end of the data in the .mdb, and
// in Access's .ldb file), so Access never meets this lock. Windows locks are mandatory, which
// does no harm here: nobody reads or writes there.
constexpr std::uint64_t kLockByte = std::uint64_t{1} << 62;
// A writer's claim is a lock on the byte after it: readers take that byte shared for the moment
// they take their own lock, so a writer holding it lets none in.
constexpr std::uint64_t kClaimByte = kLockByte + 1;

// FileDispositionInfoEx (Windows 10 1709), which MinGW's headers do not declare usably.
constexpr auto kFileDispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);

HANDLE handleOf(std::intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

std::intptr_t valueOf(HANDLE handle) {
  return reinterpret_cast<std::intptr_t>(handle);
}

OVERLAPPED at(std::uint64_t offset) {
  OVERLAPPED overlapped{};
  overlapped.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
  overlapped.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return overlapped;
}

bool isFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Locks one byte without waiting: false when another holder is in the way.
bool lockByte(HANDLE handle, std::uint64_t byte, LockKind kind, const std::string& path) {
  OVERLAPPED position = at(byte);
  const DWORD flags = LOCKFILE_FAIL_IMMEDIATELY |
                      (kind == LockKind::Exclusive ? LOCKFILE_EXCLUSIVE_LOCK : DWORD{0});
  if (LockFileEx(handle, flags, 0, 1, 0, &position)) return true;
  const DWORD error = GetLastError();
  if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) return false;
  failWith("cannot lock", path, error);
}

void unlockByte(HANDLE handle, std::uint64_t byte) {
  OVERLAPPED position = at(byte);
  UnlockFileEx(handle, 0, 1, 0, &position);
}

// Where a name could not be examined because nothing is there under it.
bool nothingThere(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_INVALID_DRIVE:
      return true;
    default:
      return false;
  }
}

// Opening a folder as a file fails as "access denied": say what it really is.
[[noreturn]] void failToOpen(const std::string& what, const std::string& path,
                             const std::wstring& widePath, DWORD error) {
  if (error == ERROR_ACCESS_DENIED && isFolder(widePath)) {
    throw SystemError(Failure::NotRegular, what + " " + path + ": it is a folder");
  }
  failWith(what, path, error);
}

}  // namespace

File File::systemOpen(const std::string& path, FileAccess access) {
  const std::wstring widePath = wideFromUtf8(path);
  // A reader lets everyone else read and write (Access keeps working beside it). A writer lets
  // others only read: while it holds the file no other program can open it for writing, and it
  // cannot open a file that another program (Access, the accounting program) has open for
  // writing: that fails as a sharing violation, Failure::InUse.
  const bool writing = access == FileAccess::ReadWrite;
  const DWORD desired = writing ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
  const DWORD share =
      writing ? FILE_SHARE_READ : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  // Handles are not inherited (no security attributes), and opening never waits on the file.
  const HANDLE handle = CreateFileW(widePath.c_str(), desired, share, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) failToOpen("cannot open", path, widePath, GetLastError());
  return File(valueOf(handle), path);
}

File File::systemCreateNew(const std::string& path, const File* /*permissionsOf*/) {
  // Windows files carry no permission bits: the new file gets the folder's access rules.
  const std::wstring widePath = wideFromUtf8(path);
  const HANDLE handle = CreateFileW(widePath.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                    nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) failToOpen("cannot create", path, widePath, GetLastError());
  return File(valueOf(handle), path);
}

bool File::isOpen() const {
  return handle_ != -1;
}

bool File::isRegular() const {
  if (GetFileType(handleOf(handle_)) != FILE_TYPE_DISK) return false;
  BY_HANDLE_FILE_INFORMATION information{};
  if (!GetFileInformationByHandle(handleOf(handle_), &information)) {
    failWith("cannot examine", path_, GetLastError());
  }
  return (information.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

std::uint64_t File::linkCount() const {
  BY_HANDLE_FILE_INFORMATION information{};
  if (!GetFileInformationByHandle(handleOf(handle_), &information)) {
    failWith("cannot examine", path_, GetLastError());
  }
  return information.nNumberOfLinks;
}

std::uint64_t File::systemSize() const {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(handleOf(handle_), &size)) failWith("cannot examine", path_, GetLastError());
  return static_cast<std::uint64_t>(size.QuadPart);
}

std::size_t File::systemReadAt(std::uint64_t offset, std::span<std::uint8_t> into) const {
  std::size_t done = 0;
  while (done < into.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(into.size() - done, 1u << 30));
    OVERLAPPED position = at(offset + done);
    DWORD got = 0;
    if (!ReadFile(handleOf(handle_), into.data() + done, chunk, &got, &position)) {
      const DWORD error = GetLastError();
      if (error == ERROR_HANDLE_EOF) break;
      failWith("cannot read", path_, error);
    }
    if (got == 0) break;
    done += got;
  }
  return done;
}

void File::systemWriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
    OVERLAPPED position = at(offset + done);
    DWORD wrote = 0;
    if (!WriteFile(handleOf(handle_), bytes.data() + done, chunk, &wrote, &position)) {
      failWith("cannot write", path_, GetLastError());
    }
    if (wrote == 0) failWith("cannot write", path_, ERROR_WRITE_FAULT);
    done += wrote;
  }
}

void File::systemSync() {
  // Writes the file's data and its entry through every cache, the disk's own included. On NTFS
  // this also writes the file system's log up to now. FILE_FLAG_WRITE_THROUGH would promise no
  // more at the points where Leafward needs it and would make every write wait for the disk.
  if (!FlushFileBuffers(handleOf(handle_))) failWith("cannot flush", path_, GetLastError());
}

void File::systemResize(std::uint64_t size) {
  FILE_END_OF_FILE_INFO end{};
  end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
  if (!SetFileInformationByHandle(handleOf(handle_), FileEndOfFileInfo, &end, sizeof end)) {
    failWith("cannot resize", path_, GetLastError());
  }
}

bool File::systemTryLock(LockKind kind) {
  const HANDLE handle = handleOf(handle_);
  // Windows counts locks: one taken again would need unlocking twice.
  if (locked_) {
    unlockByte(handle, kLockByte);
    locked_ = false;
  }
  if (kind == LockKind::Shared) {
    if (!lockByte(handle, kClaimByte, LockKind::Shared, path_)) return false;
    locked_ = lockByte(handle, kLockByte, LockKind::Shared, path_);
    unlockByte(handle, kClaimByte);
    return locked_;
  }
  if (!claimed_) claimed_ = lockByte(handle, kClaimByte, LockKind::Exclusive, path_);
  if (claimed_) locked_ = lockByte(handle, kLockByte, LockKind::Exclusive, path_);
  return locked_;
}

void File::unlock() {
  if (locked_) unlockByte(handleOf(handle_), kLockByte);
  if (claimed_) unlockByte(handleOf(handle_), kClaimByte);
  locked_ = false;
  claimed_ = false;
}

void File::close() {
  if (handle_ == -1) return;
  unlock();
  CloseHandle(handleOf(handle_));
  handle_ = -1;
}

std::string canonicalPath(const std::string& path) {
  const std::wstring widePath = wideFromUtf8(path);
  // Opened without any access, only to ask for its final name: links and "." or ".." resolved.
  const HANDLE handle =
      CreateFileW(widePath.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) failWith("cannot find", path, GetLastError());
  std::wstring name(MAX_PATH, L'\0');
  DWORD length = 0;
  for (;;) {
    length = GetFinalPathNameByHandleW(handle, name.data(), static_cast<DWORD>(name.size()),
                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length < name.size()) break;
    name.resize(length + 1);
  }
  const DWORD error = GetLastError();
  CloseHandle(handle);
  if (length == 0) failWith("cannot find", path, error);
  name.resize(length);
  // "\\?\C:\x" -> "C:\x", "\\?\UNC\server\share\x" -> "\\server\share\x".
  if (name.starts_with(L"\\\\?\\UNC\\")) {
    name = L"\\\\" + name.substr(8);
  } else if (name.starts_with(L"\\\\?\\")) {
    name = name.substr(4);
  }
  return utf8FromWide(name);
}

EntryKind entryKind(const std::string& path, FinalLink link) {
  const std::wstring widePath = wideFromUtf8(path);
  DWORD attributes = GetFileAttributesW(widePath.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (nothingThere(error)) return EntryKind::None;
    failWith("cannot examine", path, error);
  }
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    if (link == FinalLink::Keep) return EntryKind::Other;
    // A link: what it leads to, opened without any access only to ask.
    const HANDLE handle =
        CreateFileW(widePath.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      if (nothingThere(error)) return EntryKind::None;
      failWith("cannot examine", path, error);
    }
    BY_HANDLE_FILE_INFORMATION information{};
    const bool examined = GetFileInformationByHandle(handle, &information);
    const DWORD error = GetLastError();
    CloseHandle(handle);
    if (!examined) failWith("cannot examine", path, error);
    attributes = information.dwFileAttributes;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return EntryKind::Folder;
  return attributes & FILE_ATTRIBUTE_DEVICE ? EntryKind::Other : EntryKind::File;
}

namespace system_calls {

bool removeFile(const std::string& path) {
  const HANDLE handle = CreateFileW(wideFromUtf8(path).c_str(), DELETE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return false;
    failWith("cannot remove", path, error);
  }
  // The name goes at once, as on POSIX, even while another program (a virus scanner, the
  // search indexer) still has the file open: otherwise it would stay until they close it, and
  // the next statement's journal could not be made under it. Windows before 10 1709 and file
  // systems other than NTFS know only the old way, which is then taken.
  FILE_DISPOSITION_INFO_EX now{FILE_DISPOSITION_FLAG_DELETE |
                               FILE_DISPOSITION_FLAG_POSIX_SEMANTICS};
  bool removed = SetFileInformationByHandle(handle, kFileDispositionInfoEx, &now, sizeof now);
  if (!removed) {
    FILE_DISPOSITION_INFO onClose{TRUE};
    removed = SetFileInformationByHandle(handle, FileDispositionInfo, &onClose, sizeof onClose);
  }
  const DWORD error = GetLastError();
  CloseHandle(handle);
  if (!removed) failWith("cannot remove", path, error);
  return true;
}

// Windows has no call that makes one folder's entries durable as fsync does on POSIX. What it
// has: on NTFS, names are created and removed through the file system's own log, and flushing
// any handle on the volume writes that log through to the disk, with every change of names made
// before it. So the folder is opened and flushed: on NTFS (and ReFS) the name just created or
// removed is then durable. Where that cannot be done (FAT and exFAT, which keep no log; network
// shares; a folder that cannot be opened for writing) nothing is promised, and nothing fails:
// the journal's own contents are still flushed by File::sync() before any page is written.
void syncFolder(const std::string& folder) {
  const HANDLE handle = CreateFileW(wideFromUtf8(folder).c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return;
  FlushFileBuffers(handle);
  CloseHandle(handle);
}

}  // namespace system_calls

bool markedReadOnly(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(wideFromUtf8(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) failWith("cannot examine", path, GetLastError());
  // On a folder the read-only attribute only marks it as customised in Explorer.
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  return (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

std::string parentFolder(const std::string& path) {
  const auto slash = path.find_last_of("/\\");
  if (slash == std::string::npos) {
    // "C:name" lies in the current folder of drive C:.
    if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2);
    return ".";
  }
  if (slash == 0) return path.substr(0, 1);
  // "C:\name" -> "C:\", not "C:" (which is the current folder of drive C:).
  if (slash == 2 && path[1] == ':') return path.substr(0, 3);
  return path.substr(0, slash);
}

std::string fileName(const std::string& path) {
  return path.substr(path.find_last_of("/\\") + 1);
}

std::string nativePath(std::string utf8Path) {
  for (char& c : utf8Path) {
    if (c == '/') c = '\\';
  }
  return utf8Path;
}

}  // namespace leafward::platform
