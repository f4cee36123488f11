#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace leafward::platform {

// For tests and benchmarks: running another program and working in temporary folders.

struct ProcessRun {
  int exitCode = -1;    // -1 when it did not end by exiting
  bool killed = false;  // ended by a signal (POSIX) or terminated (Windows)
  std::string out, err;
};

struct ProcessOptions {
  // Variables set (a value) or removed (nullopt) for the program, on top of this process's.
  std::vector<std::pair<std::string, std::optional<std::string>>> environment;
  // No terminal and no input: the program can never wait for typing.
  bool detached = false;
  // The folder it runs in; empty for this process's own.
  std::string workingFolder;
};

// Runs `arguments[0]` (a path, or a name looked up on PATH) with the rest as its arguments,
// waits for it and collects its standard output and error. Throws SystemError when it cannot
// be started.
ProcessRun runProcess(const std::vector<std::string>& arguments,
                      const ProcessOptions& options = {});

// Ends this process at once, as a crash or a kill would: nothing is flushed or cleaned up.
[[noreturn]] void killCurrentProcess();

// A new, empty folder under the system's temporary folder, named `prefix` plus a unique part.
std::string makeTemporaryFolder(const std::string& prefix);

}  // namespace leafward::platform
