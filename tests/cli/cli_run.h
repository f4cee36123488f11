#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/fixtures.h"

namespace leafward::testing {

struct CliRun {
  int exitCode = -1;  // -1 when it did not exit on its own
  int signal = 0;     // the signal that ended it, if one did
  std::string out, err;
};

// Runs leafward-cli with `args`, its output caught in files in `folder`. `environment` is
// put before the program as env's words (NAME=VALUE, -u NAME). A detached run has no terminal
// and no input, so that it can never wait for typing.
inline CliRun runCli(const std::vector<std::string>& args, const std::filesystem::path& folder,
                     const std::string& environment = "", bool detached = false) {
  const auto outFile = folder / "stdout.txt";
  const auto errFile = folder / "stderr.txt";
  std::string command =
      "exec env " + environment + (detached ? " setsid -w '" : " '") + LEAFWARD_CLI + "'";
  for (const auto& arg : args) command += " '" + arg + "'";
  if (detached) command += " </dev/null";
  command += " >'" + outFile.string() + "' 2>'" + errFile.string() + "'";
  const int status = std::system(command.c_str());
  CliRun run;
  if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
  run.out = readFile(outFile);
  run.err = readFile(errFile);
  return run;
}

inline bool oneLine(const std::string& text) {
  return !text.empty() && text.find('\n') == text.size() - 1;
}

}  // namespace leafward::testing
