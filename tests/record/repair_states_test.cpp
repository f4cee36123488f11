// Which repair an undo chooses and how history names each state; ids from the clock.
#include "record/repair_states.h"

#include <gtest/gtest.h>

#include "record/repair_id.h"

namespace leafward::record {
namespace {

Step confirmed(std::size_t listed, std::int64_t count, bool failed = false) {
  Step step;
  step.planned.assign(listed, CodeChange{"1001", true, false});
  step.confirmation = Confirmation{failed, count, {}};
  return step;
}

Repair repair(std::string id, std::vector<Step> steps, std::string undoes = {}) {
  Repair made;
  made.id = std::move(id);
  made.steps = std::move(steps);
  made.undoes = std::move(undoes);
  return made;
}

TEST(RepairStatesTest, UndoTakesTheLastRepairThatMayHaveChangedFlagsAndIsNotUndone) {
  const Repair done = repair("a", {confirmed(3, 3), confirmed(1, 1)});
  const Repair refused = repair("b", {confirmed(2, 0, true), confirmed(1, 0)});
  const Repair undoOfA = repair("u", {confirmed(3, 3), confirmed(1, 1)}, "a");
  Repair stoppedUndoOfA = undoOfA;
  stoppedUndoOfA.steps[1].confirmation.reset();
  Repair interrupted = repair("i", done.steps);
  interrupted.steps[0].confirmation.reset();

  using Record = std::vector<Repair>;
  EXPECT_EQ(repairToUndo({}), std::nullopt);
  EXPECT_EQ(repairToUndo(Record{done}), 0u);
  // A repair that changed nothing is passed over.
  EXPECT_EQ(repairToUndo(Record{done, refused}), 0u);
  // An undone repair is passed over; the undo is a repair of its own, and so is its undo.
  EXPECT_EQ(repairToUndo(Record{done, undoOfA}), 1u);
  EXPECT_EQ(repairToUndo(Record{done, undoOfA, repair("v", {confirmed(3, 3)}, "u")}), 2u);
  // An undo that stopped is taken up again: its repair once more.
  EXPECT_EQ(repairToUndo(Record{done, stoppedUndoOfA}), 0u);
  // An interrupted repair may have changed flags.
  EXPECT_EQ(repairToUndo(Record{done, interrupted}), 1u);

  // An undo that failed, in whole or in part, is taken up again too, and undoes nothing.
  Repair failedUndoOfA = undoOfA;
  failedUndoOfA.steps[0].confirmation = Confirmation{true, 0, "deadlock"};
  EXPECT_EQ(repairToUndo(Record{done, failedUndoOfA}), 0u);
  EXPECT_EQ(stateOf(Record{done, failedUndoOfA}, 0, false), RepairState::Done);
  failedUndoOfA.steps[1].confirmation = Confirmation{true, 0, "deadlock"};
  EXPECT_EQ(repairToUndo(Record{done, failedUndoOfA}), 0u);
  EXPECT_EQ(stateOf(Record{done, failedUndoOfA}, 0, false), RepairState::Done);
  // Once the undo is undone in its turn, the repair holds again; undone a third time, not.
  const Repair undoOfU = repair("v", {confirmed(3, 3)}, "u");
  EXPECT_EQ(stateOf(Record{done, undoOfA, undoOfU}, 0, false), RepairState::Done);
  EXPECT_EQ(stateOf(Record{done, undoOfA, undoOfU, repair("w", {confirmed(3, 3)}, "v")}, 0, false),
            RepairState::Undone);

  // A count the database could not give may be any: the step is listed, not taken as exact,
  // and its repair is not passed over.
  Step uncounted = confirmed(2, 0);
  uncounted.confirmation->note = kCountUnknown;
  const Repair unknown = repair("k", {uncounted, confirmed(0, 0)});
  EXPECT_FALSE(changedNothing(unknown));
  EXPECT_FALSE(uncounted.exact());
  EXPECT_EQ(flagsChanged(uncounted), 2);
  EXPECT_EQ(repairToUndo(Record{done, unknown}), 1u);
  EXPECT_TRUE(changedNothing(repair("n", {confirmed(2, 0), confirmed(1, 5, true)})));
  // Other rows than those planned, as many: noted, and not exact either.
  Step otherRows = confirmed(3, 3);
  otherRows.confirmation->note = "更新的行与计划的行不同";
  EXPECT_FALSE(otherRows.exact());

  const Record record{done, undoOfA, interrupted};
  EXPECT_EQ(stateOf(record, 0, false), RepairState::Undone);
  EXPECT_EQ(stateOf(record, 1, false), RepairState::Done);
  EXPECT_EQ(stateOf(record, 2, false), RepairState::Interrupted);
  EXPECT_EQ(stateOf(record, 2, true), RepairState::Planned);
  EXPECT_EQ(stateOf(Record{interrupted, done}, 0, true), RepairState::Interrupted);
  EXPECT_EQ(stateOf(Record{done, stoppedUndoOfA}, 0, false), RepairState::Done);

  EXPECT_EQ(flagsChanged(confirmed(3, 2)), 2);
  EXPECT_EQ(flagsChanged(confirmed(3, 3, true)), 0);
  EXPECT_EQ(flagsChanged(interrupted.steps[0]), 3);
  EXPECT_FALSE(confirmed(3, 2).exact());
  EXPECT_TRUE(confirmed(3, 3).exact());
}

TEST(RepairIdTest, LocalTimeWithItsOffsetToTheMillisecond) {
  platform::LocalTime time{2024, 2, 28, 23, 59, 59, 999, -210};
  EXPECT_EQ(repairId(time), "2024-02-28T23:59:59.999-03:30");
  time = oneMillisecondLater(time);
  EXPECT_EQ(repairId(time), "2024-02-29T00:00:00.000-03:30");
  EXPECT_EQ(repairId(oneMillisecondLater({2023, 2, 28, 23, 59, 59, 999, 480})),
            "2023-03-01T00:00:00.000+08:00");
  EXPECT_EQ(repairId(oneMillisecondLater({2025, 12, 31, 23, 59, 59, 999, 0})),
            "2026-01-01T00:00:00.000+00:00");
  EXPECT_EQ(displayTime("2025-03-14T09:26:53.589+08:00"), "2025-03-14 09:26:53");

  EXPECT_TRUE(isRepairId("2025-03-14T09:26:53.589+08:00"));
  for (const char* bad : {"2025-03-14T09:26:53.589+0800", "2025-02-30T09:26:53.589+08:00",
                          "2025-13-14T09:26:53.589+08:00", "2025-03-14 09:26:53.589+08:00",
                          "2025-03-14T24:26:53.589+08:00", "2025-03-14T09:26:53.589*08:00",
                          "２025-03-14T09:26:53.589+08:00", ""}) {
    EXPECT_FALSE(isRepairId(bad)) << bad;
  }
}

}  // namespace
}  // namespace leafward::record
