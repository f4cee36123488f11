#pragma once

#include "dataaccess/jet/flag_update.h"
#include "dataaccess/jet/read/jet_table_source.h"
#include "dataaccess/session.h"

namespace leafward::jet {

// The writer's statement for Session::setFlagsByKey, from a fresh read: for an entry that names
// a row, that row, which must still hold the key and `from`; for any other entry, the rows whose
// key is exactly its key and whose flag holds `from`. Throws DataAccessError ChangedSinceRead
// when an entry finds another number of rows than it expects, and DataAccessError when the table
// or a column is missing, the flag is not a Yes/No column or a row is not named as this provider
// names rows.
FlagStatement keyedFlagStatement(const dataaccess::KeyedFlagUpdate& update, JetTableSource& source);

// Session::lookUpFlags: rows named by where they live are read there, each page once; rows named
// by key are counted over a read of the table's key and flag columns.
dataaccess::FlagsNow lookUpFlags(const dataaccess::FlagLookup& lookup, JetTableSource& source);

}  // namespace leafward::jet
