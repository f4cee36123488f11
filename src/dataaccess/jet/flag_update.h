#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dataaccess/jet/read/jet_table_source.h"
#include "dataaccess/jet/write/flag_writer.h"
#include "dataaccess/sql/engine.h"

namespace leafward::jet {

// A planned UPDATE made ready for the writer: the table's definition and the column come from
// the session that planned it, and the rows from the locations of the read that planned it, so
// nothing is looked up again when it is carried out.
struct FlagUpdate {
  FlagTarget target;
  std::vector<FlagChange> changes;
};

// Prepares a planned UPDATE on the .mdb file at `canonicalPath` (named `displayName` in
// messages). Only one Yes/No column can be set per statement; anything else is refused with a
// DataAccessError saying it is not supported.
FlagUpdate prepareFlagUpdate(const std::string& canonicalPath, const std::string& displayName,
                             const sql::UpdatePlan& plan, const JetTableSource& source);

// Carries it out, in place and all or nothing. The writer's refusals (an indexed column, a
// read-only or locked file, a row it does not understand or that changed since the read) come
// through as DataAccessError of their kind, having changed nothing.
//
// Returns the number of rows the statement updated: like Jet, every row the WHERE selects,
// also one that already held the new value. A statement that selects no rows touches nothing,
// not even the journal.
std::int64_t carryOutFlagUpdate(const FlagUpdate& update);

}  // namespace leafward::jet
