#include <ostream>

#include "audit/undo.h"
#include "audit/workbench.h"
#include "cli/command_support.h"
#include "cli/commands.h"

namespace leafward::cli {
namespace {

// Why one kind of flag was not put back, for the reason on stderr.
std::string failureOf(const char* kind, const audit::RepairOutcome& outcome) {
  if (!outcome.failed) return {};
  return std::string("the ") + kind + " flags could not be put back: " + outcome.failure;
}

int undoOne(connection::SharedConnection& shared, const NamedAccountSet& set, std::ostream& out,
            std::ostream& err) {
  audit::TextWorkbench bench;
  const audit::UndoOutcome outcome = audit::runUndo(shared, bench, {{}, set.identity()});
  shared.shutDown();
  printReport(bench, out);

  std::string failures = outcome.failure;
  addFailure(failures, failureOf("non-leaf", outcome.nonLeaf));
  addFailure(failures, failureOf("leaf", outcome.leaf));
  if (!outcome.ran) failures = "the file was not open";
  return exitCodeFor(failures, "cannot undo the last repair of " + set.name, err);
}

}  // namespace

int runUndo(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
  return runOnAccountSets(
      "undo", words, out, err,
      [&](connection::SharedConnection& shared, const NamedAccountSet& set) {
        return undoOne(shared, set, out, err);
      },
      Scope::One);
}

}  // namespace leafward::cli
