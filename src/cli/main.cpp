#include <iostream>
#include <string>
#include <vector>

#include "cli/commands.h"
#ifdef LEAFWARD_TEST_HOOKS
#include "cli/test_kill_hook.h"
#endif

namespace {

constexpr const char* kUsage =
    "usage: leafward-cli query FILE \"SELECT ...\"\n"
    "       leafward-cli check FILE | --server NAME --database NAME\n"
    "       leafward-cli update FILE | --server NAME --database NAME\n"
    "       leafward-cli databases --server NAME\n";

}  // namespace

int main(int argc, char** argv) {
  using namespace leafward::cli;
  if (argc < 2) {
    std::cerr << kUsage;
    return 2;
  }
#ifdef LEAFWARD_TEST_HOOKS
  installTestKillHook();
#endif
  const std::string command = argv[1];
  const std::vector<std::string> args(argv + 2, argv + argc);
  try {
    if (command == "query") return runQuery(args, std::cout, std::cerr);
    if (command == "check") return runCheck(args, std::cout, std::cerr);
    if (command == "update") return runUpdate(args, std::cout, std::cerr);
    if (command == "databases") return runDatabases(args, std::cout, std::cerr);
  } catch (const std::exception& error) {
    std::cerr << "leafward-cli: " << error.what() << "\n";
    return 2;
  }
  std::cerr << "leafward-cli: unknown command '" << command << "'\n" << kUsage;
  return 2;
}
