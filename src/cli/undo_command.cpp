#include <ostream>

#include "audit/undo.h"
#include "audit/workbench.h"
#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/reasons.h"

namespace leafward::cli {
namespace {

void addFailure(std::string& failures, const char* kind, const audit::RepairOutcome& outcome) {
  if (!outcome.failed) return;
  if (!failures.empty()) failures += "; ";
  failures += std::string("the ") + kind + " flags could not be put back: " + outcome.failure;
}

int undoOne(connection::SharedConnection& shared, const NamedAccountSet& set, std::ostream& out,
            std::ostream& err) {
  audit::TextWorkbench bench;
  const audit::UndoOutcome outcome = audit::runUndo(shared, bench, {{}, set.identity()});
  shared.shutDown();
  printReport(bench, out);

  std::string failures = outcome.failure;
  addFailure(failures, "non-leaf", outcome.nonLeaf);
  addFailure(failures, "leaf", outcome.leaf);
  if (!outcome.ran) failures = "the file was not open";
  if (failures.empty()) return kExitClean;
  writeReason(err, "cannot undo the last repair of " + set.name + ": " + failures);
  return kExitFailed;
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
