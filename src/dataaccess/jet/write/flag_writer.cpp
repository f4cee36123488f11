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
  if (!platform::waitForLock(pager.file(), platform::LockKind::Exclusive,
                             platform::kWriterLockWait)) {
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
    const Slot slot = readSlot(at);
    if (slot.kind == SlotKind::Deleted) {
      throw DataAccessError("the row at " + rowName(at) + " of " + target_.displayName +
                                " has been deleted since it was read",
                            ErrorKind::ChangedSinceRead);
    }
    // A moved row may also be named by where its data lives now.
    if (slot.kind != SlotKind::Pointer) return {at, flagBit(at, slot.extent)};

    const auto target = RowTable(pages_.get(at.page), pager_.format()).pointer(slot.extent);
    if (!target) refuse(at, "the moved-row pointer is cut short");
    const Slot moved = readSlot(*target);
    if (moved.kind != SlotKind::MovedRow) {
      refuse(at, "it points to an entry that is not a moved row (" + rowName(*target) + ")");
    }
    return {*target, flagBit(*target, moved.extent)};
  }

 private:
  struct Slot {
    SlotKind kind;
    RowExtent extent;
  };

  [[noreturn]] void refuse(RowLocation at, const std::string& why) const {
    throw DataAccessError("the row at " + rowName(at) + " of " + target_.displayName +
                              " does not have a layout this program can change safely: " + why,
                          ErrorKind::UnknownLayout);
  }

  Slot readSlot(RowLocation at) {
    if (at.page == 0 || at.page >= pager_.pageCount()) refuse(at, "no such page");
    const auto& page = pages_.get(at.page);
    if (!RowTable::belongsTo(page, target_.table.page)) {
      refuse(at, "the page is not a data page of the table");
    }
    const RowTable rows(page, pager_.format());
    const auto count = rows.count();
    if (!count) refuse(at, "the page's row table is longer than the page");
    if (at.slot >= *count) refuse(at, "the page has no such row entry");
    const SlotKind kind = RowTable::kindOf(rows.entry(at.slot));
    if (kind == SlotKind::Deleted) return {kind, {}};
    const auto extent = rows.extent(at.slot, *count);
    if (!extent) refuse(at, "the row's bounds are impossible");
    return {kind, *extent};
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

}  // namespace

FlagWriteResult writeFlags(const FlagTarget& target, const std::vector<FlagChange>& changes) {
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
  const std::string journal = journalPathFor(target.path);
  recoverLocked(pager, journal, result.durability);
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
    ++result.durability.fsyncs;
    reachedWriteStep(WriteStep::FileSynced, 0);
  } catch (const DataAccessError& error) {
    // Put the old pages back now; if even that fails, the journal stays for the next open.
    try {
      recoverLocked(pager, journal, result.durability);
    } catch (const DataAccessError&) {
      throw DataAccessError(std::string(error.what()) +
                            "; the change will be undone when the file is next opened");
    }
    throw;
  }
  removeJournal(journal, result.durability);
  return result;
}

}  // namespace leafward::jet
