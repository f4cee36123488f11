#include "audit/update.h"

#include <vector>

#include "audit/report.h"
#include "audit/statements.h"
#include "connection/steps.h"
#include "dataaccess/errors.h"

namespace leafward::audit {
namespace {

using connection::attempt;
using connection::SharedConnection;
using dataaccess::ErrorKind;

// Why the database refused a repair, in the words of the report; empty for a failure of no
// particular kind, which keeps the provider's own words.
std::string refusalText(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::General:
      return {};
    case ErrorKind::ColumnNotWritable:
      return "bend字段不是是/否字段";
    case ErrorKind::IndexedColumn:
      return "bend字段带有索引";
    case ErrorKind::ReadOnly:
      return "文件或文件夹只读";
    case ErrorKind::InUse:
      return "文件正被其他程序使用";
    case ErrorKind::BeingUpdated:
      return "文件正被其他程序修改";
    case ErrorKind::UnknownLayout:
      return "无法识别的记录格式";
    case ErrorKind::ChangedSinceRead:
      return "记录在读取后已被其他程序修改";
    case ErrorKind::PendingRollback:
      return "上次中断的修改无法撤销";
    case ErrorKind::MultipleNames:
      return "文件有多个硬链接";
    case ErrorKind::NameTooLong:
      return "文件名过长";
  }
  return {};
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
        } catch (const dataaccess::DataAccessError& error) {
          repair.reason = refusalText(error.kind());
          throw;
        }
      },
      &repair.outcome.failure);
  if (repair.outcome.failed && repair.reason.empty()) repair.reason = repair.outcome.failure;
  return repair;
}

// "有 N个...被更新" for a repair that changed rows; "...未能更新：why" for one that failed;
// then "注意：what" for anything else the database said of it.
void report(Workbench& bench, const Repair& repair, const std::string& flags,
            const std::vector<std::string>& notices) {
  if (repair.outcome.count > 0) {
    attempt([&] {
      appendLine(bench, "有 " + std::to_string(repair.outcome.count) + "个" + flags + "被更新");
    });
  }
  if (repair.outcome.failed) {
    attempt([&] { appendLine(bench, flags + "未能更新：" + repair.reason); });
  }
  for (const std::string& notice : notices) {
    attempt([&] { appendLine(bench, "注意：" + notice); });
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
  report(bench, nonLeaf, "非末级科目标志", shared.cnData.takeNotices());

  shared.strSQL = setLeafFlagsStatement(shared.blnServer);
  const Repair leaf = repair(shared);
  busyOff(bench);
  report(bench, leaf, "末级科目标志", shared.cnData.takeNotices());

  outcome.nonLeaf = nonLeaf.outcome;
  outcome.leaf = leaf.outcome;
  return outcome;
}

}  // namespace leafward::audit
