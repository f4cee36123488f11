#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "platform/process.h"
#include "support/files.h"

namespace leafward::testing {

struct CliRun {
  int exitCode = -1;    // -1 when it did not exit on its own
  bool killed = false;  // ended by a kill rather than by exiting
  std::string out, err;
};

// The environment changes written as env's words: NAME=VALUE (the value may be in single
// quotes) sets, -u NAME removes.
inline platform::ProcessOptions optionsOf(const std::string& environment, bool detached) {
  platform::ProcessOptions options;
  options.detached = detached;
  std::size_t at = 0;
  const auto word = [&] {
    while (at < environment.size() && environment[at] == ' ') ++at;
    std::string text;
    bool quoted = false;
    for (; at < environment.size() && (quoted || environment[at] != ' '); ++at) {
      if (environment[at] == '\'') {
        quoted = !quoted;
      } else {
        text += environment[at];
      }
    }
    return text;
  };
  for (std::string next = word(); !next.empty(); next = word()) {
    if (next == "-u") {
      options.environment.push_back({word(), std::nullopt});
    } else {
      const auto equals = next.find('=');
      options.environment.push_back({next.substr(0, equals), next.substr(equals + 1)});
    }
  }
  return options;
}

// Runs leafward-cli with `args` in `folder`. `environment` is put before the program as env's
// words. A detached run has no terminal and no input, so that it can never wait for typing.
inline CliRun runCli(const std::vector<std::string>& args, const std::filesystem::path& folder,
                     const std::string& environment = "", bool detached = false) {
  std::vector<std::string> arguments{LEAFWARD_CLI};
  arguments.insert(arguments.end(), args.begin(), args.end());
  platform::ProcessOptions options = optionsOf(environment, detached);
  options.workingFolder = folder.string();
  const platform::ProcessRun run = platform::runProcess(arguments, options);
  return CliRun{run.exitCode, run.killed, run.out, run.err};
}

inline bool oneLine(const std::string& text) {
  return !text.empty() && text.find('\n') == text.size() - 1;
}

}  // namespace leafward::testing
