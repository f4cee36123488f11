#include "dataaccess/jet/write/flag_writer.h"

#include <map>
#include <set>
#include <unordered_map>

#include "dataaccess/errors.h"
#include "dataaccess/jet/format/pager.h"
#include "dataaccess/jet/format/row.h"
#include "dataaccess/jet/format/text.h"
#include "dataaccess/jet/write/journal_recovery.h"
#include "dataaccess/jet/write/write_hooks.h"
#include "platform/access_lock_file.h"
#include "platform/lock_wait.h"

namespace leafward::jet {
namespace {

using dataaccess::DataAccessError;
using dataaccess::ErrorKind;

std::string rowName(RowLocation at) {
  return "page " + std::to_string(at.page) + ", entry " + std::to_string(at.slot);
}

// Access's lock file beside a database: `x.mdb` -> `x.ldb`.
std::string accessLockFilePath(const std::string& path) {
  const auto slash = path.find_last_of("/\\");
  const auto dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path + ".ldb";
  return path.substr(0, dot) + ".ldb";
}

// A file or folder without any write permission is read-only to us, even to an administrator
// whom the system would let write anyway.
void refuseIfMarkedReadOnly(const FlagTarget& target) {
  try {
    if (platform::markedReadOnly(target.path)) {
      throw DataAccessError("the file " + target.displayName + " is read-only",
                            ErrorKind::ReadOnly);
    }
    const std::string folder = platform::parentFolder(target.path);
    if (platform::markedReadOnly(folder)) {
      throw DataAccessError("the folder " + folder +
                                " is read-only, so the change could not be made safely (it needs "
                                "a rollback journal there)",
                            ErrorKind::ReadOnly);
    }
  } catch (const platform::SystemError& error) {
    throw DataAccessError(std::string("cannot examine ") + target.displayName + ": " +
                          error.what());
  }
}

// Holds the file for the statement: Leafward's exclusive lock, and no Access lock file in use.
void lockForWriting(Pager& pager, const FlagTarget& target) {
  bool locked = false;
  try {
    locked = platform::waitForLock(pager.file(), platform::LockKind::Exclusive,
                                   platform::kWriterLockWait);
  } catch (const platform::SystemError& error) {
    throw DataAccessError(std::string("the file ") + target.displayName +
                              " cannot be changed safely: " + error.what(),
                          ErrorKind::InUse);
  }
  if (!locked) {
    throw DataAccessError("the file " + target.displayName + " is in use by another program",
                          ErrorKind::InUse);
  }
  const std::string lockFile = accessLockFilePath(target.path);
  platform::AccessLockFile state = platform::AccessLockFile::Absent;
  try {
    state = platform::probeAccessLockFile(lockFile);
  } catch (const platform::SystemError& error) {
    throw DataAccessError(std::string("the file ") + target.displayName +
                              " cannot be changed safely: " + error.what(),
                          ErrorKind::InUse);
  }
  if (state == platform::AccessLockFile::Held) {
    throw DataAccessError("the file " + target.displayName +
                              " is in use by another program (Access holds its lock file " +
                              lockFile + ")",
                          ErrorKind::InUse);
  }
}

// Journals are named after the file's path: a file with another name as well (a hard link)
// would have none under that name, so a reader there could see half a statement.
void refuseIfMoreThanOneName(Pager& pager, const FlagTarget& target) {
  std::uint64_t names = 1;
  try {
    names = pager.file().linkCount();
  } catch (const platform::SystemError& error) {
    throw DataAccessError(std::string("cannot examine ") + target.displayName + ": " +
                          error.what());
  }
  if (names > 1) {
    throw DataAccessError("the file " + target.displayName + " has " + std::to_string(names) +
                              " names (hard links), and a change to it could be half seen "
                              "through the others; give it one name to change it",
                          ErrorKind::MultipleNames);
  }
}

// Undoes a statement that failed after its journal was committed, then throws its failure: the
// file is as it was, or the journal stays for the next open to undo the rest.
[[noreturn]] void undoAfter(const DataAccessError& failure, Pager& pager,
                            const std::string& journal) {
  try {
    recoverLocked(pager, journal);
  } catch (const DataAccessError&) {
    throw DataAccessError(std::string(failure.what()) +
                          "; the change will be undone when the file is next opened");
  }
  throw DataAccessError(std::string(failure.what()) + "; the file was left as it was",
                        failure.kind());
}

// The definition as it stands in the file now must be the one the statement was planned on.
void refuseIfDefinitionChanged(const Pager& pager, const FlagTarget& target) {
  TextDecoder text(pager.format().version, target.codePage);
  if (readTableDefinition(pager, text, target.table.page, target.table.name) != target.table) {
    throw DataAccessError("the definition of table " + target.table.name + " in " +
                              target.displayName + " has changed since it was read",
                          ErrorKind::ChangedSinceRead);
  }
}

// Pages read while the statement is checked, each read once.
class PageCache {
 public:
  explicit PageCache(const Pager& pager) : pager_(pager) {}
  const std::vector<std::uint8_t>& get(std::uint32_t page) {
    auto found = pages_.find(page);
    if (found == pages_.end()) found = pages_.emplace(page, pager_.readPage(page)).first;
    return found->second;
  }
  std::vector<std::uint8_t> take(std::uint32_t page) { return std::move(pages_.at(page)); }

