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

struct Repair {
  RepairOutcome outcome;
  std::string reason;  // why it failed, in the words of the report
};

// Runs the statement in strSQL. A refusal whose kind the provider names is worded for the
// report; any other failure keeps the provider's own words.
Repair repair(SharedConnection& shared) {
  Repair repair;
  repair.outcome.failed = !attempt(
      [&] {
        try {
          repair.outcome.count = shared.executeUpdate();
        } catch (const jet::WriteRefused& refused) {
          repair.reason = refusalText(refused.reason());
          throw;
        }
      },
      &repair.outcome.failure);
  if (repair.outcome.failed && repair.reason.empty()) repair.reason = repair.outcome.failure;
  return repair;
}

// "有 N个...被更新" for a repair that changed rows; "...未能更新：why" for one that failed.
void report(Workbench& bench, const Repair& repair, const std::string& flags) {
  if (repair.outcome.count > 0) {
    attempt([&] {
      appendLine(bench, "有 " + std::to_string(repair.outcome.count) + "个" + flags + "被更新");
    });
  }
  if (repair.outcome.failed) {
    attempt([&] { appendLine(bench, flags + "未能更新：" + repair.reason); });
  }
}

}  // namespace

UpdateOutcome runUpdate(SharedConnection& shared, Workbench& bench) {
  UpdateOutcome outcome;
  if (shared.cnData.state() != dataaccess::kAdStateOpen) return outcome;
  outcome.ran = true;

  shared.strSQL = kClearNonLeafFlagsStatement;
  busyOn(bench);
  const Repair nonLeaf = repair(shared);
  report(bench, nonLeaf, "非末级科目标志");

  shared.strSQL = setLeafFlagsStatement(shared.blnServer);
  const Repair leaf = repair(shared);
  busyOff(bench);
  report(bench, leaf, "末级科目标志");

  outcome.nonLeaf = nonLeaf.outcome;
  outcome.leaf = leaf.outcome;
  return outcome;
}

}  // namespace leafward::audit
