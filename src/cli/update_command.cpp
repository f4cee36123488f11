#include <ostream>

#include "audit/recorded_update.h"
#include "audit/update.h"
#include "audit/workbench.h"
#include "cli/command_line.h"
#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/reasons.h"

namespace leafward::cli {
namespace {

void addFailure(std::string& failures, const std::string& failure) {
  if (failure.empty()) return;
  if (!failures.empty()) failures += "; ";
  failures += failure;
}

void addFailure(std::string& failures, const char* repair, const audit::RepairOutcome& outcome) {
  if (!outcome.failed) return;
  addFailure(failures,
             std::string("the repair of the ") + repair + " flags failed: " + outcome.failure);
}

int updateOne(connection::SharedConnection& shared, const NamedAccountSet& set, bool recorded,
              std::ostream& out, std::ostream& err) {
  audit::TextWorkbench bench;
  const audit::UpdateOutcome outcome =
      recorded ? audit::runRecordedUpdate(shared, bench, {{}, set.identity()})
               : audit::runUpdate(shared, bench);
  shared.shutDown();
  printReport(bench, out);

  std::string failures;
  if (!outcome.recordFailure.empty()) {
    addFailure(failures, "the record of the repair could not be written: " + outcome.recordFailure);
  }
  addFailure(failures, "non-leaf", outcome.nonLeaf);
  addFailure(failures, "leaf", outcome.leaf);
  if (!outcome.ran) failures = "the file was not open";
  if (failures.empty()) return kExitClean;
  writeReason(err, "cannot update " + set.name + ": " + failures);
  return kExitFailed;
}

}  // namespace

int runUpdate(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
  std::vector<std::string> args = words;
  const bool recorded = !takeFlag(args, "--no-record");
  return runOnAccountSets("update", args, out, err,
                          [&](connection::SharedConnection& shared, const NamedAccountSet& set) {
                            return updateOne(shared, set, recorded, out, err);
                          });
}

}  // namespace leafward::cli
