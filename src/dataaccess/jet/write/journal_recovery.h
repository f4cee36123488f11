#pragma once

#include <string>

#include "dataaccess/jet/format/pager.h"
#include "dataaccess/jet/write/rollback_journal.h"

namespace leafward::jet {

enum class Recovery {
  NothingToDo,           // no journal beside the file
  DiscardedTornJournal,  // a statement died before touching the file: its journal is gone
  RolledBack,            // a statement died halfway: its old pages are back
  KeptTornJournal,       // a statement died before touching the file, and its journal cannot
                         // be removed: the file is intact and may be read, but no statement
                         // can make its own journal while that one is there
};

// Undoes a statement that did not finish, before the file is read or written again. `pager` is
// open for writing and locked exclusively by the caller; `journalPath` is the file's journal.
//
// A torn journal (never committed, so its statement never wrote) is removed; one that cannot
// be removed is kept, and `keptBecause` (when given) says why. A complete one is rolled back
// and removed. A damaged one (committed, but it does not read back whole) is never thrown
// away: what its intact records prove is rolled back, the journal is kept, and
// DataAccessError(PendingRollback) says so. The same error, with nothing written, comes when
// anything but a regular file lies under the journal's name (a link too), when the journal
// cannot be read or is in a layout this program does not read, or when a page it records has
// since been changed by another program.
Recovery recoverLocked(Pager& pager, const std::string& journalPath,
                       std::string* keptBecause = nullptr);

// For a file that cannot be written: a torn journal is removed, or kept as above; any other
// leaves the change undone, and DataAccessError(PendingRollback) says so. The caller holds
// the file's shared lock throughout, so that no writer's journal can be taken for a torn one.
Recovery recoverWithoutWriting(const Pager& pager, const std::string& journalPath,
                               std::string* keptBecause = nullptr);

}  // namespace leafward::jet
