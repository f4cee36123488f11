#include "audit/recorded_run.h"

#include <map>

#include "audit/code_lists.h"
#include "audit/report.h"
#include "common/invariant.h"
#include "connection/steps.h"
#include "record/repair_states.h"

namespace leafward::audit {
namespace {

using connection::attempt;
using dataaccess::ErrorKind;
using record::CodeChange;

dataaccess::KeyedFlagUpdate codeFlags(std::vector<dataaccess::KeyedFlag> flags) {
  return {"code", "ccode", "bend", std::move(flags)};
}

// Refusals that waiting does not mend: a take-up refused so gives its statement up (C4).
bool lasting(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::ColumnNotWritable:
    case ErrorKind::IndexedColumn:
    case ErrorKind::UnknownLayout:
    case ErrorKind::MultipleNames:
    case ErrorKind::NameTooLong:
      return true;
    default:
      return false;
  }
}

std::string whoAndWhen(const record::Repair& repair) {
  return std::string(repair.isUndo() ? "撤销" : "修复") + " " + repair.id + "（" + repair.user +
         "，" + repair.computer + "）";
}

}  // namespace

RowsNow lookAtRows(connection::SharedConnection& shared, const std::vector<CodeChange>& planned) {
  dataaccess::FlagLookup lookup{"code", "ccode", "bend", {}};
  lookup.rows.reserve(planned.size());
  for (const CodeChange& change : planned) lookup.rows.push_back({change.code, change.row});
  const dataaccess::FlagsNow now = shared.cnData.lookUpFlags(lookup);
  if (now.rows.size() != planned.size()) {
    throw dataaccess::DataAccessError("The database did not say how every row stands");
  }

  RowsNow rows;
  // Rows named by their code alone, by code and by the flags they go between.
  std::map<std::tuple<Code, bool, bool>, std::vector<CodeChange>> byCode;
  for (std::size_t i = 0; i < planned.size(); ++i) {
    const CodeChange& change = planned[i];
    if (change.row.empty()) {
      byCode[{change.code, change.before, change.after}].push_back(change);
      continue;
    }
    const dataaccess::FlagsNow::Row& row = now.rows[i];
    if (row.found && row.flag == change.before) {
      rows.flags.push_back({change.code, change.before, change.after, 1, change.row});
      rows.toSet.push_back(change);
    } else if (row.found && row.flag == change.after) {
      rows.holdingAfter.push_back(change);
    } else {
      rows.gone.push_back(change);
    }
  }
  for (auto& [key, changes] : byCode) {
    const auto& [code, before, after] = key;
    const dataaccess::FlagsNow::Counts* counts = now.countsOf(code);
    const std::int64_t planned = static_cast<std::int64_t>(changes.size());
    const std::int64_t holdBefore = counts ? (before ? counts->yes : counts->no) : 0;
    const std::int64_t holdAfter = counts ? (after ? counts->yes : counts->no) : 0;
    std::vector<CodeChange>* into = &rows.gone;
    if (holdBefore == planned) {
      rows.flags.push_back({code, before, after, planned, {}});
      into = &rows.toSet;
    } else if (holdBefore > planned) {
      into = &rows.shared;
    } else if (holdBefore == 0 && holdAfter == planned) {
      into = &rows.holdingAfter;
    }
    into->insert(into->end(), changes.begin(), changes.end());
  }
  return rows;
}

std::int64_t setRows(connection::SharedConnection& shared,
                     std::vector<dataaccess::KeyedFlag> flags) {
  return shared.cnData.setFlagsByKey(codeFlags(std::move(flags)));
}

RecordedRun::RecordedRun(connection::SharedConnection& shared, Workbench& bench,
                         const RecordTarget& target)
    : shared_(shared), bench_(bench), target_(target) {
  try {
    book_.emplace(record::RecordFile::openForRepair(target.folder, target.accountSet));
    if (!book_->notice().empty()) attempt([&] { appendLine(bench_, book_->notice()); });
  } catch (const record::RecordError& error) {
    heldFailure_ = error.what();
  }
}

