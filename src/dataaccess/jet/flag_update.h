#pragma once

#include <cstdint>
#include <string>

#include "dataaccess/jet/read/jet_table_source.h"
#include "dataaccess/sql/engine.h"

namespace leafward::jet {

// Carries out a planned UPDATE on the .mdb file at `canonicalPath` (named `displayName` in
// messages), in place and all or nothing. The table's definition and the column come from the
// session that planned it (`source`), and the rows from the locations of the read that planned
// it: nothing is looked up again. Only one Yes/No column can be set per statement; anything
// else is refused with a DataAccessError saying it is not supported. The writer's refusals (an
// indexed column, a read-only or locked file, a row it does not understand or that changed
// since the read) come through as DataAccessError of their kind, having changed nothing.
//
// Returns the number of rows the statement updated: like Jet, every row the WHERE selects,
// also one that already held the new value. A statement that selects no rows touches nothing,
// not even the journal. `notice`, when given, receives what a person should know of a
// statement that was carried out (see FlagWriteResult), or is left alone.
std::int64_t carryOutFlagUpdate(const std::string& canonicalPath, const std::string& displayName,
                                const sql::UpdatePlan& plan, const JetTableSource& source,
                                std::string* notice = nullptr);

}  // namespace leafward::jet
