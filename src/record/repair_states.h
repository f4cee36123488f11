#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "record/repair.h"

namespace leafward::record {

// The chain of repairs of one account set, as its record keeps it.
//
// An entry of the record is a repair: an Update, or an undo that names the entry it puts
// back. It has one statement per kind of flag (non-leaf, then leaf), and each statement a plan:
// the rows it will change, each with its flag before and after.
//
// C1  A plan is written down and made durable before any statement of its entry runs; no row
//     outside its statement's plan is ever changed by that statement.
// C2  Each statement is carried out all or nothing (one journal on an Access file, one
//     transaction or one UPDATE on SQL Server) and then confirmed: done, with the rows it
//     changed, or failed, having changed nothing.
// C3  An entry is settled when every statement is done, or when none changed anything (each
//     failed: such an entry did nothing and is left as it is), or when a statement not done was
//     given up (C4). Any other entry is unsettled: a statement was never confirmed (a kill, the
//     power, a record that could not be written), or failed beside one that changed rows. Only
//     the last entry of a record can be unsettled.
// C4  Every Update and undo of the account set first takes up an unsettled last entry: each of
//     its statements not done is carried out from its plan, all or nothing: a planned row that
//     holds the flag before gets the flag after; one that holds the flag after already counts as
//     done; one that is gone, or (named by its code alone) whose code's rows no longer add up,
//     is left alone and written down as such. While the take-up fails, the command does nothing
//     else and says why; a take-up refused for a reason that waiting cannot mend (an index on the
//     flag, a row it cannot change safely) gives the statement up instead.
// C5  The rows an entry changed are the planned rows of its statements that are done, less
//     those a take-up left alone. An entry that changed rows, or may have, is undoable.
// C6  An undo puts back the last undoable entry that is not undone, where an entry is undone by
//     a later undo that succeeded (every statement done) and is not undone itself. Its plan is
//     that entry's changed rows that still hold the flag after, each set back to the flag
//     before, in both directions; a row changed since, gone, or (named by its code alone) of a
//     code that more rows hold with that flag than the entry changed is left alone and listed.
//     An undo whose every row was left alone still succeeds: the entry counts as undone, and the
//     undo after it moves on to the entry before.
// C7  An undo command that took up an unsettled undo stops there: that undo was the one asked
//     for. After an unsettled Update it goes on to put that Update back.
//
// So whatever Updates and undos run, each possibly stopped at any write and taken up by the next
// command, the account set is in a state that completed commands give: an undo of an undo
// re-applies exactly what the first put back, and successive undos alternate between two whole
// states.

// Whether a statement changed rows, or may have: done with a count that is not known to be 0,
// or never confirmed.
bool mayHaveChanged(const Step& step);

// C3.
bool settled(const Repair& repair);

// C5: the planned rows of a done statement, less those its take-ups left alone; none when it is
// not done.
std::vector<CodeChange> rowsChanged(const Step& step);

// Whether the repair certainly changed nothing: no statement may have changed rows.
bool changedNothing(const Repair& repair);

// The flags a statement changed as far as the record knows: its confirmed counts, or the rows
// it planned when it was not confirmed; none when it failed.
std::int64_t flagsChanged(const Step& step);

// How a repair stands, as its record shows it.
enum class RepairState {
  Planned,      // its codes are written down and it is running now
  Done,         // every statement carried out
  Failed,       // every statement failed: it changed nothing
  Partial,      // a statement was given up, another carried out
  Interrupted,  // unsettled: the next Update or undo takes it up
  Undone,       // a later undo that succeeded, and is not undone itself, put it back
};

// The state of repairs[index]; `repairUnderWay` says that a repair holds the record now, which
// can only be the last one.
RepairState stateOf(const std::vector<Repair>& repairs, std::size_t index, bool repairUnderWay);

// Whether some statement of the repair was carried out by a take-up.
bool takenUp(const Repair& repair);

// C6: the entry an undo puts back, when nothing needs taking up; nothing when there is none.
// `repairs` may be the last entries of a record only: nothing then means none among them.
std::optional<std::size_t> repairToUndo(const std::vector<Repair>& repairs);

// What an undo command does (C4, C6, C7): takes up the unsettled last entry, if there is one,
// and puts back `target`. When the entry taken up is an undo, `target` is the entry that undo
// puts back and nothing more is put back after the take-up.
struct UndoChoice {
  std::optional<std::size_t> takeUp;
  std::optional<std::size_t> target;
  bool finishesUndo() const { return takeUp.has_value() && target != takeUp; }
};
UndoChoice chooseUndo(const std::vector<Repair>& repairs);

}  // namespace leafward::record