bool RecordedRun::takeUpUnsettled(std::string& failure, bool* taken) {
  if (taken) *taken = false;
  if (!book_ || book_->repairs().empty() || record::settled(book_->repairs().back())) return true;
  if (taken) *taken = true;
  const record::Repair entry = book_->repairs().back();
  attempt([&] { appendLine(bench_, "续做中断的" + whoAndWhen(entry)); });
  for (std::size_t i = 0; i < entry.steps.size(); ++i) {
    if (entry.steps[i].done() || entry.steps[i].abandoned()) continue;
    if (!takeUpStep(i, failure)) {
      attempt([&] { appendLine(bench_, "无法续做中断的" + whoAndWhen(entry) + "：" + failure); });
      return false;
    }
  }
  LEAFWARD_INVARIANT("C4", record::settled(book_->repairs().back()));
  return true;
}

bool RecordedRun::takeUpStep(std::size_t index, std::string& failure) {
  const record::Repair& entry = book_->repairs().back();
  const record::Step step = entry.steps[index];
  const std::string_view flags = flagsOf(step.direction);
  const char* done = entry.isUndo() ? "恢复" : "更新";
  RowsNow rows;
  if (!attempt([&] { rows = lookAtRows(shared_, step.planned); }, &failure)) return false;
  RepairRun run;
  if (!rows.flags.empty()) {
    run = runRepair([&] { return setRows(shared_, rows.flags); });
    run.notices = shared_.cnData.takeNotices();
  }
  record::TakeUp takeUp;
  takeUp.confirmation = {run.outcome.failed, run.outcome.count, run.outcome.failure};
  takeUp.abandoned = run.outcome.failed && lasting(run.kind);
  if (!run.outcome.failed) {
    takeUp.leftAlone = rows.gone;
    takeUp.leftAlone.insert(takeUp.leftAlone.end(), rows.shared.begin(), rows.shared.end());
  }
  try {
    book_->takeUp(index, takeUp);
  } catch (const record::RecordError& error) {
    failure = error.what();
    return false;
  }
  reportRepair(bench_, run, flags, done);
  listRows(bench_, step.direction, takeUp.leftAlone, "已被改动或已不存在，未续做");
  if (run.outcome.failed && !takeUp.abandoned) failure = run.reason;
  return !run.outcome.failed || takeUp.abandoned;
}

RecordedRun::Outcome RecordedRun::carryOut(std::string undoes, std::vector<PlannedStep> steps,
                                           bool recordEvenEmpty,
                                           const std::function<void()>& begun) {
  Outcome outcome;
  outcome.repair.undoes = std::move(undoes);
  for (const PlannedStep& step : steps) outcome.repair.steps.push_back(step.step);
  if (outcome.repair.plannedCount() > 0 || recordEvenEmpty) {
    try {
      if (!book_) throw record::RecordError(heldFailure_);
      book_->begin(outcome.repair);
      outcome.begun = true;
    } catch (const record::RecordError& error) {
      outcome.recordFailure = error.what();
      outcome.refused = true;
      return outcome;
    }
  }
  // C1: nothing runs before its plan is durable.
  LEAFWARD_INVARIANT("C1", outcome.begun || outcome.repair.plannedCount() == 0);
  if (begun) begun();
  for (std::size_t i = 0; i < steps.size(); ++i) {
    record::Confirmation confirmation;
    outcome.runs.push_back(steps[i].carryOut(confirmation));
    outcome.repair.steps[i].confirmation = confirmation;
    if (!outcome.begun) continue;
    try {
      book_->confirm(outcome.repair, i);
    } catch (const record::RecordError& error) {
      outcome.recordFailure = error.what();  // what was not confirmed does not run either
      break;
    }
  }
  return outcome;
}

}  // namespace leafward::audit
