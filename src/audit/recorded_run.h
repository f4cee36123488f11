#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "audit/record_target.h"
#include "audit/repair_report.h"
#include "audit/workbench.h"
#include "connection/shared_connection.h"
#include "record/record_file.h"

namespace leafward::audit {

// How the planned rows of a statement stand now, for carrying each from its flag before to its
// flag after (an undo passes them turned round).
struct RowsNow {
  std::vector<dataaccess::KeyedFlag> flags;  // for setFlagsByKey
  std::vector<record::CodeChange> toSet;     // the rows those flags set, as the record names them
  std::vector<record::CodeChange> holdingAfter;  // hold the flag after already
  std::vector<record::CodeChange> gone;          // gone, or (by code) too few rows hold either flag
  // Named by their code alone, whose code more rows hold with the flag before than were planned.
  std::vector<record::CodeChange> shared;
};

// Reads how `planned` stands on the open connection, changing nothing. A row named by where the
// database keeps it is looked at there; rows named by their code alone are counted by code: the
// planned rows of a code are set when exactly that many rows of it hold the flag before, and
// hold the flag after already when none does and exactly that many hold the flag after. Throws
// DataAccessError.
RowsNow lookAtRows(connection::SharedConnection& shared,
                   const std::vector<record::CodeChange>& planned);

// The flags of `rows` set, as one all-or-nothing change; returns the rows changed.
std::int64_t setRows(connection::SharedConnection& shared,
                     std::vector<dataaccess::KeyedFlag> flags);

// A statement of a command, planned: its step for the record (direction, statement, planned
// rows), and how to carry it out, which says how it ended in the report and, through
// `confirmation`, in the record.
struct PlannedStep {
  record::Step step;
  std::function<RepairRun(record::Confirmation& confirmation)> carryOut;
};

// The skeleton every recorded command of an account set shares (Update and undo; see
// record/repair_states.h for the rules C1..C7 it keeps): the record is taken before anything is
// read for the plan, so that no other repair of the account set comes between; an unsettled last
// entry is taken up first; then the command's plan is written down and made durable, each of
// its statements carried out and each confirmed.
class RecordedRun {
 public:
  // Takes the record (waiting for another repair as a reader waits for a writer) and says in
  // the report what was mended in it. When it cannot be taken, heldFailure() says why.
  RecordedRun(connection::SharedConnection& shared, Workbench& bench, const RecordTarget& target);

  bool held() const { return book_.has_value(); }
  const std::string& heldFailure() const { return heldFailure_; }
  record::RecordFile& book() { return *book_; }

  // C4: takes up the last entry when it is unsettled, with its lines in the report. False when
  // a statement of it could not be carried out: the command stops; `failure` says why. `taken`
  // gets whether there was one.
  bool takeUpUnsettled(std::string& failure, bool* taken = nullptr);

  struct Outcome {
    std::vector<RepairRun> runs;  // one per step carried out
    record::Repair repair;        // as written down
    bool begun = false;           // written down before it ran
    bool refused = false;         // not written down, so nothing ran
    std::string recordFailure;    // why the record could not be written
  };
  // C1, C2: writes the plan down (when it plans rows, or `recordEvenEmpty`), then carries out
  // each step in order and confirms it. When the plan cannot be written down nothing runs. A
  // plan of no rows that cannot be written down (or `record` false) runs all the same.
  // `begun` runs once the plan is written down, before the first step.
  Outcome carryOut(std::string undoes, std::vector<PlannedStep> steps, bool recordEvenEmpty,
                   const std::function<void()>& begun = {});

 private:
  bool takeUpStep(std::size_t step, std::string& failure);

  connection::SharedConnection& shared_;
  Workbench& bench_;
  RecordTarget target_;
  std::optional<record::RecordFile> book_;
  std::string heldFailure_;
};

}  // namespace leafward::audit