 private:
  const Pager& pager_;
  std::unordered_map<std::uint32_t, std::vector<std::uint8_t>> pages_;
};

struct LocatedFlag {
  RowLocation row;  // where the row's data lives
  FlagBit bit;
};

class FlagLocator {
 public:
  FlagLocator(const Pager& pager, const FlagTarget& target)
      : pager_(pager), target_(target), pages_(pager), row_(pager.format(), target.table) {}

  PageCache& pages() { return pages_; }

  // Finds where the row's Yes/No bit lives, following a moved row's pointer.
  LocatedFlag locate(RowLocation at) {
    if (at.page == 0 || at.page >= pager_.pageCount()) refuse(at, "no such page");
    const FoundRow entry = findEntry(pages_.get(at.page), at, pager_.format(), target_.table.page);
    if (entry.fault != RowFault::None) refuse(at, whyNotFound(entry.fault));
    if (entry.kind == SlotKind::Deleted) {
      throw DataAccessError("the row at " + rowName(at) + " of " + target_.displayName +
                                " has been deleted since it was read",
                            ErrorKind::ChangedSinceRead);
    }
    // A moved row may also be named by where its data lives now.
    if (entry.kind != SlotKind::Pointer) return {at, flagBit(at, entry.extent)};

    const FoundRow moved =
        followMovedRow(entry, pager_.format(), target_.table.page, pager_.pageCount(),
                       [&](std::uint32_t number) -> Bytes { return pages_.get(number); });
    if (moved.fault != RowFault::None) {
      refuse(at, "its pointer to " + rowName(moved.location) +
                     " leads nowhere: " + whyNotFound(moved.fault));
    }
    return {moved.location, flagBit(moved.location, moved.extent)};
  }

 private:
  [[noreturn]] void refuse(RowLocation at, const std::string& why) const {
    throw DataAccessError("the row at " + rowName(at) + " of " + target_.displayName +
                              " does not have a layout this program can change safely: " + why,
                          ErrorKind::UnknownLayout);
  }

  static std::string whyNotFound(RowFault fault) {
    switch (fault) {
      case RowFault::NotTheTablesPage:
        return "the page is not a data page of the table";
      case RowFault::RowTableTooLong:
        return "the page's row table is longer than the page";
      case RowFault::NoSuchEntry:
        return "the page has no such row entry";
      case RowFault::ImpossibleBounds:
        return "the row's bounds are impossible";
      case RowFault::PointerCutShort:
        return "the moved-row pointer is cut short";
      case RowFault::PastTheEnd:
        return "no such page";
      case RowFault::NotAMovedRow:
        return "it is not a moved row";
      case RowFault::None:
        break;
    }
    return {};
  }

  FlagBit flagBit(RowLocation at, RowExtent extent) {
    if (!row_.parse(pages_.get(at.page), extent)) refuse(at, "it " + row_.problem());
    if (target_.column.number >= row_.columnCount()) {
      refuse(at, "the row was stored before the column existed");
    }
    return row_.maskBit(target_.column.number);
  }

