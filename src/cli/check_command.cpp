#include <ostream>

#include "audit/check.h"
#include "audit/workbench.h"
#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/reasons.h"

namespace leafward::cli {
namespace {

int checkOne(connection::SharedConnection& shared, const std::string& name, std::ostream& out,
             std::ostream& err) {
  audit::TextWorkbench bench;
  const audit::CheckOutcome outcome = audit::runCheck(shared, bench);
  shared.shutDown();
  for (const std::string& notice : outcome.notices) writeReason(err, name + ": " + notice);
  if (outcome.end == audit::CheckEnd::EndedEarly && !outcome.failure.empty()) {
    writeReason(err, "cannot read " + name + ": " + outcome.failure);
    return kExitFailed;
  }

  printReport(bench, out);
  if (outcome.end != audit::CheckEnd::Finished) {
    writeReason(
        err, "the check of " + name + " ended without a verdict (the code table holds no codes)");
    return kExitNoVerdict;
  }
  return bench.text == "没有发现错误" ? kExitClean : kExitErrorsFound;
}

}  // namespace

int runCheck(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
  return runOnAccountSets("check", words, out, err,
                          [&](connection::SharedConnection& shared, const NamedAccountSet& set) {
                            return checkOne(shared, set.name, out, err);
                          });
}

}  // namespace leafward::cli
