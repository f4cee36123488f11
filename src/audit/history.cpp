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

HistoryEntry::State entryState(record::RepairState state) {
  switch (state) {
    case record::RepairState::Planned:
      return HistoryEntry::State::Planned;
    case record::RepairState::Interrupted:
      return HistoryEntry::State::Interrupted;
    case record::RepairState::Failed:
      return HistoryEntry::State::Failed;
    case record::RepairState::Partial:
      return HistoryEntry::State::Partial;
    case record::RepairState::Undone:
      return HistoryEntry::State::Undone;
    case record::RepairState::Done:
      break;
  }
  return HistoryEntry::State::Done;
}

// Calls `each(reading, index)` for the repairs of the record, newest first; the reason when the
// record cannot be read, otherwise nothing.
template <class Each>
std::string eachRepairNewestFirst(const RecordTarget& target, Each&& each) {
  try {
    const record::RecordReading reading = record::readRecord(target.folder, target.accountSet);
    for (std::size_t i = reading.repairs.size(); i-- > 0;) each(reading, i);
  } catch (const std::exception& error) {
    return error.what();
  }
  return {};
}

// The one place that reads a repair of the record for readHistory.
HistoryEntry entryOf(const record::RecordReading& reading, std::size_t index) {
  const record::Repair& repair = reading.repairs[index];
  HistoryEntry entry{repair.id,
                     repair.user,
                     repair.computer,
                     repair.version,
                     repair.undoes,
                     entryState(record::stateOf(reading.repairs, index, reading.repairUnderWay)),
                     {}};
  for (const record::Step& step : repair.steps) {
    HistoryEntry::Step& made = entry.steps.emplace_back();
    made.nonLeaf = step.direction == record::Direction::NonLeaf;
    for (const record::CodeChange& change : step.planned) {
      made.planned.push_back({change.code, change.before, change.after, change.row});
    }
    made.flagsChanged = record::flagsChanged(step);
    made.done = step.done();
    made.takenUp = !step.takeUps.empty();
    if (!step.confirmation) continue;
    made.confirmed = true;
    made.failed = step.confirmation->failed;
    if (step.confirmation->countKnown() && !made.failed) made.count = step.confirmation->count;
    made.note = step.confirmation->note;
  }
  return entry;
}

}  // namespace

HistoryEntries readHistory(const RecordTarget& target) {
  HistoryEntries history;
  history.failure =
      eachRepairNewestFirst(target, [&](const record::RecordReading& reading, std::size_t i) {
        history.entries.push_back(entryOf(reading, i));
      });
  if (!history.failure.empty()) history.entries.clear();
  return history;
}

History listHistory(const RecordTarget& target) {
  History history;
  history.failure =
      eachRepairNewestFirst(target, [&](const record::RecordReading& reading, std::size_t i) {
        history.lines.push_back(lineOf(reading, i));
      });
  if (!history.failure.empty()) {
    history.lines.clear();
  } else if (history.lines.empty()) {
    history.lines.push_back("没有修复记录");
  }
  return history;
}

}  // namespace leafward::audit
