// The chain of repairs: which entries are settled and taken up, what an entry changed, which
// one an undo puts back and how history names each state; ids from the clock.
#include "record/repair_states.h"

#include <gtest/gtest.h>

#include "record/repair_id.h"

namespace leafward::record {
namespace {

using Record = std::vector<Repair>;

Step confirmed(std::size_t listed, std::int64_t count, bool failed = false) {
  Step step;
  for (std::size_t i = 0; i < listed; ++i) {
    step.planned.push_back({"10" + std::to_string(i), true, false, "4:" + std::to_string(i)});
  }
  step.confirmation = Confirmation{failed, count, {}};
  return step;
}

Step unconfirmed(std::size_t listed) {
  Step step = confirmed(listed, 0);
  step.confirmation.reset();
  return step;
}

TakeUp takeUp(bool failed, std::vector<CodeChange> leftAlone = {}, bool abandoned = false) {
  TakeUp made;
  made.confirmation = {failed, failed ? 0 : 1, {}};
  made.abandoned = abandoned;
  made.leftAlone = std::move(leftAlone);
  return made;
}

Repair repair(std::string id, std::vector<Step> steps, std::string undoes = {}) {
  Repair made;
  made.id = std::move(id);
  made.steps = std::move(steps);
  made.undoes = std::move(undoes);
  return made;
}

// Settled entries stand as they are; any other is taken up by the next command, and only what
// was carried out counts as changed.
TEST(RepairStatesTest, AnEntryIsSettledOnceEachStatementIsDoneFailedWithAllOrGivenUp) {
  const Repair done = repair("a", {confirmed(3, 3), confirmed(1, 1)});
  EXPECT_TRUE(settled(done));
  // Every statement failed: it changed nothing, and is left as it is.
  const Repair refused = repair("b", {confirmed(2, 0, true), confirmed(1, 0, true)});
  EXPECT_TRUE(settled(refused));
  EXPECT_TRUE(changedNothing(refused));
  EXPECT_TRUE(settled(repair("c", {confirmed(2, 0, true), confirmed(1, 0)})));
  // A statement failed beside one that changed rows, or one never confirmed: taken up.
  Repair halfFailed = repair("d", {confirmed(3, 3), confirmed(1, 0, true)});
  EXPECT_FALSE(settled(halfFailed));
  EXPECT_FALSE(settled(repair("e", {confirmed(3, 3), unconfirmed(1)})));
  EXPECT_FALSE(settled(repair("f", {unconfirmed(0), unconfirmed(0)})));
  // Its take-up failed: still unsettled; carried out, or given up: settled.
  halfFailed.steps[1].takeUps.push_back(takeUp(true));
  EXPECT_FALSE(settled(halfFailed));
  EXPECT_FALSE(halfFailed.steps[1].done());
  halfFailed.steps[1].takeUps.push_back(takeUp(false));
  EXPECT_TRUE(settled(halfFailed));
  EXPECT_TRUE(halfFailed.succeeded());
  Repair givenUp = repair("g", {confirmed(3, 3), confirmed(1, 0, true)});
  givenUp.steps[1].takeUps.push_back(takeUp(true, {}, true));
  EXPECT_TRUE(settled(givenUp));
  EXPECT_FALSE(givenUp.succeeded());

  // What a taken-up statement changed: its planned rows less those the take-up left alone.
  Step stopped = unconfirmed(3);
  EXPECT_TRUE(rowsChanged(stopped).empty());
  EXPECT_TRUE(mayHaveChanged(stopped));
  EXPECT_EQ(flagsChanged(stopped), 3);
  stopped.takeUps.push_back(takeUp(false, {stopped.planned[1]}));
  EXPECT_EQ(rowsChanged(stopped),
            (std::vector<CodeChange>{stopped.planned[0], stopped.planned[2]}));
  EXPECT_EQ(flagsChanged(stopped), 2);
  stopped.takeUps.back().leftAlone = stopped.planned;
  EXPECT_FALSE(mayHaveChanged(stopped));
  // A failed statement changed nothing, and a done one what it confirms.
  EXPECT_FALSE(mayHaveChanged(confirmed(3, 3, true)));
  EXPECT_EQ(flagsChanged(confirmed(3, 3, true)), 0);
  EXPECT_EQ(flagsChanged(confirmed(3, 2)), 2);
  EXPECT_FALSE(mayHaveChanged(confirmed(3, 0)));
  EXPECT_EQ(rowsChanged(confirmed(2, 2)), confirmed(2, 2).planned);

  // A count the database could not give may be any: listed, not taken as exact.
  Step uncounted = confirmed(2, 0);
  uncounted.confirmation->note = kCountUnknown;
  EXPECT_TRUE(mayHaveChanged(uncounted));
  EXPECT_FALSE(uncounted.exact());
  EXPECT_EQ(flagsChanged(uncounted), 2);
  Step otherRows = confirmed(3, 3);
  otherRows.confirmation->note = "更新的行与计划的行不同";
  EXPECT_FALSE(otherRows.exact());
  EXPECT_FALSE(confirmed(3, 2).exact());
  EXPECT_TRUE(confirmed(3, 3).exact());
}

TEST(RepairStatesTest, UndosAlternateAndAnUnsettledEntryIsTakenUpFirst) {
  const Repair done = repair("a", {confirmed(3, 3), confirmed(1, 1)});
  const Repair refused = repair("b", {confirmed(2, 0, true), confirmed(1, 0, true)});
  const Repair undoOfA = repair("u", {confirmed(3, 3), confirmed(1, 1)}, "a");
  const Repair undoOfU = repair("v", {confirmed(3, 3), confirmed(1, 1)}, "u");
  const Repair undoOfV = repair("w", {confirmed(3, 3), confirmed(1, 1)}, "v");

  EXPECT_EQ(repairToUndo({}), std::nullopt);
  EXPECT_EQ(repairToUndo(Record{done}), 0u);
  // An entry that changed nothing is passed over.
  EXPECT_EQ(repairToUndo(Record{done, refused}), 0u);
  // Each undo is an entry of its own: the next undo puts it back, and so on.
  EXPECT_EQ(repairToUndo(Record{done, undoOfA}), 1u);
  EXPECT_EQ(repairToUndo(Record{done, undoOfA, undoOfU}), 2u);
  EXPECT_EQ(stateOf(Record{done, undoOfA, undoOfU}, 0, false), RepairState::Done);
  EXPECT_EQ(stateOf(Record{done, undoOfA, undoOfU}, 1, false), RepairState::Undone);
  EXPECT_EQ(stateOf(Record{done, undoOfA, undoOfU, undoOfV}, 0, false), RepairState::Undone);
  // An undo that put nothing back still undoes: the undo after it moves on.
  const Repair emptyUndo = repair("x", {confirmed(0, 0), confirmed(0, 0)}, "a");
  EXPECT_EQ(repairToUndo(Record{refused, done, emptyUndo}), std::nullopt);
  const Repair earlier = repair("0", {confirmed(1, 1)});
  EXPECT_EQ(repairToUndo(Record{earlier, done, refused, emptyUndo}), 0u);
  // An undo that failed does not undo.
  Repair failedUndo = undoOfA;
  failedUndo.steps[0].confirmation = Confirmation{true, 0, "deadlock"};
  failedUndo.steps[1].confirmation = Confirmation{true, 0, "deadlock"};
  EXPECT_EQ(repairToUndo(Record{done, failedUndo}), 0u);
  EXPECT_EQ(stateOf(Record{done, failedUndo}, 0, false), RepairState::Done);

  // An unsettled Update is taken up and then put back; an unsettled undo is taken up, and that
  // is the undo asked for.
  Repair stopped = repair("i", {confirmed(3, 3), unconfirmed(1)});
  UndoChoice choice = chooseUndo(Record{done, stopped});
  EXPECT_EQ(choice.takeUp, 1u);
  EXPECT_EQ(choice.target, 1u);
  EXPECT_FALSE(choice.finishesUndo());
  Repair stoppedUndo = undoOfA;
  stoppedUndo.steps[1].confirmation.reset();
  choice = chooseUndo(Record{done, stoppedUndo});
  EXPECT_EQ(choice.takeUp, 1u);
  EXPECT_EQ(choice.target, 0u);
  EXPECT_TRUE(choice.finishesUndo());
  choice = chooseUndo(Record{done, undoOfA});
  EXPECT_EQ(choice.takeUp, std::nullopt);
  EXPECT_EQ(choice.target, 1u);
}

TEST(RepairStatesTest, HistorySaysWhatReallyHappened) {
  const Repair done = repair("a", {confirmed(3, 3), confirmed(1, 1)});
  Repair stopped = repair("i", {confirmed(3, 3), unconfirmed(1)});
  const Record record{done, repair("u", done.steps, "a"), stopped};
  EXPECT_EQ(stateOf(record, 0, false), RepairState::Undone);
  EXPECT_EQ(stateOf(record, 1, false), RepairState::Done);
  EXPECT_EQ(stateOf(record, 2, false), RepairState::Interrupted);
  EXPECT_EQ(stateOf(record, 2, true), RepairState::Planned);
  EXPECT_EQ(stateOf(Record{stopped, done}, 0, true), RepairState::Interrupted);
  // Every statement failed: not done.
  EXPECT_EQ(stateOf(Record{repair("b", {confirmed(2, 0, true), confirmed(1, 0, true)})}, 0, false),
            RepairState::Failed);
  Repair givenUp = repair("g", {confirmed(3, 3), confirmed(1, 0, true)});
  givenUp.steps[1].takeUps.push_back(takeUp(true, {}, true));
  EXPECT_EQ(stateOf(Record{givenUp}, 0, false), RepairState::Partial);
  EXPECT_TRUE(takenUp(givenUp));
  stopped.steps[1].takeUps.push_back(takeUp(false));
  EXPECT_EQ(stateOf(Record{stopped}, 0, false), RepairState::Done);
  EXPECT_FALSE(takenUp(done));
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

  // The moment an id names, whatever its offset, and back in any offset.
  EXPECT_EQ(instantOf("1970-01-01T08:00:00.001+08:00"), 1);
  EXPECT_EQ(instantOf("1969-12-31T20:29:59.999-03:30"), -1);
  EXPECT_EQ(instantOf("2025-03-14T01:26:53.589+00:00"), instantOf("2025-03-14T09:26:53.589+08:00"));
  EXPECT_LT(instantOf("2025-03-14T09:26:53.589+08:00"), instantOf("2025-03-14T09:26:53.590+08:00"));
  for (const char* id : {"2024-02-29T00:00:00.000-03:30", "2000-12-31T23:59:59.999+14:00",
                         "1999-01-01T00:00:00.000+00:00"}) {
    const int offset = (id[23] == '-' ? -1 : 1) * (std::stoi(std::string(id + 24, 2)) * 60 +
                                                   std::stoi(std::string(id + 27, 2)));
    EXPECT_EQ(repairId(localTimeAt(instantOf(id), offset)), id);
  }
  EXPECT_EQ(repairId(localTimeAt(instantOf("2024-12-31T23:59:59.999+00:00") + 1, 480)),
            "2025-01-01T08:00:00.000+08:00");

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
