#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dataaccess/jet/read/jet_table_source.h"
#include "dataaccess/jet/write/flag_writer.h"
#include "dataaccess/sql/engine.h"

namespace leafward::jet {

// A statement as the writer takes it: the table and Yes/No column as the session read them,
// and one change per row, found where the read that planned it found the row.
struct FlagStatement {
  const JetTable* table = nullptr;
  const ColumnDefinition* column = nullptr;
  std::uint16_t codePage = 1252;
  std::vector<FlagChange> changes;
};

// The writer's statement for a planned UPDATE, one change per row the plan selects, in the
// plan's order. The table's definition and the column come from the session that planned it
// (`source`), and the rows from the locations of the read that planned it: nothing is looked
// up again later. Only one Yes/No column can be set per statement; anything else is refused
// with a DataAccessError saying it is not supported.
FlagStatement flagStatementOf(const sql::UpdatePlan& plan, const JetTableSource& source);

// Writes the statement on the .mdb file at `canonicalPath` (named `displayName` in messages),
// in place and all or nothing. The writer's refusals (an indexed column, a read-only or locked
// file, a row it does not understand or that changed since the read) come through as
// DataAccessError of their kind, having changed nothing. A statement without changes touches
// nothing, not even the journal.
FlagWriteResult writeFlagStatement(const std::string& canonicalPath, const std::string& displayName,
                                   const FlagStatement& statement);

}  // namespace leafward::jet
