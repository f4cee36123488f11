#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "record/account_set.h"

namespace leafward::record {

// Which flags a statement of a repair sets: those of codes with a longer code under them
// (non-leaf codes), or those of codes without (leaf codes).
enum class Direction { NonLeaf, Leaf };

// One row whose flag a statement changes: named by its code and, where the database keeps rows
// at places it can name (an Access file: "812:3", the data page and the row's entry on it), by
// that place too, so that the very row can be found again.
struct CodeChange {
  CodeChange() = default;
  CodeChange(std::optional<std::string> code, bool before, bool after, std::string row = {})
      : code(std::move(code)), before(before), after(after), row(std::move(row)) {}

  std::optional<std::string> code;  // nothing: the code is NULL
  bool before = false;
  bool after = false;
  std::string row;  // empty: the code is all that names the row
  bool operator==(const CodeChange&) const = default;
};

// The note of a statement that ran when the database could not say how many rows it changed:
// its count, 0, means nothing then.
inline constexpr std::string_view kCountUnknown =
    "数据库没有说明更新了多少行，所列科目代码未经核实";

// How a statement ended, as the row that confirms it says.
struct Confirmation {
  bool failed = false;
  std::int64_t count = 0;  // rows it changed
  std::string note;        // why it failed, or what else a reader must know
  bool countKnown() const { return failed || note != kCountUnknown; }
  bool operator==(const Confirmation&) const = default;
};

// A statement of an entry that stopped or failed, carried out from its plan by a later command
// (see repair_states.h): who did it and when, how it ended, and the planned rows it left alone
// (gone, or changed otherwise since).
struct TakeUp {
  std::string time;  // as a repair's id
  std::string user, computer, version;
  Confirmation confirmation;
  // Refused for a reason that waiting cannot mend (an index on the flag, a row it cannot
  // change safely): never tried again.
  bool abandoned = false;
  std::vector<CodeChange> leftAlone;
  bool operator==(const TakeUp&) const = default;
};

// One statement of a repair: the rows it was planned to change, written down before it ran,
// how it ended, and how later commands carried it out when it had not.
struct Step {
  Step() = default;
  Step(Direction direction, std::string statement, std::vector<CodeChange> planned = {},
       std::optional<Confirmation> confirmation = {}, std::vector<TakeUp> takeUps = {})
      : direction(direction),
        statement(std::move(statement)),
        planned(std::move(planned)),
        confirmation(std::move(confirmation)),
        takeUps(std::move(takeUps)) {}

  Direction direction = Direction::NonLeaf;
  std::string statement;
  std::vector<CodeChange> planned;
  std::optional<Confirmation> confirmation;
  std::vector<TakeUp> takeUps;

  // The planned codes are exactly the rows it changed: it ran and changed as many rows as
  // were listed, with nothing noted. A count that differs means the account set changed
  // between the read that listed them and the statement; a note says the count is unknown or
  // other rows changed.
  bool exact() const {
    return confirmation && !confirmation->failed && confirmation->note.empty() &&
           confirmation->count == static_cast<std::int64_t>(planned.size());
  }
  // Carried out: confirmed done by the command that planned it, or by a take-up.
  bool done() const {
    if (confirmation && !confirmation->failed) return true;
    for (const TakeUp& takeUp : takeUps) {
      if (!takeUp.confirmation.failed) return true;
    }
    return false;
  }
  // Failed for good: it was not carried out, and a take-up gave it up.
  bool abandoned() const { return !takeUps.empty() && takeUps.back().abandoned; }
  bool operator==(const Step&) const = default;
};

// One repair of an account set: an Update, or an undo of an earlier repair.
struct Repair {
  std::string id;  // the local time it began, with the UTC offset, to the millisecond
  std::string user, computer, version;
  AccountSet accountSet;
  std::string undoes;  // the id of the repair this one put back; empty for an Update
  std::vector<Step> steps;

  bool isUndo() const { return !undoes.empty(); }
  // Every statement confirmed by the command that ran it (done or failed).
  bool finished() const {
    for (const Step& step : steps) {
      if (!step.confirmation) return false;
    }
    return true;
  }
  // Every statement carried out.
  bool succeeded() const {
    for (const Step& step : steps) {
      if (!step.done()) return false;
    }
    return true;
  }
  std::size_t plannedCount() const {
    std::size_t count = 0;
    for (const Step& step : steps) count += step.planned.size();
    return count;
  }
  bool operator==(const Repair&) const = default;
};

}  // namespace leafward::record
