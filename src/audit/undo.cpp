#include "audit/undo.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>

#include "audit/code_lists.h"
#include "audit/repair_report.h"
#include "audit/report.h"
#include "audit/statements.h"
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

// How many rows hold each code with each flag value, as the account set stands now.
using FlagCounts = std::map<std::pair<Code, bool>, std::int64_t>;

FlagCounts currentFlags(SharedConnection& shared) {
  FlagCounts counts;
  for (const bool flag : {true, false}) {
    for (Code& code : listCodes(shared, codesFlaggedQuery(shared.blnServer, flag))) {
      ++counts[{std::move(code), flag}];
    }
  }
  return counts;
}

dataaccess::KeyedFlagUpdate codeFlags(std::vector<dataaccess::KeyedFlag> flags = {}) {
  return {"code", "ccode", "bend", std::move(flags)};
}

// How one statement of the repair is put back.
struct UndoStep {
  Direction direction = Direction::NonLeaf;
  std::vector<dataaccess::KeyedFlag> flags;  // one per code put back
  std::vector<CodeChange> planned;           // one per row put back, for the record
  std::vector<Code> changedSince;            // left alone: changed since the repair, or gone
  std::vector<Code> inexact;  // left alone: the statement changed another number of rows
};

// Each code the statement changed, with the number of its rows, in the order first listed.
std::vector<std::pair<CodeChange, std::int64_t>> codesOf(const record::Step& step) {
  std::vector<std::pair<CodeChange, std::int64_t>> codes;
  std::map<std::pair<Code, bool>, std::size_t> seen;
  for (const CodeChange& change : step.planned) {
    const auto [at, added] = seen.insert({{change.code, change.after}, codes.size()});
    if (added) codes.push_back({change, 0});
    ++codes[at->second].second;
  }
  return codes;
}

// The codes an earlier undo of the repair that stopped or failed in part set out to put back,
// by kind of flag, leaving out those of its statements that failed (each is all or nothing):
// where they hold what the repair found, that undo got that far, and they need nothing more.
using Begun = std::set<std::pair<Direction, Code>>;

Begun begunByUnfinishedUndos(const std::vector<record::Repair>& repairs, const std::string& id) {
  Begun begun;
  for (const record::Repair& repair : repairs) {
    if (repair.undoes != id || repair.succeeded()) continue;
    for (const record::Step& step : repair.steps) {
      if (step.confirmation && step.confirmation->failed) continue;
      for (const CodeChange& change : step.planned) begun.insert({step.direction, change.code});
    }
  }
  return begun;
}

UndoStep planUndo(const record::Step& step, const FlagCounts& now, const Begun& begun) {
  UndoStep undo;
  undo.direction = step.direction;
  const std::optional<record::Confirmation>& how = step.confirmation;
  if (how && (how->failed || (how->count == 0 && how->countKnown()))) {
    return undo;  // it changed nothing
  }
  const bool inexact = step.confirmation && !step.exact();
  for (const auto& [change, rows] : codesOf(step)) {
    if (inexact) {
      undo.inexact.push_back(change.code);
      continue;
    }
    const auto held = now.find({change.code, change.after});
    const auto back = now.find({change.code, change.before});
    // Back as the repair found it: put back by an earlier undo, or never changed by a statement
    // that was not confirmed (it may never have run).
    const bool mayBeBack = begun.count({step.direction, change.code}) || !how;
    if (mayBeBack && back != now.end() && back->second == rows && held == now.end()) continue;
    if (held == now.end() || held->second != rows) {
      undo.changedSince.push_back(change.code);
      continue;
    }
    undo.flags.push_back({change.code, change.after, change.before, rows});
    for (std::int64_t i = 0; i < rows; ++i) {
      undo.planned.push_back({change.code, change.after, change.before});
    }
  }
  return undo;
}

std::string_view flagsOf(Direction direction) {
  return direction == Direction::NonLeaf ? kNonLeafFlags : kLeafFlags;
}

// "如下<flags><why>，未恢复：code,code" with a NULL code as an empty entry, as Check lists them.
void listLeftAlone(Workbench& bench, Direction direction, const std::vector<Code>& codes,
                   const char* why) {
  if (codes.empty()) return;
  std::string list;
  for (const Code& code : codes) {
    if (!list.empty()) list += ',';
    list += code.value_or("");
  }
  attempt([&] {
    appendLine(bench, "如下" + std::string(flagsOf(direction)) + why + "，未恢复：" + list);
  });
}

