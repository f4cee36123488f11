#include "audit/update.h"

#include "audit/report.h"
#include "audit/statements.h"
#include "connection/steps.h"
#include "dataaccess/jet/write_refusal.h"

namespace leafward::audit {
namespace {

using connection::attempt;
using connection::SharedConnection;
using Reason = jet::WriteRefused::Reason;

// Why an Access file refused a repair, in the words of the report.
std::string refusalText(Reason reason) {
  switch (reason) {
    case Reason::ColumnNotWritable:
      return "bend字段不是是/否字段";
    case Reason::IndexedColumn:
      return "bend字段带有索引";
    case Reason::ReadOnly:
      return "文件或文件夹只读";
    case Reason::Locked:
      return "文件正被其他程序使用";
    case Reason::UnknownRowLayout:
      return "无法识别的记录格式";
    case Reason::RowChanged:
      return "记录在读取后已被其他程序修改";
    case Reason::PendingRollback:
      return "上次中断的修改无法撤销";
  }
  return "未知原因";
}

// Runs the statement in strSQL. A refusal keeps its reason, worded for the report when the
// provider says what kind of refusal it was.
RepairOutcome repair(SharedConnection& shared, std::string& reportReason) {
  RepairOutcome outcome;
  outcome.failed = !attempt(
      [&] {
        try {
          outcome.count = shared.executeUpdate();
        } catch (const jet::WriteRefused& refused) {
          reportReason = refusalText(refused.reason());
          throw;
        }
      },
      &outcome.failure);
  if (outcome.failed && reportReason.empty()) reportReason = outcome.failure;
  return outcome;
}

void reportRepair(Workbench& bench, const RepairOutcome& outcome, const std::string& reason,
                  const std::string& flags) {
  if (outcome.count > 0) {
    attempt([&] {
      appendLine(bench, "有 " + std::to_string(outcome.count) + "个" + flags + "被更新");
    });
  }
  if (outcome.failed) attempt([&] { appendLine(bench, flags + "未能更新：" + reason); });
}

}  // namespace

UpdateOutcome runUpdate(SharedConnection& shared, Workbench& bench) {
  UpdateOutcome outcome;
  if (shared.cnData.state() != dataaccess::kAdStateOpen) return outcome;
  outcome.ran = true;

  shared.strSQL = kClearNonLeafFlagsStatement;
  busyOn(bench);
  std::string reason;
  outcome.nonLeaf = repair(shared, reason);
  reportRepair(bench, outcome.nonLeaf, reason, "非末级科目标志");

  shared.strSQL = setLeafFlagsStatement(shared.blnServer);
  reason.clear();
  outcome.leaf = repair(shared, reason);
  busyOff(bench);
  reportRepair(bench, outcome.leaf, reason, "末级科目标志");
  return outcome;
}

}  // namespace leafward::audit
