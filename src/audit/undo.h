#pragma once

#include <cstdint>
#include <string>

#include "audit/record_target.h"
#include "audit/update.h"
#include "audit/workbench.h"
#include "connection/shared_connection.h"

namespace leafward::audit {

// What the window's confirmation box names before an undo: the repair that would be put back.
struct UndoPreview {
  enum class State {
    Ready,          // there is a repair to put back
    NothingToUndo,  // no repair that changed flags and is not yet undone
    Unreadable,     // the record cannot be trusted or read: `problem` says why
  } state = State::NothingToUndo;
  std::string problem;
  std::string repairId;  // the local time it began, "2025-03-14T09:26:53.589+08:00"
  std::string user, computer;
  bool isUndo = false;                 // the repair was itself an undo
  bool interrupted = false;            // it stopped before every statement was confirmed
  std::int64_t nonLeaf = 0, leaf = 0;  // flags it changed (listed, when unconfirmed)

  // The question for a Yes/No box: "撤销 2025-03-14 09:26:53 由 alice（PC1）所做的修复？
  // 该修复更新了 3个非末级科目标志、1个末级科目标志。"; for NothingToUndo and Unreadable the
  // line Undo would write instead.
  std::string question() const;
};

// Reads the record of the account set without changing anything. Never throws.
UndoPreview previewUndo(const RecordTarget& target);

struct UndoOutcome {
  bool ran = false;            // false: no connection was open and nothing happened
  bool nothingToUndo = false;  // the record holds no repair to put back
  // Why the undo changed nothing: the record could not be read or written, or the flags as
  // they stand could not be read. Empty otherwise.
  std::string failure;
  RepairOutcome nonLeaf, leaf;  // the flags of each kind put back, or why not
  std::int64_t leftAlone = 0;   // codes not put back: changed since the repair, or gone
};

// Undo: puts back the flags of the last repair of the account set that is not yet undone
// (record::repairToUndo). A code is put back only where the row still holds the value the
// repair wrote, in as many rows as the repair changed; any other code (changed since, gone,
// or of a statement whose count differed from its list) is left alone and listed. Each kind
// of flag is one all-or-nothing change (one journal on an Access file, one transaction on SQL
// Server), and the undo is recorded first like a repair, naming the repair it puts back, so
// that it can be undone in its turn. An undo that stopped or had a statement fail is taken up
// again by the next; when that one, or the undo of a repair that stopped, finds nothing left to
// put back, it records an undo of no codes, so that the repair counts as undone.
//
// The report lines, each appended as Update's are: "撤销 <id> 的修复（<user>，<computer>）",
// then per kind "有 N个非末级科目标志被恢复" or "非末级科目标志未能恢复：why", and
// "如下非末级科目标志在修复后已被改动或已不存在，未恢复：1001,1002" (likewise for 末级, and
// "...的修复记录与更新的行数不符，未恢复：..." for codes of an inexact statement). Instead
// "没有可以撤销的修复" when there is nothing to put back, or "无法撤销：why" when the record
// or the flags cannot be read or the undo cannot be recorded.
//
// With `confirmedRepairId` (the repair a person agreed to put back), the undo is refused when
// the repair to put back is now another one: another program recorded a repair meanwhile.
UndoOutcome runUndo(connection::SharedConnection& shared, Workbench& bench,
                    const RecordTarget& target, const std::string& confirmedRepairId = {});

}  // namespace leafward::audit
