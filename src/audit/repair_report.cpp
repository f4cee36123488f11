#include "audit/repair_report.h"

#include "audit/report.h"
#include "connection/steps.h"

namespace leafward::audit {

using connection::attempt;
using dataaccess::ErrorKind;

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

RepairRun runRepair(const std::function<std::int64_t()>& statement) {
  RepairRun run;
  run.outcome.failed = !attempt(
      [&] {
        try {
          run.outcome.count = statement();
        } catch (const dataaccess::DataAccessError& error) {
          run.reason = refusalText(error.kind());
          run.kind = error.kind();
          throw;
        }
      },
      &run.outcome.failure);
  if (run.outcome.failed) {
    run.outcome.count = 0;
    if (run.reason.empty()) run.reason = run.outcome.failure;
  }
  return run;
}

void reportRepair(Workbench& bench, const RepairRun& repair, std::string_view flags,
                  std::string_view done) {
  const std::string kind(flags), verb(done);
  if (repair.outcome.count > 0) {
    attempt([&] {
      appendLine(bench, "有 " + std::to_string(repair.outcome.count) + "个" + kind + "被" + verb);
    });
  }
  if (repair.outcome.failed) {
    attempt([&] { appendLine(bench, kind + "未能" + verb + "：" + repair.reason); });
  }
  for (const std::string& notice : repair.notices) {
    attempt([&] { appendLine(bench, "注意：" + notice); });
  }
}

std::string_view flagsOf(record::Direction direction) {
  return direction == record::Direction::NonLeaf ? kNonLeafFlags : kLeafFlags;
}

void listRows(Workbench& bench, record::Direction direction,
              const std::vector<record::CodeChange>& rows, std::string_view why) {
  if (rows.empty()) return;
  std::string list;
  for (const record::CodeChange& row : rows) {
    if (!list.empty()) list += ',';
    list += row.code.value_or("");
  }
  attempt([&] {
    appendLine(bench, "如下" + std::string(flagsOf(direction)) + std::string(why) + "：" + list);
  });
}

}  // namespace leafward::audit
