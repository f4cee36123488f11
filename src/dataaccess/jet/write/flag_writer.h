#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "dataaccess/jet/format/data_page.h"
#include "dataaccess/jet/format/table_definition.h"
#include "dataaccess/jet/write/rollback_journal.h"

namespace leafward::jet {

// What a statement hands the writer: the file, and the table and column as the session read
// them. The writer opens no catalogue and looks up no names of its own.
struct FlagTarget {
  std::string path;         // the file's canonical path
  std::string displayName;  // how messages name it
  const TableDefinition& table;
  const ColumnDefinition& column;
  std::uint16_t codePage = 1252;  // of Jet 3 names, as the session read them
};

// One row whose Yes/No value a statement sets.
struct FlagChange {
  RowLocation row;        // as the reader recorded it (a moved row's pointer is fine)
  bool expected = false;  // the value the statement saw in the row
  bool value = false;     // the value to store
};

struct FlagWriteResult {
  std::size_t rowsChanged = 0;           // rows whose stored value differs now
  std::vector<std::size_t> changedRows;  // their positions in the list of changes
  std::size_t pagesWritten = 0;
  DurabilityStats durability;
  // What a person should know of a statement that was carried out, when there is something:
  // that its journal's removal may not be durable.
  std::string notice;
};

// Sets the Yes/No column of the target table in the listed rows, as one all-or-nothing
// statement.
//
// A Yes/No value is one bit of its row's null mask, so each row is changed in place: no row
// changes size and no other byte of the file changes. Every row is found where it really lives
// and checked before anything is written: the bit must still hold `expected`. The original
// pages go to a rollback journal beside the file (see journal_format.h), which is committed
// before the first page is overwritten and removed once the file is synced.
//
// Throws DataAccessError of a refusal kind, having changed nothing, when the column is not a
// Yes/No column or is part of an index, the file or its folder is read-only, the file has more
// than one name (a hard link, whose other names would not lead to the journal), another program
// has the file in use, the table's definition or a row changed since the session read them,
// or a row does not have a layout the writer knows. Other failures throw DataAccessError; a
// failure after the first page was written puts the old pages back (or leaves the journal for
// the next open to do so), and so does one to remove the journal, which would otherwise undo
// the statement at the next open while the report said it failed.
FlagWriteResult writeFlags(const FlagTarget& target, const std::vector<FlagChange>& changes);

}  // namespace leafward::jet
