#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/system_error.h"

namespace leafward::platform {

enum class FileAccess { Read, ReadWrite };
enum class LockKind { Shared, Exclusive };

// An open file, closed when the object goes. Files are opened in binary mode, never inherited
// by programs this one starts, and without blocking: a named pipe or a device opens at once
// (and is then told apart by isRegular()). Every failure throws SystemError naming the path.
class File {
 public:
  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Opens an existing file. Opened for writing, the file is held so that no other program can
  // open it for writing meanwhile where the system offers that (Windows); a file another
  // program has open for writing then fails with Failure::InUse.
  static File open(const std::string& path, FileAccess access);

  // Creates a file that must not exist yet (Failure::AlreadyExists when it does), open for
  // reading and writing. Where files carry permission bits, the new file gets those of
  // `permissionsOf` (read and write bits only), or owner read and write when it is null.
  static File createNew(const std::string& path, const File* permissionsOf = nullptr);

  bool isOpen() const;
  const std::string& path() const { return path_; }

  // Whether the open file is a regular file (not a folder, pipe, device or socket).
  bool isRegular() const;
  std::uint64_t size() const;
  // How many names (hard links) the file has in the file system.
  std::uint64_t linkCount() const;

  // Reads up to into.size() bytes at `offset`; returns how many were read, fewer only at the
  // end of the file.
  std::size_t readAt(std::uint64_t offset, std::span<std::uint8_t> into) const;
  // Writes all of `bytes` at `offset`.
  void writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
  // Makes everything written so far durable.
  void sync();
  // Makes the file `size` bytes long: cut back, or longer with zeros.
  void resize(std::uint64_t size);

  // The locks that keep Leafward's readers and its writer apart: any number of shared holders
  // or one exclusive holder, whether in this process or another. They never wait: false when
  // another holder is in the way. An exclusive lock also fails while any other program holds
  // a lock anywhere in the file, where the system can tell (POSIX). The locked bytes lie far
  // beyond any a Jet database engine locks, so Access is never blocked by them.
  //
  // A writer is never kept waiting by readers that come one after the other: its first try for
  // the exclusive lock claims the file, and from then on no new shared lock is granted, while
  // the readers already in finish. The claim stays when the try fails, for the next try, until
  // unlock() or close(); waitForLock() gives it up when it stops waiting.
  bool tryLock(LockKind kind);
  void unlock();

  void close();

 private:
  File(std::intptr_t handle, std::string path) : handle_(handle), path_(std::move(path)) {}

  // The system's own calls (posix/, windows/) behind the operations above, which add what is
  // the same on every system: the count of syncs, and in test builds the faults a test chose.
  static File systemOpen(const std::string& path, FileAccess access);
  static File systemCreateNew(const std::string& path, const File* permissionsOf);
  std::uint64_t systemSize() const;
  std::size_t systemReadAt(std::uint64_t offset, std::span<std::uint8_t> into) const;
  void systemWriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
  void systemSync();
  void systemResize(std::uint64_t size);
  bool systemTryLock(LockKind kind);

  std::intptr_t handle_ = -1;  // a file descriptor, or a Windows HANDLE
  std::string path_;
  bool locked_ = false;   // holds the shared or the exclusive lock
  bool claimed_ = false;  // holds the writer's claim that lets no new reader in
};

// The path with every link and "." or ".." resolved, absolute. Throws SystemError
// (Failure::NotFound when the file does not exist).
std::string canonicalPath(const std::string& path);

// What lies under a name: nothing, a regular file, a folder, or anything else (a pipe, a
// device, a socket; a link, when links are not followed). A name too long to exist, or under
// something that is not a folder, holds nothing. Throws SystemError when the name cannot be
// examined.
enum class EntryKind { None, File, Folder, Other };
enum class FinalLink { Follow, Keep };
EntryKind entryKind(const std::string& path, FinalLink link);

// Whether anything exists under that name, without following a final link.
bool pathExists(const std::string& path);

// Removes a file; false when there was none. Throws SystemError for other failures.
bool removeFile(const std::string& path);

// Makes a file name just created or removed in `folder` durable. Windows has no such call: there
// the folder is flushed as far as the file system allows (on NTFS that writes its log, names
// included, through to the disk; on FAT, exFAT and network shares nothing is promised), and a
// failure is not reported.
void syncFolder(const std::string& folder);

// How many syncs of files and folders this thread has made since it started: what making a
// change durable cost.
std::uint64_t syncsMade();

// Whether a file or folder is marked read-only: no write permission bit at all (POSIX), or the
// read-only attribute (Windows files; Windows folders are never read-only in this sense).
// Such a file is read-only to us even when the system would let an administrator write it.
bool markedReadOnly(const std::string& path);

// The folder part of a path ("." when it has none); both '/' and, on Windows, '\' separate.
std::string parentFolder(const std::string& path);

// The name part of a path: what follows its last separator (the whole path when it has none).
std::string fileName(const std::string& path);

// A path given in UTF-8 with either separator (as a file dialog gives it) in the form this
// layer takes: with Windows' own separators on Windows, unchanged elsewhere.
std::string nativePath(std::string utf8Path);

}  // namespace leafward::platform
