#include <ostream>

#include "audit/recorded_update.h"
#include "audit/update.h"
#include "audit/workbench.h"
#include "cli/command_line.h"
#include "cli/command_support.h"
#include "cli/commands.h"

namespace leafward::cli {
namespace {

// Why a repair statement failed, for the reason on stderr.
std::string failureOf(const char* repair, const audit::RepairOutcome& outcome) {
  if (!outcome.failed) return {};
  return std::string("the repair of the ") + repair + " flags failed: " + outcome.failure;
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
  addFailure(failures, failureOf("non-leaf", outcome.nonLeaf));
  addFailure(failures, failureOf("leaf", outcome.leaf));
  if (!outcome.ran) failures = "the file was not open";
  return exitCodeFor(failures, "cannot update " + set.name, err);
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
