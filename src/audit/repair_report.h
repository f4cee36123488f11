#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "audit/update.h"
#include "audit/workbench.h"
#include "dataaccess/errors.h"
#include "record/repair.h"

namespace leafward::audit {

// One repair statement as the report tells it.
struct RepairRun {
  RepairOutcome outcome;
  std::string reason;  // why it failed, in the words of the report
  dataaccess::ErrorKind kind = dataaccess::ErrorKind::General;  // of the refusal
  // What else the database said of it (a journal whose removal may not be durable).
  std::vector<std::string> notices;
};

// Why the database refused a repair, in the words of the report; empty for a failure of no
// particular kind, which keeps the provider's own words.
std::string refusalText(dataaccess::ErrorKind kind);

// Runs one repair statement, which returns the rows it changed. A refusal whose kind the
// provider names is worded for the report; any other failure keeps the provider's own words.
RepairRun runRepair(const std::function<std::int64_t()>& statement);

// The flags of each kind, as the report names them.
inline constexpr std::string_view kNonLeafFlags = "非末级科目标志";
inline constexpr std::string_view kLeafFlags = "末级科目标志";

// "有 N个<flags>被<done>" for a repair that changed rows, and "<flags>未能<done>：why" for one
// that failed; `done` is "更新" for Update. Then "注意：what" for each notice.
void reportRepair(Workbench& bench, const RepairRun& repair, std::string_view flags,
                  std::string_view done = "更新");

// The flags a statement of that direction sets, as the report names them.
std::string_view flagsOf(record::Direction direction);

// "如下<flags><why>：1001,1002", the codes of `rows` in order, a NULL code as an empty entry as
// Check lists them; nothing when there are none. `why` ends with what was not done
// ("...，未恢复").
void listRows(Workbench& bench, record::Direction direction,
              const std::vector<record::CodeChange>& rows, std::string_view why);

}  // namespace leafward::audit
