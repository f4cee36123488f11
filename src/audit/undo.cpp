#include "audit/undo.h"

#include <map>
#include <optional>
#include <utility>

#include "audit/code_lists.h"
#include "audit/recorded_run.h"
#include "audit/repair_report.h"
#include "audit/report.h"
#include "audit/statements.h"
#include "common/invariant.h"
#include "connection/steps.h"
#include "dataaccess/keyed_flag_statements.h"
#include "record/record_file.h"
#include "record/repair_id.h"
#include "record/repair_states.h"

namespace leafward::audit {
namespace {

using connection::attempt;
using connection::SharedConnection;
using record::CodeChange;
using record::Direction;

constexpr const char* kNothingToUndo = "没有可以撤销的修复";
constexpr const char* kCannotUndo = "无法撤销：";

// How many rows `flags` set: a row named where it is kept counts once, a code for its rows.
[[maybe_unused]] std::size_t rowsSetBy(const std::vector<dataaccess::KeyedFlag>& flags) {
  std::int64_t rows = 0;
  for (const dataaccess::KeyedFlag& flag : flags) rows += flag.rows;
  return static_cast<std::size_t>(rows);
}

// How one statement of the repair is put back (C6).
struct UndoStep {
  Direction direction = Direction::NonLeaf;
  RowsNow rows;                     // its changed rows turned round, as they stand now
  std::vector<CodeChange> inexact;  // left alone: the statement changed another number of rows
};

UndoStep planUndo(SharedConnection& shared, const record::Step& step) {
  UndoStep undo;
  undo.direction = step.direction;
  std::vector<CodeChange> rows = record::rowsChanged(step);
  // A count that differs from the rows listed (SQL Server: another program changed the table
  // between the list and the statement): which rows changed is not known.
  if (step.confirmation && !step.confirmation->failed && !step.exact()) {
    undo.inexact = std::move(rows);
    return undo;
  }
  for (CodeChange& row : rows) std::swap(row.before, row.after);
  if (!rows.empty()) undo.rows = lookAtRows(shared, rows);
  // C6: each row the entry changed is put back or left alone, once, and no other row is set.
  LEAFWARD_INVARIANT("C6", undo.rows.toSet.size() + undo.rows.holdingAfter.size() +
                                   undo.rows.gone.size() + undo.rows.shared.size() ==
                               rows.size());
  LEAFWARD_INVARIANT("C6", rowsSetBy(undo.rows.flags) == undo.rows.toSet.size());
  return undo;
}

// How each statement of `undone` is put back, in order. Throws when the flags as they stand
// cannot be read.
std::vector<UndoStep> planUndo(SharedConnection& shared, const record::Repair& undone) {
  std::vector<UndoStep> plans;
  for (const record::Step& step : undone.steps) plans.push_back(planUndo(shared, step));
  return plans;
}

std::string whoAndWhen(const record::Repair& repair) {
  return repair.id + " 的" + (repair.undoes.empty() ? "修复" : "撤销") + "（" + repair.user + "，" +
         repair.computer + "）";
}

std::vector<CodeChange> changedSince(const RowsNow& rows) {
  std::vector<CodeChange> changed = rows.holdingAfter;
  changed.insert(changed.end(), rows.gone.begin(), rows.gone.end());
  return changed;
}

// Why the undo asked for is no longer the one the record chooses (another repair or undo came
// between the question and the answer); nothing when it still is, or none was confirmed.
std::optional<std::string> confirmedChoiceChanged(const std::vector<record::Repair>& repairs,
                                                  const record::UndoChoice& choice,
                                                  const RecordTarget& target,
                                                  const std::string& confirmedRepairId) {
  const std::string chosen = choice.target ? repairs[*choice.target].id : std::string();
  if (confirmedRepairId.empty() || chosen == confirmedRepairId) return std::nullopt;
  return "the record of " + target.accountSet.describe() +
         " has changed since the undo was confirmed: the repair to undo is now " +
         (choice.target ? chosen : std::string("none")) + ", not " + confirmedRepairId +
         "; ask again";
}

// Each statement's plan as a step for the record: its rows set back by key, one all-or-nothing
// change per statement.
std::vector<PlannedStep> undoSteps(SharedConnection& shared, const std::vector<UndoStep>& plans) {
  const std::string statement =
      dataaccess::keyedFlagStatements({"code", "ccode", "bend", {}}).byKey;
  std::vector<PlannedStep> steps;
  for (const UndoStep& plan : plans) {
    steps.push_back({record::Step(plan.direction, statement, plan.rows.toSet),
                     [&shared, flags = plan.rows.flags](record::Confirmation& confirmation) {
                       RepairRun run;
                       if (!flags.empty()) {
                         run = runRepair([&] { return setRows(shared, flags); });
                         run.notices = shared.cnData.takeNotices();
                       }
                       confirmation = {run.outcome.failed, run.outcome.count, run.outcome.failure};
                       return run;
                     }});
  }
  return steps;
}

// The lines of each statement put back (the flags set, the rows left alone and why), and their
// counts in `outcome`.
void reportUndo(Workbench& bench, const std::vector<UndoStep>& plans,
                const std::vector<RepairRun>& runs, UndoOutcome& outcome) {
  for (std::size_t i = 0; i < runs.size(); ++i) {
    const UndoStep& plan = plans[i];
    reportRepair(bench, runs[i], flagsOf(plan.direction), "恢复");
    const std::vector<CodeChange> changed = changedSince(plan.rows);
    listRows(bench, plan.direction, changed, "在修复后已被改动或已不存在，未恢复");
    listRows(bench, plan.direction, plan.rows.shared,
             "由多行共用，无法确定修复改动的是哪几行，未恢复");
    listRows(bench, plan.direction, plan.inexact, "的修复记录与更新的行数不符，未恢复");
    outcome.leftAlone +=
        static_cast<std::int64_t>(changed.size() + plan.rows.shared.size() + plan.inexact.size());
    RepairOutcome& kind = plan.direction == Direction::NonLeaf ? outcome.nonLeaf : outcome.leaf;
    kind.count += runs[i].outcome.count;
    if (runs[i].outcome.failed) kind = runs[i].outcome;
  }
}

}  // namespace

std::string UndoPreview::question() const {
  if (state == State::NothingToUndo) return kNothingToUndo;
  if (state == State::Unreadable) return kCannotUndo + problem;
  const char* what = isUndo ? "撤销" : "修复";
  std::string counts;
  for (const auto& [count, flags] : {std::pair{nonLeaf, kNonLeafFlags}, {leaf, kLeafFlags}}) {
    if (count == 0) continue;
    if (!counts.empty()) counts += "、";
    counts += std::to_string(count) + "个" + std::string(flags);
  }
  if (counts.empty()) counts = "0个科目标志";
  return "撤销 " + record::displayTime(repairId) + " 由 " + user + "（" + computer + "）所做的" +
         what + "？\n该" + what + (interrupted ? "中断前" : "") + "更新了 " + counts + "。";
}

UndoPreview previewUndo(const RecordTarget& target) {
  UndoPreview preview;
  try {
    const std::optional<record::RecordPeek> peek =
        record::RecordFile::peek(target.folder, target.accountSet);
    if (!peek) return preview;
    if (peek->repairUnderWay) {
      preview.state = UndoPreview::State::Unreadable;
      preview.problem = "a repair of " + target.accountSet.describe() +
                        " is running now; try again when it has finished";
      return preview;
    }
    const auto index = record::chooseUndo(peek->repairs).target;
    if (!index) return preview;
    const record::Repair& repair = peek->repairs[*index];
    preview.state = UndoPreview::State::Ready;
    preview.repairId = repair.id;
    preview.user = repair.user;
    preview.computer = repair.computer;
    preview.isUndo = repair.isUndo();
    preview.interrupted = !record::settled(repair);
    for (const record::Step& step : repair.steps) {
      (step.direction == Direction::NonLeaf ? preview.nonLeaf : preview.leaf) +=
          record::flagsChanged(step);
    }
  } catch (const std::exception& error) {
    preview.state = UndoPreview::State::Unreadable;
    preview.problem = error.what();
  }
  return preview;
}

UndoOutcome runUndo(SharedConnection& shared, Workbench& bench, const RecordTarget& target,
                    const std::string& confirmedRepairId) {
  UndoOutcome outcome;
  if (shared.cnData.state() != dataaccess::kAdStateOpen) return outcome;
  outcome.ran = true;
  busyOn(bench);
  const auto refuse = [&](const std::string& why) {
    busyOff(bench);
    outcome.failure = why;
    attempt([&] { appendLine(bench, kCannotUndo + why); });
    return outcome;
  };

  RecordedRun run(shared, bench, target);
  if (!run.held()) return refuse(run.heldFailure());
  const record::UndoChoice choice = record::chooseUndo(run.book().repairs());
  if (const std::optional<std::string> changed =
          confirmedChoiceChanged(run.book().repairs(), choice, target, confirmedRepairId)) {
    return refuse(*changed);
  }
  // C4, C7: an interrupted undo is the undo asked for, once taken up; an interrupted Update is
  // completed and then put back.
  if (std::string failure; !run.takeUpUnsettled(failure)) {
    busyOff(bench);
    outcome.failure = failure;
    return outcome;
  }
  if (choice.finishesUndo()) {
    busyOff(bench);
    return outcome;
  }
  const auto index = record::repairToUndo(run.book().repairs());
  if (!index) {
    busyOff(bench);
    outcome.nothingToUndo = true;
    attempt([&] { appendLine(bench, kNothingToUndo); });
    return outcome;
  }
  const record::Repair undone = run.book().repairs()[*index];

  std::vector<UndoStep> plans;
  if (std::string failure; !attempt([&] { plans = planUndo(shared, undone); }, &failure)) {
    return refuse("cannot read the flags of " + target.accountSet.describe() + ": " + failure);
  }
  // C6: recorded even when every row is left alone, so that the repair counts as undone.
  const RecordedRun::Outcome done = run.carryOut(undone.id, undoSteps(shared, plans), true, [&] {
    attempt([&] { appendLine(bench, "撤销 " + whoAndWhen(undone)); });
  });
  if (done.refused) return refuse(done.recordFailure);
  busyOff(bench);
  reportUndo(bench, plans, done.runs, outcome);
  outcome.failure = done.recordFailure;
  if (!outcome.failure.empty()) {
    attempt([&] { appendLine(bench, "未能在修复记录中写下撤销的结果：" + outcome.failure); });
  }
  return outcome;
}

}  // namespace leafward::audit
