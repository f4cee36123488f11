#include <ostream>

#include "audit/check.h"
#include "audit/workbench.h"
#include "cli/command_support.h"
#include "cli/commands.h"
#include "connection/shared_connection.h"

namespace leafward::cli {
namespace {

constexpr int kNoErrors = 0;
constexpr int kErrorsReported = 1;
constexpr int kCannotRead = 2;
constexpr int kNoVerdict = 3;

}  // namespace

int runCheck(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
  connection::SharedConnection shared;
  const std::optional<std::string> name = openAccountSet("check", words, shared, err);
  if (!name) return kCannotRead;

  audit::TextWorkbench bench;
  const audit::CheckOutcome outcome = audit::runCheck(shared, bench);
  shared.shutDown();
  if (outcome.end == audit::CheckEnd::EndedEarly && !outcome.failure.empty()) {
    err << "leafward-cli: cannot read " << *name << ": " << onOneLine(outcome.failure) << "\n";
    return kCannotRead;
  }

  printReport(bench, out);
  if (outcome.end != audit::CheckEnd::Finished) {
    err << "leafward-cli: the check ended without a verdict (the code table holds no codes)\n";
    return kNoVerdict;
  }
  return bench.text == "没有发现错误" ? kNoErrors : kErrorsReported;
}

}  // namespace leafward::cli
