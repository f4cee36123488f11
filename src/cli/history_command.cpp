#include <ostream>

#include "audit/history.h"
#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/reasons.h"

namespace leafward::cli {

int runHistory(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
  const std::optional<NamedAccountSet> set = oneAccountSet("history", words, err);
  if (!set) return kExitFailed;
  audit::History history;
  try {
    history = audit::listHistory({{}, set->identity()});
  } catch (const std::exception& error) {
    history.failure = error.what();
  }
  if (!history.failure.empty()) {
    writeReason(err, history.failure);
    return kExitFailed;
  }
  std::string lines;
  for (const std::string& line : history.lines) lines += line + "\n";
  out << lines;
  out.flush();
  return kExitClean;
}

}  // namespace leafward::cli
