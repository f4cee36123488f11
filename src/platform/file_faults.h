#pragma once

// Test builds only: the file seam's operations counted, and made to fail where a test chooses,
// so that tests can put a failing disk under the writer and its journal. What users run has
// none of it.
#ifdef LEAFWARD_TEST_HOOKS

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace leafward::platform::faults {

// The operations of the file seam, each counted on its own. OpenForWriting also counts creating
// a file; Sync also counts a folder's flush.
enum class Operation { Open, OpenForWriting, Read, Write, Sync, Size, Lock, Remove, Resize };

enum class Fault {
  IoError,     // the system reports an input/output error and does nothing
  NoSpace,     // the disk is full: nothing is written
  ShortWrite,  // the first half of the bytes is written, then the disk is full
  ReadOnly,    // the medium is read-only
};

// Makes the nth operation of that kind (counted from 1 since the last reset) fail with `fault`;
// with `persistent`, every one after it fails too, as on a disk that has died. Faults chosen for
// several kinds of operation all apply (a read-only medium fails opens for writing and removes).
void failAt(Operation operation, std::size_t nth, Fault fault, bool persistent = false);

// Ends the process (as a kill would) instead of carrying out the nth write, sync, remove or
// resize, counted together from 1 since the last reset: what a crash between any two of them
// leaves. 0 ends nothing.
void killBeforeChange(std::size_t nth);

// Called with every operation the seam counts, before its fault is given, so that a test can act
// at that moment (as another program writing the file meanwhile); none after reset().
using Watcher = void (*)(Operation operation, const std::string& path);
void watch(Watcher watcher);

// Forgets the chosen faults and the watcher, and sets every count to zero.
void reset();

// How many operations of that kind were asked for since the last reset, failed ones included.
std::size_t count(Operation operation);

// A write, sync, remove or resize the seam was asked for: what it was made on (a file's path, or a
// folder's for a folder flush) and, for a write, how many bytes.
struct Change {
  Operation operation;
  std::string path;
  std::size_t bytes = 0;
  bool operator==(const Change&) const = default;
};

// Every write, sync, remove and resize since the last reset, failed ones included, in the order
// asked: what a crash at any moment would find done. Read it once no other thread is working on
// files.
const std::vector<Change>& changes();

// For the file seam: counts the operation on `path` (a write of `bytes` bytes), notes it when it
// changes something, and gives the fault chosen for it, if any.
std::optional<Fault> take(Operation operation, const std::string& path, std::size_t bytes = 0);

// Throws the SystemError the system would give for `fault`: "<what> <path>: <reason>".
[[noreturn]] void fail(Fault fault, const char* what, const std::string& path);

}  // namespace leafward::platform::faults

#endif
