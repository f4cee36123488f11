#include <ostream>

#include "audit/update.h"
#include "audit/workbench.h"
#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/reasons.h"

namespace leafward::cli {
namespace {

void addFailure(std::string& failures, const char* repair, const audit::RepairOutcome& outcome) {
  if (!outcome.failed) return;
  if (!failures.empty()) failures += "; ";
  failures += std::string("the repair of the ") + repair + " flags failed: " + outcome.failure;
}

int updateOne(connection::SharedConnection& shared, const std::string& name, std::ostream& out,
              std::ostream& err) {
  audit::TextWorkbench bench;
  const audit::UpdateOutcome outcome = audit::runUpdate(shared, bench);
  shared.shutDown();
  printReport(bench, out);

  std::string failures;
  addFailure(failures, "non-leaf", outcome.nonLeaf);
  addFailure(failures, "leaf", outcome.leaf);
  if (!outcome.ran) failures = "the file was not open";
  if (failures.empty()) return kExitClean;
  writeReason(err, "cannot update " + name + ": " + failures);
  return kExitFailed;
}

}  // namespace

int runUpdate(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
  return runOnAccountSets("update", words, out, err,
                          [&](connection::SharedConnection& shared, const std::string& name) {
                            return updateOne(shared, name, out, err);
                          });
}

}  // namespace leafward::cli
