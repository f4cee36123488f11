#pragma once

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "platform/process.h"
#include "support/files.h"

namespace leafward::testing {

using CliRun = platform::ProcessRun;
using Environment = decltype(platform::ProcessOptions::environment);

// Runs leafward-cli with `args` in `folder`, with `environment`'s variables set (removed where
// they have no value). A detached run has no terminal and no input, so that it can never wait
// for typing. Records of repairs go to `folder`/repairs unless the environment names a folder:
// never to the user's own.
inline CliRun runCli(const std::vector<std::string>& args, const std::filesystem::path& folder,
                     Environment environment = {}, bool detached = false) {
  const bool recordFolderNamed = std::any_of(environment.begin(), environment.end(), [](auto& v) {
    return v.first == "LEAFWARD_RECORD_DIR";
  });
  if (!recordFolderNamed)
    environment.emplace_back("LEAFWARD_RECORD_DIR", (folder / "repairs").string());
  std::vector<std::string> arguments{LEAFWARD_CLI};
  arguments.insert(arguments.end(), args.begin(), args.end());
  return platform::runProcess(arguments, {std::move(environment), detached, folder.string()});
}

// A fixture account set and the exit code a command gives on it.
struct FixtureExit {
  const char* fixture;
  int exitCode;
  friend void PrintTo(const FixtureExit& e, std::ostream* os) { *os << e.fixture; }
};

inline bool oneLine(const std::string& text) {
  return !text.empty() && text.find('\n') == text.size() - 1;
}

}  // namespace leafward::testing
