#pragma once

#include "dataaccess/jet/flag_update.h"
#include "dataaccess/jet/read/jet_table_source.h"
#include "dataaccess/session.h"

namespace leafward::jet {

// The writer's statement for Session::setFlagsByKey, from a fresh read of the table's key and
// flag columns: for each entry, the rows whose key is exactly its key and whose flag holds
// `from`. Throws DataAccessError ChangedSinceRead when an entry finds another number of rows
// than it expects, and DataAccessError when the table or a column is missing or the flag is
// not a Yes/No column.
FlagStatement keyedFlagStatement(const dataaccess::KeyedFlagUpdate& update, JetTableSource& source);

}  // namespace leafward::jet
