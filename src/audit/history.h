#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "audit/code_lists.h"
#include "audit/record_target.h"

namespace leafward::audit {

struct History {
  std::vector<std::string> lines;  // one per repair, newest first; or "没有修复记录"
  std::string failure;             // why the record cannot be read; no lines then
};

// The repairs of an account set as its record holds them, newest first, one line each: the
// id, the user and computer, what it was (a repair, or the undo of an earlier one), the flags
// of each kind it changed, and how it stands: 计划中 (running now), 已完成 (every statement
// carried out), 未能完成 (every statement failed: nothing changed), 部分完成 (a statement given
// up beside one carried out), 已中断 (the next Update or undo takes it up) or 已撤销;
// "（中断后续做）" follows when a later command carried a statement of it out.
//
//   2025-03-14T09:26:53.589+08:00 alice@PC1 修复：非末级科目标志 3个，末级科目标志 1个，已撤销
//
// Reads without waiting for anyone and changes nothing. Never throws.
History listHistory(const RecordTarget& target);

// One repair of the record as values, for output that scripts read.
struct HistoryEntry {
  std::string id, user, computer, version;
  std::string undoes;  // the id of the repair it put back; empty for an Update
  enum class State { Planned, Done, Failed, Partial, Interrupted, Undone } state = State::Done;
  struct CodeChange {
    Code code;
    bool before = false, after = false;
    std::string row;  // where an Access file keeps the row ("812:3"); empty on SQL Server
  };
  struct Step {
    bool nonLeaf = true;  // which flags it set: of codes with sub-codes, or of codes without
    std::vector<CodeChange> planned;  // the rows it was to change, written down before it ran
    bool confirmed = false;           // a row confirms how it ended
    bool failed = false;
    bool done = false;                  // carried out, by its command or by a later one's take-up
    bool takenUp = false;               // a later command carried it out, or tried to
    std::optional<std::int64_t> count;  // the rows it changed, when the database said
    std::int64_t flagsChanged = 0;      // as far as the record knows (see record::flagsChanged)
    std::string note;
  };
  std::vector<Step> steps;
};

struct HistoryEntries {
  std::vector<HistoryEntry> entries;  // newest first; none without a record
  std::string failure;                // why the record cannot be read; no entries then
};

// The same repairs as listHistory, as values. Never throws.
HistoryEntries readHistory(const RecordTarget& target);

}  // namespace leafward::audit
