#include "record/repair_states.h"

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
    if (!repair.undoes.empty() && repair.succeeded() && !undone.count(repair.id)) {
      undone.insert(repair.undoes);
    }
  }
  return undone;
}

std::optional<std::size_t> indexOf(const std::vector<Repair>& repairs, const std::string& id) {
  for (std::size_t i = 0; i < repairs.size(); ++i) {
    if (repairs[i].id == id) return i;
  }
  return std::nullopt;
}

}  // namespace

RepairState stateOf(const std::vector<Repair>& repairs, std::size_t index, bool repairUnderWay) {
  const Repair& repair = repairs.at(index);
  if (undoneIds(repairs).count(repair.id)) return RepairState::Undone;
  if (repair.finished()) return RepairState::Done;
  return repairUnderWay && index + 1 == repairs.size() ? RepairState::Planned
                                                       : RepairState::Interrupted;
}

bool changedNothing(const Repair& repair) {
  for (const Step& step : repair.steps) {
    if (!step.confirmation) return false;
    if (!step.confirmation->failed && step.confirmation->count > 0) return false;
    if (!step.confirmation->countKnown()) return false;
  }
  return true;
}

std::int64_t flagsChanged(const Step& step) {
  if (!step.confirmation || !step.confirmation->countKnown()) {
    return static_cast<std::int64_t>(step.planned.size());
  }
  return step.confirmation->failed ? 0 : step.confirmation->count;
}

std::optional<std::size_t> repairToUndo(const std::vector<Repair>& repairs) {
  const std::set<std::string> undone = undoneIds(repairs);
  for (std::size_t i = repairs.size(); i-- > 0;) {
    const Repair& repair = repairs[i];
    if (undone.count(repair.id)) continue;
    // An undo that stopped or failed in part or whole is taken up again.
    if (!repair.undoes.empty() && !repair.succeeded()) {
      if (undone.count(repair.undoes)) continue;
      return indexOf(repairs, repair.undoes);
    }
    if (changedNothing(repair)) continue;
    return i;
  }
  return std::nullopt;
}

}  // namespace leafward::record
