#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "record/account_set.h"

namespace leafward::record {

// Which flags a statement of a repair sets: those of codes with a longer code under them
// (non-leaf codes), or those of codes without (leaf codes).
enum class Direction { NonLeaf, Leaf };

// One row whose flag a statement changes, named by its code.
struct CodeChange {
  std::optional<std::string> code;  // nothing: the code is NULL
  bool before = false;
  bool after = false;
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

// One statement of a repair: the rows it was planned to change, written down before it ran,
// and how it ended.
struct Step {
  Direction direction = Direction::NonLeaf;
  std::string statement;
  std::vector<CodeChange> planned;
  std::optional<Confirmation> confirmation;

  // The planned codes are exactly the rows it changed: it ran and changed as many rows as
  // were listed, with nothing noted. A count that differs means the account set changed
  // between the read that listed them and the statement; a note says the count is unknown or
  // other rows changed.
  bool exact() const {
    return confirmation && !confirmation->failed && confirmation->note.empty() &&
           confirmation->count == static_cast<std::int64_t>(planned.size());
  }
  bool operator==(const Step&) const = default;
};

// One repair of an account set: an Update, or an undo of an earlier repair.
struct Repair {
  std::string id;  // the local time it began, with the UTC offset, to the millisecond
  std::string user, computer, version;
  AccountSet accountSet;
  std::string undoes;  // the id of the repair this one put back; empty for an Update
  std::vector<Step> steps;

  bool finished() const {
    for (const Step& step : steps) {
      if (!step.confirmation) return false;
    }
    return true;
  }
  // Every statement confirmed, none as failed.
  bool succeeded() const {
    for (const Step& step : steps) {
      if (!step.confirmation || step.confirmation->failed) return false;
    }
    return true;
  }
  std::size_t plannedCount() const {
    std::size_t count = 0;
    for (const Step& step : steps) count += step.planned.size();
    return count;
  }
};

}  // namespace leafward::record
