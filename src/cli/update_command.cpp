#include <ostream>

#include "audit/update.h"
#include "audit/workbench.h"
#include "cli/command_support.h"
#include "cli/commands.h"
#include "connection/shared_connection.h"

namespace leafward::cli {
namespace {

constexpr int kBothRan = 0;
constexpr int kRefused = 2;

void addFailure(std::string& failures, const char* repair, const audit::RepairOutcome& outcome) {
  if (!outcome.failed) return;
  if (!failures.empty()) failures += "; ";
  failures += std::string("the repair of the ") + repair + " flags failed: " + outcome.failure;
}

}  // namespace

int runUpdate(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
  connection::SharedConnection shared;
  const std::optional<std::string> name = openAccountSet("update", words, shared, err);
  if (!name) return kRefused;

  audit::TextWorkbench bench;
  const audit::UpdateOutcome outcome = audit::runUpdate(shared, bench);
  shared.shutDown();
  printReport(bench, out);

  std::string failures;
  addFailure(failures, "non-leaf", outcome.nonLeaf);
  addFailure(failures, "leaf", outcome.leaf);
  if (!outcome.ran) failures = "the file was not open";
  if (failures.empty()) return kBothRan;
  err << "leafward-cli: cannot update " << *name << ": " << onOneLine(failures) << "\n";
  return kRefused;
}

}  // namespace leafward::cli
