#include "audit/check.h"

#include "audit/code_details.h"
#include "audit/coding_scheme.h"
#include "audit/report.h"
#include "audit/statements.h"
#include "connection/steps.h"

namespace leafward::audit {
namespace {

using connection::attempt;
using connection::holdsOrFails;
using connection::SharedConnection;

// Runs the list query in strSQL and adds the codes it lists to `wrongFlags`, each row's code in
// the order delivered; false when the check has to end because it left no open recordset.
bool listCodes(SharedConnection& shared, WrongFlagKind kind, std::string& failure,
               std::vector<WrongFlag>& wrongFlags) {
  attempt([&] { shared.executeQuery(); }, &failure);
  if (holdsOrFails([&] { return shared.rsData->state() == dataaccess::kAdStateClosed; }))
    return false;
  attempt([&] {
    dataaccess::Recordset& rows = *shared.rsData;
    wrongFlags.reserve(wrongFlags.size() + static_cast<std::size_t>(rows.recordCount()));
    for (; !rows.eof(); rows.moveNext()) {
      WrongFlag& wrong = wrongFlags.emplace_back();
      wrong.kind = kind;
      wrong.code = codeOf(rows.field(0));
    }
  });
  attempt([&] { shared.rsData->close(); });
  return true;
}

// Runs the statements of a Check into `outcome`; true when it got to its end.
bool readFindings(SharedConnection& shared, CheckOutcome& outcome) {
  Findings& findings = outcome.findings;
  shared.strSQL = nonLeafFlaggedAsLeafQuery(shared.blnServer);
  if (!listCodes(shared, WrongFlagKind::NonLeafFlaggedAsLeaf, outcome.failure,
                 findings.wrongFlags)) {
    return false;
  }
  shared.strSQL = leafFlaggedAsNonLeafQuery(shared.blnServer);
  outcome.failure.clear();
  if (!listCodes(shared, WrongFlagKind::LeafFlaggedAsNonLeaf, outcome.failure,
                 findings.wrongFlags)) {
    return false;
  }
  outcome.failure.clear();
  findings.scheme = readCodingScheme(shared, &outcome.failure);
  return findings.scheme.has_value();
}

}  // namespace

CheckOutcome runCheck(SharedConnection& shared, Workbench& bench, Details details) {
  CheckOutcome outcome;
  if (shared.cnData.state() != dataaccess::kAdStateOpen) return outcome;
  busyOn(bench);
  // Every statement of the Check, and the details read after them, read the same state of the
  // account set, let go however the Check ends.
  std::unique_ptr<dataaccess::ReadState> oneState;
  const bool finished =
      attempt([&] { oneState = shared.cnData.holdReadState(); }, &outcome.failure) &&
      readFindings(shared, outcome);
  outcome.end = finished ? CheckEnd::Finished : CheckEnd::EndedEarly;
  // A check that ended early ended on a query that failed: the details are not looked for.
  if (finished && details == Details::Read) addDetails(shared, outcome.findings.wrongFlags);
  renderReport(outcome.findings, finished, bench);
  outcome.notices = shared.cnData.takeNotices();
  return outcome;
}

}  // namespace leafward::audit
