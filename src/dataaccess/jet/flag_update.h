#pragma once

#include <cstdint>
#include <string>

#include "dataaccess/jet/jet_table_source.h"
#include "dataaccess/sql/engine.h"

namespace leafward::jet {

// Carries out a planned UPDATE on the .mdb file at `path`, in place and all or nothing. The
// plan's rows are found through the row locations of the read that planned it (`source`).
// Only one Yes/No column can be set per statement; anything else is refused with a
// DataAccessError saying it is not supported. The writer's refusals (an indexed column, a
// read-only or locked file, a row it does not understand or that changed since the read)
// come through as WriteRefused, having changed nothing.
//
// Returns the number of rows the statement updated: like Jet, every row the WHERE selects,
// also one that already held the new value. A statement that selects no rows touches
// nothing, not even the journal.
std::int64_t carryOutFlagUpdate(const std::string& path, const sql::UpdatePlan& plan,
                                const JetTableSource& source);

}  // namespace leafward::jet
