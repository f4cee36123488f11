#include "audit/update.h"

#include "audit/repair_report.h"
#include "audit/report.h"
#include "audit/statements.h"

namespace leafward::audit {

UpdateOutcome runUpdate(connection::SharedConnection& shared, Workbench& bench) {
  UpdateOutcome outcome;
  if (shared.cnData.state() != dataaccess::kAdStateOpen) return outcome;
  outcome.ran = true;
  const auto runStrSQL = [&] { return shared.executeUpdate(); };

  shared.strSQL = kClearNonLeafFlagsStatement;
  busyOn(bench);
  RepairRun nonLeaf = runRepair(runStrSQL);
  nonLeaf.notices = shared.cnData.takeNotices();
  reportRepair(bench, nonLeaf, kNonLeafFlags);

  shared.strSQL = setLeafFlagsStatement(shared.blnServer);
  RepairRun leaf = runRepair(runStrSQL);
  leaf.notices = shared.cnData.takeNotices();
  busyOff(bench);
  reportRepair(bench, leaf, kLeafFlags);

  outcome.nonLeaf = nonLeaf.outcome;
  outcome.leaf = leaf.outcome;
  return outcome;
}

}  // namespace leafward::audit
