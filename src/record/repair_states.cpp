#include "record/repair_states.h"

#include <algorithm>
#include <set>
#include <string>

namespace leafward::record {
namespace {

// A repair is undone by an undo that succeeded and is not undone in its turn. An undo names an
// earlier repair, so from the last backwards each undo is settled before the repair it names.
std::set<std::string> undoneIds(const std::vector<Repair>& repairs) {
  std::set<std::string> undone;
  for (std::size_t i = repairs.size(); i-- > 0;) {
    const Repair& repair = repairs[i];
    if (repair.isUndo() && repair.succeeded() && !undone.count(repair.id)) {
      undone.insert(repair.undoes);
    }
  }
  return undone;
}

std::optional<std::size_t> indexOf(const std::vector<Repair>& repairs, const std::string& id) {
  for (std::size_t i = repairs.size(); i-- > 0;) {
    if (repairs[i].id == id) return i;
  }
  return std::nullopt;
}

const TakeUp* completingTakeUp(const Step& step) {
  for (const TakeUp& takeUp : step.takeUps) {
    if (!takeUp.confirmation.failed) return &takeUp;
  }
  return nullptr;
}

bool doneByItsRun(const Step& step) {
  return step.confirmation && !step.confirmation->failed;
}

}  // namespace

std::vector<CodeChange> rowsChanged(const Step& step) {
  if (doneByItsRun(step)) return step.planned;
  const TakeUp* takeUp = completingTakeUp(step);
  if (!takeUp) return {};
  // The planned rows less those left alone, each left-alone row taking away one planned row.
  std::vector<CodeChange> rows = step.planned;
  for (const CodeChange& alone : takeUp->leftAlone) {
    const auto found = std::find(rows.begin(), rows.end(), alone);
    if (found != rows.end()) rows.erase(found);
  }
  return rows;
}

bool mayHaveChanged(const Step& step) {
  if (doneByItsRun(step)) return step.confirmation->count > 0 || !step.confirmation->countKnown();
  if (completingTakeUp(step)) return !rowsChanged(step).empty();
  // Never confirmed by the command that ran it: it may have run.
  return !step.confirmation && !step.planned.empty();
}

bool changedNothing(const Repair& repair) {
  return std::none_of(repair.steps.begin(), repair.steps.end(), mayHaveChanged);
}

bool settled(const Repair& repair) {
  const bool carriedOutOrGivenUp =
      std::all_of(repair.steps.begin(), repair.steps.end(),
                  [](const Step& step) { return step.done() || step.abandoned(); });
  return carriedOutOrGivenUp || (repair.finished() && changedNothing(repair));
}

std::int64_t flagsChanged(const Step& step) {
  if (doneByItsRun(step)) {
    return step.confirmation->countKnown() ? step.confirmation->count
                                           : static_cast<std::int64_t>(step.planned.size());
  }
  if (step.done()) return static_cast<std::int64_t>(rowsChanged(step).size());
  return step.confirmation ? 0 : static_cast<std::int64_t>(step.planned.size());
}

bool takenUp(const Repair& repair) {
  return std::any_of(repair.steps.begin(), repair.steps.end(),
                     [](const Step& step) { return !step.takeUps.empty(); });
}

RepairState stateOf(const std::vector<Repair>& repairs, std::size_t index, bool repairUnderWay) {
  const Repair& repair = repairs.at(index);
  if (undoneIds(repairs).count(repair.id)) return RepairState::Undone;
  if (repairUnderWay && index + 1 == repairs.size()) return RepairState::Planned;
  if (repair.succeeded()) return RepairState::Done;
  if (!settled(repair)) return RepairState::Interrupted;
  return changedNothing(repair) ? RepairState::Failed : RepairState::Partial;
}

std::optional<std::size_t> repairToUndo(const std::vector<Repair>& repairs) {
  const std::set<std::string> undone = undoneIds(repairs);
  for (std::size_t i = repairs.size(); i-- > 0;) {
    if (undone.count(repairs[i].id) || changedNothing(repairs[i])) continue;
    return i;
  }
  return std::nullopt;
}

UndoChoice chooseUndo(const std::vector<Repair>& repairs) {
  UndoChoice choice;
  if (!repairs.empty() && !settled(repairs.back())) {
    const std::size_t last = repairs.size() - 1;
    choice.takeUp = last;
    choice.target = repairs[last].isUndo() ? indexOf(repairs, repairs[last].undoes) : last;
    return choice;
  }
  choice.target = repairToUndo(repairs);
  return choice;
}

}  // namespace leafward::record