std::string whoAndWhen(const record::Repair& repair) {
  return repair.id + " 的" + (repair.undoes.empty() ? "修复" : "撤销") + "（" + repair.user + "，" +
         repair.computer + "）";
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
    const record::RecordReading reading = record::readRecord(target.folder, target.accountSet);
    if (reading.repairUnderWay) {
      preview.state = UndoPreview::State::Unreadable;
      preview.problem = "a repair of " + target.accountSet.describe() +
                        " is running now; try again when it has finished";
      return preview;
    }
    const auto index = record::repairToUndo(reading.repairs);
    if (!index) return preview;
    const record::Repair& repair = reading.repairs[*index];
    preview.state = UndoPreview::State::Ready;
    preview.repairId = repair.id;
    preview.user = repair.user;
    preview.computer = repair.computer;
    preview.isUndo = !repair.undoes.empty();
    preview.interrupted = !repair.finished();
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

  std::optional<record::RecordFile> book;
  try {
    book.emplace(record::RecordFile::openForRepair(target.folder, target.accountSet));
  } catch (const record::RecordError& error) {
    return refuse(error.what());
  }
  if (!book->notice().empty()) attempt([&] { appendLine(bench, book->notice()); });
  const auto index = record::repairToUndo(book->repairs());
  const std::string chosen = index ? book->repairs()[*index].id : std::string();
  if (!confirmedRepairId.empty() && chosen != confirmedRepairId) {
    return refuse("the record of " + target.accountSet.describe() +
                  " has changed since the undo was confirmed: the repair to undo is now " +
                  (index ? chosen : std::string("none")) + ", not " + confirmedRepairId +
                  "; ask again");
  }
  if (!index) {
    busyOff(bench);
    outcome.nothingToUndo = true;
    attempt([&] { appendLine(bench, kNothingToUndo); });
    return outcome;
  }
  const record::Repair undone = book->repairs()[*index];
  FlagCounts now;
  if (std::string failure; !attempt([&] { now = currentFlags(shared); }, &failure)) {
    return refuse("cannot read the flags of " + target.accountSet.describe() + ": " + failure);
  }

  std::vector<UndoStep> steps;
  record::Repair undo;
  undo.undoes = undone.id;
  const std::string statement = dataaccess::keyedFlagStatements(codeFlags()).byKey;
  const Begun begun = begunByUnfinishedUndos(book->repairs(), undone.id);
  for (const record::Step& step : undone.steps) {
    steps.push_back(planUndo(step, now, begun));
    undo.steps.push_back({step.direction, statement, steps.back().planned, {}});
  }
  // An undo taken up again, or of a repair that stopped, may find nothing left to put back: an
  // undo of no codes is recorded then, so that the repair counts as undone and the next undo
  // moves on rather than coming back to it for ever.
  const bool takenUp = std::any_of(
      book->repairs().begin(), book->repairs().end(),
      [&](const auto& other) { return other.undoes == undone.id && !other.succeeded(); });
  const bool recorded = undo.plannedCount() > 0 || takenUp || !undone.finished();
  if (recorded) {
    try {
      book->begin(undo);
    } catch (const record::RecordError& error) {
      return refuse(error.what());
    }
  }

  attempt([&] { appendLine(bench, "撤销 " + whoAndWhen(undone)); });
  std::vector<RepairRun> runs;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const UndoStep& step = steps[i];
    RepairRun run;
    if (!step.flags.empty()) {
      run = runRepair([&] { return shared.cnData.setFlagsByKey(codeFlags(step.flags)); });
      run.notices = shared.cnData.takeNotices();
    }
    runs.push_back(run);
    undo.steps[i].confirmation = {run.outcome.failed, run.outcome.count, run.outcome.failure};
    if (!recorded) continue;
    try {
      book->confirm(undo, i);
    } catch (const record::RecordError& error) {
      outcome.failure = error.what();  // what was not confirmed does not run either
      break;
    }
  }
  busyOff(bench);
  for (std::size_t i = 0; i < runs.size(); ++i) {
    reportRepair(bench, runs[i], flagsOf(steps[i].direction), "恢复");
    listLeftAlone(bench, steps[i].direction, steps[i].changedSince, "在修复后已被改动或已不存在");
    listLeftAlone(bench, steps[i].direction, steps[i].inexact, "的修复记录与更新的行数不符");
    outcome.leftAlone +=
        static_cast<std::int64_t>(steps[i].changedSince.size() + steps[i].inexact.size());
    RepairOutcome& kind = steps[i].direction == Direction::NonLeaf ? outcome.nonLeaf : outcome.leaf;
    kind.count += runs[i].outcome.count;
    if (runs[i].outcome.failed) kind = runs[i].outcome;
  }
  if (!outcome.failure.empty()) {
    attempt([&] { appendLine(bench, "未能在修复记录中写下撤销的结果：" + outcome.failure); });
  }
  return outcome;
}

}  // namespace leafward::audit
