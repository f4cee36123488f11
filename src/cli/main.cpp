#include <iostream>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/reasons.h"
#include "platform/program_text.h"
#ifdef LEAFWARD_TEST_HOOKS
#include "cli/test_kill_hook.h"
#include "cli/test_medium_hook.h"
#endif

namespace {

constexpr const char* kUsage =
    "usage: leafward-cli query [--code-page N] FILE \"SELECT ...\"\n"
    "       leafward-cli check [--format text|json|csv] [--code-page N] FILE... | --server NAME\n"
    "                          (--database NAME | --all-databases)\n"
    "       leafward-cli update [--no-record] [--code-page N] FILE... | --server NAME "
    "(--database NAME | --all-databases)\n"
    "       leafward-cli undo [--code-page N] FILE | --server NAME --database NAME\n"
    "       leafward-cli history [--format text|json|csv] FILE | --server NAME --database NAME\n"
    "       leafward-cli databases --server NAME\n"
    "       leafward-cli --help | --version\n"
    "Words after -- are never options: leafward-cli check -- -x.mdb\n"
    "--code-page N reads an Access 97 file's text in Windows code page N (e.g. 936), for a file\n"
    "whose header names another.\n"
    "update writes every change to the account set's record of repairs first (in\n"
    "LEAFWARD_RECORD_DIR when set); undo puts back the last repair, history lists them.\n";

using Command = int (*)(const std::vector<std::string>&, std::ostream&, std::ostream&);

Command commandNamed(const std::string& name) {
  using namespace leafward::cli;
  if (name == "query") return &runQuery;
  if (name == "check") return &runCheck;
  if (name == "update") return &runUpdate;
  if (name == "databases") return &runDatabases;
  if (name == "undo") return &runUndo;
  if (name == "history") return &runHistory;
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace leafward::cli;
  leafward::platform::useUtf8StandardStreams();
  std::vector<std::string> args = leafward::platform::programArguments(argc, argv);
  if (args.empty()) {
    writeReason(std::cerr, "no command was given");
    std::cerr << kUsage;
    return 2;
  }
  const std::string name = args.front();
  args.erase(args.begin());
  const Command command = commandNamed(name);
  if (name == "--version") {
    std::cout << "leafward-cli " << LEAFWARD_VERSION << "\n";
    return 0;
  }
  if (name == "-h" || name == "--help" || (command && asksForHelp(args))) {
    std::cout << kUsage;
    return 0;
  }
  if (!command) {
    writeReason(std::cerr, "unknown command '" + name + "'");
    std::cerr << kUsage;
    return 2;
  }
#ifdef LEAFWARD_TEST_HOOKS
  installTestKillHook();
  installTestMediumHook();
#endif
  try {
    return command(args, std::cout, std::cerr);
  } catch (const std::exception& error) {
    writeReason(std::cerr, error.what());
    return 2;
  }
}
