#include "audit/recorded_update.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>

#include "audit/code_lists.h"
#include "audit/recorded_run.h"
#include "audit/repair_report.h"
#include "audit/report.h"
#include "audit/statements.h"
#include "connection/steps.h"
#include "record/record_file.h"
#include "record/repair_states.h"

namespace leafward::audit {
namespace {

using connection::attempt;
using connection::SharedConnection;
using record::CodeChange;
using record::Direction;

// One repair statement with the codes it will change, known before it runs.
struct PlannedStatement {
  Direction direction = Direction::NonLeaf;
  std::string text;
  std::vector<CodeChange> codes;
  std::optional<RepairRun> unplanned;  // the plan or the list failed: how the statement ends
  // On an Access file, the writer's plan and the positions in it of the rows listed in codes.
  std::unique_ptr<dataaccess::PlannedUpdate> plan;
  std::vector<std::size_t> planned;
};

// On an Access file the writer plans the statement: the rows it will flip, named by code.
PlannedStatement planOnAccessFile(SharedConnection& shared, Direction direction, std::string text) {
  PlannedStatement statement{direction, std::move(text), {}, {}, {}, {}};
  RepairRun planning = runRepair([&] {
    statement.plan = shared.cnData.planUpdate(statement.text, "ccode");
    return 0;
  });
  if (planning.outcome.failed) {
    statement.unplanned = std::move(planning);
    return statement;
  }
  const auto& changes = statement.plan->changes();
  for (std::size_t i = 0; i < changes.size(); ++i) {
    if (changes[i].before == changes[i].after) continue;
    statement.codes.push_back(
        {codeOf(changes[i].key), changes[i].before, changes[i].after, changes[i].row});
    statement.planned.push_back(i);
  }
  return statement;
}

// On SQL Server the Check's list of the same codes is read before the UPDATE runs.
PlannedStatement planOnServer(SharedConnection& shared, Direction direction, std::string text,
                              const std::string& list) {
  PlannedStatement statement{direction, std::move(text), {}, {}, {}, {}};
  const bool after = direction == Direction::Leaf;
  RepairRun listing = runRepair([&] {
    for (Code& code : listCodes(shared, list)) {
      statement.codes.push_back({std::move(code), !after, after, {}});
    }
    return 0;
  });
  if (listing.outcome.failed) {
    statement.codes.clear();
    statement.unplanned = std::move(listing);
  }
  return statement;
}

// Runs a planned statement; `confirmation` says how it ended, for the record.
RepairRun carryOut(SharedConnection& shared, PlannedStatement& statement,
                   record::Confirmation& confirmation) {
  if (statement.unplanned) {
    confirmation = {true, 0, statement.unplanned->outcome.failure};
    return *statement.unplanned;
  }
  std::size_t changed = 0;
  bool asPlanned = true, counted = true;
  std::vector<std::string> notices;
  RepairRun run = runRepair([&] {
    if (!statement.plan) {
      shared.strSQL = statement.text;
      const std::int64_t rows = shared.executeUpdate();
      // A provider that cannot say how many rows changed gives -1.
      counted = rows >= 0;
      changed = counted ? static_cast<std::size_t>(rows) : 0;
      return rows;
    }
    dataaccess::PlannedUpdateResult result = statement.plan->carryOut();
    changed = result.changed.size();
    asPlanned = result.changed == statement.planned;
    notices = std::move(result.notices);
    return result.recordsAffected;
  });
  run.notices = std::move(notices);
  for (std::string& notice : shared.cnData.takeNotices()) run.notices.push_back(std::move(notice));
  if (run.outcome.failed) {
    confirmation = {true, 0, run.outcome.failure};
    return run;
  }
  confirmation = {false, static_cast<std::int64_t>(changed), {}};
  if (!counted) {
    confirmation.note = record::kCountUnknown;
  } else if (changed != statement.codes.size()) {
    confirmation.note = "更新了 " + std::to_string(changed) + " 行，而更新前读出的是 " +
                        std::to_string(statement.codes.size()) +
                        " 行：读出与更新之间账套已被改动，所列科目代码不确切";
  } else if (!asPlanned) {
    confirmation.note = "更新的行与计划的行不同，所列科目代码不确切";
  }
  return run;
}

// The two repair statements in order, each planned (the rows it will change known before it
// runs) and ready to be carried out.
std::vector<PlannedStep> planRepair(SharedConnection& shared) {
  const bool server = shared.blnServer;
  std::vector<std::shared_ptr<PlannedStatement>> statements;
  if (shared.accessFileOpen()) {
    statements.push_back(std::make_shared<PlannedStatement>(
        planOnAccessFile(shared, Direction::NonLeaf, std::string(kClearNonLeafFlagsStatement))));
    statements.push_back(std::make_shared<PlannedStatement>(
        planOnAccessFile(shared, Direction::Leaf, setLeafFlagsStatement(server))));
  } else {
    statements.push_back(std::make_shared<PlannedStatement>(
        planOnServer(shared, Direction::NonLeaf, std::string(kClearNonLeafFlagsStatement),
                     nonLeafFlaggedAsLeafQuery(server))));
    statements.push_back(std::make_shared<PlannedStatement>(
        planOnServer(shared, Direction::Leaf, setLeafFlagsStatement(server),
                     leafFlaggedAsNonLeafQuery(server))));
  }
  std::vector<PlannedStep> steps;
  for (const auto& statement : statements) {
    steps.push_back({record::Step(statement->direction, statement->text, statement->codes),
                     [&shared, statement](record::Confirmation& confirmation) {
                       return carryOut(shared, *statement, confirmation);
                     }});
  }
  return steps;
}

// A statement changed rows that no list held (another program changed the account set after
// it was read): that is written down now. A count the database could not give is taken for
// none here, as nothing was listed to change. False when it could not be written; `failure`
// says why.
bool recordUnlistedChanges(RecordedRun& run, RecordedRun::Outcome& done, std::string& failure) {
  record::Repair& repair = done.repair;
  const bool changedUnlisted =
      !done.begun && repair.steps.size() == done.runs.size() &&
      std::any_of(repair.steps.begin(), repair.steps.end(), [](const record::Step& step) {
        return !step.confirmation->failed && step.confirmation->count > 0;
      });
  if (!changedUnlisted) return true;
  try {
    if (!run.held()) throw record::RecordError(run.heldFailure());
    run.book().begin(repair);
    for (std::size_t i = 0; i < repair.steps.size(); ++i) run.book().confirm(repair, i);
  } catch (const record::RecordError& error) {
    failure = error.what();
    return false;
  }
  return true;
}

}  // namespace

UpdateOutcome runRecordedUpdate(SharedConnection& shared, Workbench& bench,
                                const RecordTarget& target) {
  UpdateOutcome outcome;
  if (shared.cnData.state() != dataaccess::kAdStateOpen) return outcome;
  outcome.ran = true;
  busyOn(bench);

  // The record is held before the codes are listed, so that another repair of the account set
  // cannot change them between the list and our statements. When it cannot be taken the Update
  // goes on only if it finds nothing to change.
  RecordedRun run(shared, bench, target);
  if (std::string failure; !run.takeUpUnsettled(failure)) {
    busyOff(bench);
    outcome.recordFailure = "an interrupted repair could not be completed: " + failure;
    return outcome;
  }

  RecordedRun::Outcome done = run.carryOut({}, planRepair(shared), false);
  outcome.recordFailure = done.recordFailure;
  if (done.refused) {
    busyOff(bench);
    attempt([&] { appendLine(bench, std::string(kUnrecordedRefusal) + outcome.recordFailure); });
    return outcome;
  }
  busyOff(bench);
  const std::vector<RepairRun>& runs = done.runs;
  if (runs.size() > 0) reportRepair(bench, runs[0], kNonLeafFlags);
  if (runs.size() > 1) reportRepair(bench, runs[1], kLeafFlags);

  if (std::string failure; !recordUnlistedChanges(run, done, failure)) {
    outcome.recordFailure = failure;
  }
  if (!outcome.recordFailure.empty()) {
    attempt([&] { appendLine(bench, "未能在修复记录中写下修复的结果：" + outcome.recordFailure); });
  }
  if (runs.size() > 0) outcome.nonLeaf = runs[0].outcome;
  if (runs.size() > 1) outcome.leaf = runs[1].outcome;
  return outcome;
}

}  // namespace leafward::audit
