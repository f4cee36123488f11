#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "dataaccess/jet/durable_io.h"
#include "dataaccess/jet/row_location.h"

namespace leafward::jet {

// One row whose Yes/No value a statement sets.
struct FlagChange {
  RowLocation row;        // as the reader recorded it (a moved row's pointer is fine)
  bool expected = false;  // the value the statement saw in the row
  bool value = false;     // the value to store
};

struct FlagWriteResult {
  std::size_t rowsChanged = 0;  // rows whose stored value differs now
  std::size_t pagesWritten = 0;
  DurabilityStats durability;
};

// Sets the Yes/No column `column` of `table` in the listed rows of the .mdb file at `path`,
// as one all-or-nothing statement.
//
// A Yes/No value is one bit of its row's null mask, so each row is changed in place: no row
// changes size and no other byte of the file changes. Every row is found where it really
// lives and checked before anything is written: the bit must still hold `expected`.
// The original pages go to a rollback journal beside the file (see rollback_journal.h),
// which is synced before the first page is overwritten and removed once the file is synced;
// after a crash, recoverIfNeeded() puts the old pages back.
//
// Throws WriteRefused, having changed nothing, when the column is not a Yes/No column or is
// part of an index, the file or its folder is read-only, another program has the file in
// use, a row does not have a layout the writer knows, or a row no longer holds the value
// the statement saw. Other failures throw DataAccessError; a failure after the first page
// was written puts the old pages back (or leaves the journal for the next open to do so).
FlagWriteResult writeFlags(const std::string& path, std::string_view table, std::string_view column,
                           const std::vector<FlagChange>& changes);

enum class Recovery {
  NothingToDo,                 // no journal beside the file
  DiscardedIncompleteJournal,  // a statement died before touching the file
  RolledBack,                  // a statement died halfway: its old pages are back
};

// Undoes a statement that did not finish, before the file is read or written again. Call it
// on every open, also for reading. Throws WriteRefused(PendingRollback) when the journal
// cannot be applied (the file is read-only, or changed by another program since; the
// journal stays) and WriteRefused(Locked) when the file is in use.
Recovery recoverIfNeeded(const std::string& path);

}  // namespace leafward::jet