  const Pager& pager_;
  const FlagTarget& target_;
  PageCache pages_;
  RowDecoder row_;
};

FlagWriteResult carryOut(const FlagTarget& target, const std::vector<FlagChange>& changes) {
  FlagWriteResult result;
  if (changes.empty()) return result;
  if (!target.column.is(JetType::Boolean)) {
    throw DataAccessError(
        target.column.name + " is not a Yes/No column of the table " + target.table.name,
        ErrorKind::ColumnNotWritable);
  }
  if (target.table.isIndexed(target.column.number)) {
    throw DataAccessError("the column " + target.column.name + " of " + target.table.name +
                              " is part of an index, which this program cannot update",
                          ErrorKind::IndexedColumn);
  }
  refuseIfMarkedReadOnly(target);
  Pager pager(target.path, Pager::Access::ReadWrite, target.displayName);
  lockForWriting(pager, target);
  refuseIfMoreThanOneName(pager, target);
  const std::string journal = journalPathFor(target.path);
  std::string keptBecause;
  if (recoverLocked(pager, journal, &keptBecause) == Recovery::KeptTornJournal) {
    throw DataAccessError(keptBecause + "; the change needs its own journal there",
                          ErrorKind::PendingRollback);
  }
  refuseIfDefinitionChanged(pager, target);

  // Check every row before writing anything.
  FlagLocator locator(pager, target);
  std::map<std::uint32_t, std::map<std::uint16_t, std::uint8_t>> flips;
  std::set<std::pair<std::uint32_t, std::uint16_t>> seen;
  for (std::size_t i = 0; i < changes.size(); ++i) {
    const FlagChange& change = changes[i];
    const LocatedFlag flag = locator.locate(change.row);
    if (!seen.insert({flag.row.page, flag.row.slot}).second) {
      throw DataAccessError("the row at " + rowName(change.row) + " of " + target.displayName +
                            " is listed twice in one statement");
    }
    const bool stored =
        (locator.pages().get(flag.row.page)[flag.bit.byteOffset] & flag.bit.mask) != 0;
    if (stored != change.expected) {
      throw DataAccessError("the row at " + rowName(change.row) + " of " + target.displayName +
                                " has changed since it was read",
                            ErrorKind::ChangedSinceRead);
    }
    if (change.value != stored) {
      flips[flag.row.page][static_cast<std::uint16_t>(flag.bit.byteOffset)] |= flag.bit.mask;
      ++result.rowsChanged;
      result.changedRows.push_back(i);
    }
  }
  if (flips.empty()) return result;

  std::vector<PageChange> pageChanges;
  pageChanges.reserve(flips.size());
  for (const auto& [page, bytes] : flips) {
    PageChange pageChange;
    pageChange.page = page;
    pageChange.original = locator.pages().take(page);
    for (const auto& [offset, mask] : bytes) pageChange.changes.push_back({offset, mask});
    pageChanges.push_back(std::move(pageChange));
  }

  writeJournal(journal, pager.file(), static_cast<std::uint32_t>(pager.pageSize()),
               pager.fileSize(), pageChanges, result.durability);
  try {
    for (const auto& pageChange : pageChanges) {
      pager.writePage(pageChange.page, pageChange.changedImage());
      ++result.pagesWritten;
      reachedWriteStep(WriteStep::PageWritten, result.pagesWritten);
    }
    pager.sync();
    reachedWriteStep(WriteStep::FileSynced, 0);
  } catch (const DataAccessError& error) {
    undoAfter(error, pager, journal);
  }
  std::string removalNotDurable;
  try {
    removalNotDurable = removeJournal(journal);
  } catch (const DataAccessError& error) {
    undoAfter(error, pager, journal);
  }
  if (!removalNotDurable.empty()) {
    // The statement is whole in the file and durable: it is done, and says what is left.
    result.notice = "the flags of " + target.displayName +
                    " were changed, but the removal of the rollback journal " + journal +
                    " may not be durable (" + removalNotDurable +
                    "): should the system stop before it writes the folder, the change will be "
                    "undone when the file is next opened";
  }
  return result;
}

}  // namespace

FlagWriteResult writeFlags(const FlagTarget& target, const std::vector<FlagChange>& changes) {
  const std::uint64_t syncsBefore = platform::syncsMade();
  FlagWriteResult result = carryOut(target, changes);
  result.durability.fsyncs = static_cast<unsigned>(platform::syncsMade() - syncsBefore);
  return result;
}

}  // namespace leafward::jet
