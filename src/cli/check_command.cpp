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

int runCheck(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 1) {
    err << "usage: leafward-cli check FILE\n";
    return kCannotRead;
  }
  const std::string& file = args[0];
  connection::SharedConnection shared;
  if (!openAccountSet(shared, file, err)) return kCannotRead;

  audit::TextWorkbench bench;
  const audit::CheckOutcome outcome = audit::runCheck(shared, bench);
  shared.shutDown();
  if (outcome.end == audit::CheckEnd::EndedEarly && !outcome.failure.empty()) {
    err << "leafward-cli: cannot read " << file << ": " << onOneLine(outcome.failure) << "\n";
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
