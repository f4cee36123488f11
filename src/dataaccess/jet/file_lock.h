#pragma once

#include <string>

namespace leafward::jet {

// An exclusive lock on a whole open .mdb file, held while a statement writes to it.
//
// The lock is an fcntl byte-range write lock over the entire file (an open-file-description
// lock where the kernel has them, so that closing another descriptor of the same file in
// this process does not drop it). It conflicts with any read or write lock another program
// holds on any part of the file, which is how Jet-compatible programs on this machine mark
// their use of it. Access itself also keeps a lock file `<name>.ldb` beside the database: when
// one exists and another program holds a lock on it, the database counts as in use; an
// `.ldb` left behind with no locks on it (after a crash) is ignored.
class FileWriteLock {
 public:
  // Throws WriteRefused(Locked) naming the file when it is in use.
  FileWriteLock(int fd, const std::string& path);
  ~FileWriteLock();
  FileWriteLock(const FileWriteLock&) = delete;
  FileWriteLock& operator=(const FileWriteLock&) = delete;

 private:
  int fd_;
  int command_;  // the fcntl command that took the lock
};

// The Access lock file that belongs to a database path: `x.mdb` -> `x.ldb`.
std::string accessLockFilePath(const std::string& path);

}  // namespace leafward::jet
