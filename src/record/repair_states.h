#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "record/repair.h"

namespace leafward::record {

// How a repair stands, as its record shows it.
enum class RepairState {
  Planned,      // its codes are written down and it is running now
  Done,         // every statement confirmed
  Interrupted,  // stopped before every statement was confirmed (killed, or the power went)
  Undone,       // a later undo that succeeded, and is not undone itself, put it back
};

// The state of repairs[index]; `repairUnderWay` says that a repair holds the record now, which
// can only be the last one.
RepairState stateOf(const std::vector<Repair>& repairs, std::size_t index, bool repairUnderWay);

// Whether the repair certainly changed nothing: every statement confirmed as failed or as
// having changed no row (a count the database could not give may be any).
bool changedNothing(const Repair& repair);

// The flags a statement changed as far as the record knows: its confirmed count, or the codes
// it listed when it was not confirmed; none when it failed.
std::int64_t flagsChanged(const Step& step);

// The repair an undo puts back: the last one not yet undone that may have changed flags. An
// undo that was interrupted, or had a statement fail, is taken up again: its repair is chosen
// once more. Nothing when there is none.
std::optional<std::size_t> repairToUndo(const std::vector<Repair>& repairs);

}  // namespace leafward::record
