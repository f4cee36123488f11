#pragma once

#include <string>

#include "dataaccess/jet/format/pager.h"
#include "dataaccess/jet/write/rollback_journal.h"

namespace leafward::jet {

enum class Recovery {
  NothingToDo,           // no journal beside the file
  DiscardedTornJournal,  // a statement died before touching the file: its journal is gone
  RolledBack,            // a statement died halfway: its old pages are back
};

// Undoes a statement that did not finish, before the file is read or written again. `pager` is
// open for writing and locked exclusively by the caller; `journalPath` is the file's journal.
//
// A torn journal (never committed, so its statement never wrote) is removed. A complete one
// is rolled back and removed. A damaged one (committed, but it does not read back whole) is
// never thrown away: what its intact records prove is rolled back, the journal is kept, and
// DataAccessError(PendingRollback) says so. The same error, with nothing written, comes when
// the journal is not a regular file or cannot be read, or when a page it records has since
// been changed by another program.
Recovery recoverLocked(Pager& pager, const std::string& journalPath, DurabilityStats& stats);

// For a file that cannot be written: a torn journal is removed; any other leaves the change
// undone, and DataAccessError(PendingRollback) says so.
Recovery recoverWithoutWriting(const Pager& pager, const std::string& journalPath);

}  // namespace leafward::jet
