#include "dataaccess/jet/flag_writer.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <set>
#include <unordered_map>

#include "dataaccess/jet/file_lock.h"
#include "dataaccess/jet/journal_recovery.h"
#include "dataaccess/jet/page_file.h"
#include "dataaccess/jet/rollback_journal.h"
#include "dataaccess/jet/row_layout.h"
#include "dataaccess/jet/table_catalog.h"
#include "dataaccess/jet/table_definition.h"
#include "dataaccess/jet/write_hooks.h"
#include "dataaccess/jet/write_refusal.h"

namespace leafward::jet {
namespace {

using Reason = WriteRefused::Reason;

std::string rowName(RowLocation at) {
  return "page " + std::to_string(at.page) + ", entry " + std::to_string(at.slot);
}

// A file or folder without any write permission is read-only to us, even to an
// administrator whom the system would let write anyway.
void refuseIfMarkedReadOnly(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    throw dataaccess::DataAccessError("cannot examine " + path + ": " + std::strerror(errno));
  }
  if ((info.st_mode & 0222) == 0) {
    throw WriteRefused(Reason::ReadOnly, "the file " + path + " is read-only");
  }
  std::string folder = parentFolder(path);
  if (::stat(folder.c_str(), &info) == 0 && (info.st_mode & 0222) == 0) {
    throw WriteRefused(Reason::ReadOnly, "the folder " + folder +
                                             " is read-only, so the change could not be made "
                                             "safely (it needs a rollback journal there)");
  }
}

unsigned fileMode(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return 0600;
  return (info.st_mode & 0666) | 0600;
}

// Pages read while the statement is checked, each read once.
class PageCache {
 public:
  explicit PageCache(const PageFile& file) : file_(file) {}
  std::uint32_t pageCount() const { return file_.pageCount(); }
  const std::vector<std::uint8_t>& get(std::uint32_t page) {
    auto found = pages_.find(page);
    if (found == pages_.end()) found = pages_.emplace(page, file_.readPage(page)).first;
    return found->second;
  }
  std::vector<std::uint8_t> take(std::uint32_t page) { return std::move(pages_.at(page)); }

 private:
  const PageFile& file_;
  std::unordered_map<std::uint32_t, std::vector<std::uint8_t>> pages_;
};

// Finds where the row's Yes/No bit lives, following a moved row's pointer.
FlagBit locateFlag(const RowLayout& layout, PageCache& pages, RowLocation at,
                   std::uint16_t columnNumber, const std::string& path) {
  if (at.page == 0 || at.page >= pages.pageCount()) {
    throw WriteRefused(Reason::UnknownRowLayout, "no row lives at " + rowName(at) + " of " + path);
  }
  const auto& page = pages.get(at.page);
  Slot slot = layout.readSlot(page, at);
  if (slot.kind == SlotKind::Deleted) {
    throw WriteRefused(Reason::RowChanged, "the row at " + rowName(at) + " of " + path +
                                               " has been deleted since it was read");
  }
  if (slot.kind != SlotKind::Pointer) return layout.findFlagBit(page, at, slot, columnNumber);

  RowLocation target = layout.readPointer(page, at, slot);
  if (target.page == 0 || target.page >= pages.pageCount()) {
    throw WriteRefused(Reason::UnknownRowLayout, "the moved row at " + rowName(at) + " of " + path +
                                                     " points outside the file");
  }
  const auto& targetPage = pages.get(target.page);
  Slot targetSlot = layout.readSlot(targetPage, target);
  if (targetSlot.kind != SlotKind::MovedRow) {
    throw WriteRefused(Reason::UnknownRowLayout,
                       "the moved row at " + rowName(at) + " of " + path +
                           " points to an entry that is not a moved row (" + rowName(target) + ")");
  }
  return layout.findFlagBit(targetPage, target, targetSlot, columnNumber);
}

}  // namespace

FlagWriteResult writeFlags(const std::string& path, std::string_view table, std::string_view column,
                           const std::vector<FlagChange>& changes) {
  FlagWriteResult result;
  if (changes.empty()) return result;

  std::uint32_t tablePage = findTablePage(path, table);
  refuseIfMarkedReadOnly(path);
  PageFile file(path, PageFile::Access::ReadWrite);
  FileWriteLock lock(file.fd(), path);
  recoverLocked(file, result.durability);

  TableDefinition definition = readTableDefinition(file, tablePage);
  const ColumnDefinition* flagColumn = definition.findColumn(column);
  if (!flagColumn || flagColumn->type != kYesNoColumn) {
    throw WriteRefused(
        Reason::ColumnNotWritable,
        std::string(column) + " is not a Yes/No column of the table " + std::string(table));
  }
  if (definition.isIndexed(flagColumn->number)) {
    throw WriteRefused(Reason::IndexedColumn,
                       "the column " + std::string(column) + " of " + std::string(table) +
                           " is part of an index, which this program cannot update");
  }

  // Check every row before writing anything.
  RowLayout layout(file.version(), file.pageSize(), definition, path);
  PageCache pages(file);
  std::map<std::uint32_t, std::map<std::uint16_t, std::uint8_t>> flips;
  std::set<std::pair<std::uint32_t, std::uint16_t>> seen;
  for (const auto& change : changes) {
    FlagBit bit = locateFlag(layout, pages, change.row, flagColumn->number, path);
    if (!seen.insert({bit.page, bit.slot}).second) {
      throw dataaccess::DataAccessError("the row at " + rowName(change.row) + " of " + path +
                                        " is listed twice in one statement");
    }
    bool stored = (pages.get(bit.page)[bit.byteOffset] & bit.mask) != 0;
    if (stored != change.expected) {
      throw WriteRefused(Reason::RowChanged, "the row at " + rowName(change.row) + " of " + path +
                                                 " has changed since it was read");
    }
    if (change.value != stored) {
      flips[bit.page][bit.byteOffset] |= bit.mask;
      ++result.rowsChanged;
    }
  }
  if (flips.empty()) return result;

  std::vector<PageChange> pageChanges;
  pageChanges.reserve(flips.size());
  for (const auto& [page, bytes] : flips) {
    PageChange pageChange;
    pageChange.page = page;
    pageChange.original = pages.take(page);
    for (const auto& [offset, mask] : bytes) pageChange.changes.push_back({offset, mask});
    pageChanges.push_back(std::move(pageChange));
  }

  std::string journal = journalPathFor(path);
  writeJournal(journal, static_cast<std::uint32_t>(file.pageSize()), file.fileSize(), pageChanges,
               fileMode(file.fd()), result.durability);
  try {
    for (const auto& pageChange : pageChanges) {
      file.writePage(pageChange.page, pageChange.changedImage());
      ++result.pagesWritten;
      reachedWriteStep(WriteStep::PageWritten, result.pagesWritten);
    }
    syncFile(file.fd(), path, result.durability);
    reachedWriteStep(WriteStep::FileSynced, 0);
  } catch (const dataaccess::DataAccessError& error) {
    // Put the old pages back now; if even that fails, the journal stays for the next open.
    try {
      recoverLocked(file, result.durability);
    } catch (const dataaccess::DataAccessError&) {
      throw dataaccess::DataAccessError(std::string(error.what()) +
                                        "; the change will be undone when the file is next "
                                        "opened");
    }
    throw;
  }
  removeJournal(journal, result.durability);
  return result;
}

}  // namespace leafward::jet
