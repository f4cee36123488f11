#include "audit/check.h"

#include "audit/coding_scheme.h"
#include "audit/report.h"
#include "audit/statements.h"
#include "connection/steps.h"

namespace leafward::audit {
namespace {

using connection::attempt;
using connection::holds;
using connection::SharedConnection;

constexpr const char* kNoErrors = "没有发现错误";

// Runs the list query in strSQL; false when the check has to end because it left no open
// recordset. `writeList` puts the list into the report when the query found codes.
template <class WriteList>
bool listCodes(SharedConnection& shared, std::string& failure, WriteList&& writeList) {
  attempt([&] { shared.executeQuery(); }, &failure);
  if (holds([&] { return shared.rsData->state() == dataaccess::kAdStateClosed; })) return false;
  if (holds([&] { return !shared.rsData->eof(); })) writeList();
  attempt([&] { shared.rsData->close(); });
  return true;
}

// Every row's code followed by ",", NULL as an empty entry.
std::string codeList(SharedConnection& shared) {
  return shared.rsData->getString(dataaccess::kAdClipString, -1, "", ",", "");
}

CheckOutcome checkOpenAccountSet(SharedConnection& shared, Workbench& bench) {
  std::string failure;

  shared.strSQL = nonLeafFlaggedAsLeafQuery(shared.blnServer);
  busyOn(bench);
  const bool firstListed = listCodes(shared, failure, [&] {
    attempt([&] { replaceReport(bench, "如下非末级科目标志有误：" + codeList(shared)); });
    attempt([&] { dropLastCharacter(bench); });
  });
  if (!firstListed) return {CheckEnd::EndedEarly, failure, {}};

  shared.strSQL = leafFlaggedAsNonLeafQuery(shared.blnServer);
  failure.clear();
  const bool secondListed = listCodes(shared, failure, [&] {
    attempt([&] { appendLine(bench, "如下末级科目标志有误：" + codeList(shared)); });
    attempt([&] { dropLastCharacter(bench); });
  });
  if (!secondListed) return {CheckEnd::EndedEarly, failure, {}};

  failure.clear();
  if (!auditCodingScheme(shared, bench, &failure)) return {CheckEnd::EndedEarly, failure, {}};

  busyOff(bench);
  if (bench.reportText().empty()) replaceReport(bench, kNoErrors);
  return {CheckEnd::Finished, {}, {}};
}

}  // namespace

CheckOutcome runCheck(SharedConnection& shared, Workbench& bench) {
  if (shared.cnData.state() != dataaccess::kAdStateOpen) return {CheckEnd::NotOpen, {}, {}};
  // Every statement of the Check reads the same state of the account set, let go however the
  // Check ends.
  std::unique_ptr<dataaccess::ReadState> oneState;
  std::string failure;
  if (!attempt([&] { oneState = shared.cnData.holdReadState(); }, &failure)) {
    return {CheckEnd::EndedEarly, failure, shared.cnData.takeNotices()};
  }
  CheckOutcome outcome = checkOpenAccountSet(shared, bench);
  outcome.notices = shared.cnData.takeNotices();
  return outcome;
}

}  // namespace leafward::audit
