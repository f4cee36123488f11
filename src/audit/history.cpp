#include "audit/history.h"

#include "audit/repair_report.h"
#include "record/record_file.h"
#include "record/repair_states.h"

namespace leafward::audit {
namespace {

const char* stateName(record::RepairState state) {
  switch (state) {
    case record::RepairState::Planned:
      return "计划中";
    case record::RepairState::Done:
      return "已完成";
    case record::RepairState::Interrupted:
      return "已中断";
    case record::RepairState::Failed:
      return "未能完成";
    case record::RepairState::Partial:
      return "部分完成";
    case record::RepairState::Undone:
      return "已撤销";
  }
  return "";
}

// "非末级科目标志 3个", "非末级科目标志未能更新" or, unconfirmed, "非末级科目标志 3个（未确认）".
std::string stepText(const record::Step& step) {
  std::string text(flagsOf(step.direction));
  if (!step.done() && (step.confirmation || step.abandoned())) return text + "未能更新";
  text += ' ';
  text += std::to_string(record::flagsChanged(step));
  text += "个";
  return step.confirmation || step.done() ? text : text + "（未确认）";
}

std::string lineOf(const record::RecordReading& reading, std::size_t index) {
  const record::Repair& repair = reading.repairs[index];
  std::string line = repair.id + " " + repair.user + "@" + repair.computer + " " +
                     (repair.undoes.empty() ? "修复" : "撤销 " + repair.undoes) + "：";
  for (const record::Step& step : repair.steps) line += stepText(step) + "，";
  line += stateName(record::stateOf(reading.repairs, index, reading.repairUnderWay));
  return record::takenUp(repair) ? line + "（中断后续做）" : line;
}

}  // namespace

History listHistory(const RecordTarget& target) {
  History history;
  try {
    const record::RecordReading reading = record::readRecord(target.folder, target.accountSet);
    for (std::size_t i = reading.repairs.size(); i-- > 0;) {
      history.lines.push_back(lineOf(reading, i));
    }
    if (history.lines.empty()) history.lines.push_back("没有修复记录");
  } catch (const std::exception& error) {
    history.lines.clear();
    history.failure = error.what();
  }
  return history;
}

}  // namespace leafward::audit
