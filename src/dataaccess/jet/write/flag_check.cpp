#include "dataaccess/jet/write/flag_check.h"

#include <algorithm>
#include <map>
#include <set>

#include "dataaccess/errors.h"
#include "dataaccess/jet/format/entry_pages.h"
#include "dataaccess/jet/format/row.h"

namespace leafward::jet {
namespace {

using dataaccess::DataAccessError;
using dataaccess::ErrorKind;

std::string rowName(RowLocation at) {
  return "page " + std::to_string(at.page) + ", entry " + std::to_string(at.slot);
}

struct LocatedFlag {
  RowLocation row;  // where the row's data lives
  FlagBit bit;
  bool stored = false;  // the value the row holds now
};

class FlagLocator {
 public:
  FlagLocator(const Pager& pager, const FlagTarget& target, std::vector<std::uint32_t> entryPages)
      : pager_(pager),
        target_(target),
        pages_(pager, std::move(entryPages)),
        row_(pager.format(), target.table) {}

  // Finds where the row's Yes/No bit lives, following a moved row's pointer.
  LocatedFlag locate(RowLocation at) {
    if (at.page == 0 || at.page >= pager_.pageCount()) refuse(at, "no such page");
    const Bytes page = pages_.entryPage(at.page);
    const FoundRow entry = findEntry(page, at, pager_.format(), target_.table.page);
    if (entry.fault != RowFault::None) refuse(at, whyNotFound(entry.fault));
    if (entry.kind == SlotKind::Deleted) {
      throw DataAccessError("the row at " + rowName(at) + " of " + target_.displayName +
                                " has been deleted since it was read",
                            ErrorKind::ChangedSinceRead);
    }
    // A moved row may also be named by where its data lives now.
    if (entry.kind != SlotKind::Pointer) return flagOf(at, page, entry.extent);

    const FoundRow moved =
        followMovedRow(entry, pager_.format(), target_.table.page, pager_.pageCount(),
                       [&](std::uint32_t number) { return pages_.otherPage(number); });
    if (moved.fault != RowFault::None) {
      refuse(at, "its pointer to " + rowName(moved.location) +
                     " leads nowhere: " + whyNotFound(moved.fault));
    }
    return flagOf(moved.location, moved.page, moved.extent);
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

  LocatedFlag flagOf(RowLocation at, Bytes page, RowExtent extent) {
    if (!row_.parse(page, extent)) refuse(at, "it " + row_.problem());
    if (target_.column.number >= row_.columnCount()) {
      refuse(at, "the row was stored before the column existed");
    }
    const FlagBit bit = row_.maskBit(target_.column.number);
    return {at, bit, (page[bit.byteOffset] & bit.mask) != 0};
  }

  const Pager& pager_;
  const FlagTarget& target_;
  EntryPages pages_;
  RowDecoder row_;
};

}  // namespace

std::vector<PageFlips> checkFlagChanges(const Pager& pager, const FlagTarget& target,
                                        const std::vector<FlagChange>& changes,
                                        FlagWriteResult& result) {
  // The rows are visited in the order of their entries in the file, so that the pages they lie
  // on are read a stretch at a time.
  std::vector<std::size_t> order(changes.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  const auto entryOf = [&](std::size_t i) {
    return std::pair{changes[i].row.page, changes[i].row.slot};
  };
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return entryOf(a) < entryOf(b); });
  std::vector<RowLocation> rows;
  rows.reserve(order.size());
  for (const std::size_t i : order) rows.push_back(changes[i].row);

  FlagLocator locator(pager, target, EntryPages::pagesOf(pager, rows));
  std::map<std::uint32_t, std::map<std::uint16_t, std::pair<std::uint8_t, std::uint8_t>>> flips;
  std::set<std::pair<std::uint32_t, std::uint16_t>> seen;
  for (const std::size_t i : order) {
    const FlagChange& change = changes[i];
    const LocatedFlag flag = locator.locate(change.row);
    if (!seen.insert({flag.row.page, flag.row.slot}).second) {
      throw DataAccessError("the row at " + rowName(change.row) + " of " + target.displayName +
                            " is listed twice in one statement");
    }
    if (flag.stored != change.expected) {
      throw DataAccessError("the row at " + rowName(change.row) + " of " + target.displayName +
                                " has changed since it was read",
                            ErrorKind::ChangedSinceRead);
    }
    if (change.value != flag.stored) {
      auto& [mask, before] = flips[flag.row.page][static_cast<std::uint16_t>(flag.bit.byteOffset)];
      mask |= flag.bit.mask;
      before |= flag.stored ? flag.bit.mask : 0;
      ++result.rowsChanged;
      result.changedRows.push_back(i);
    }
  }
  std::sort(result.changedRows.begin(), result.changedRows.end());

  std::vector<PageFlips> pages;
  pages.reserve(flips.size());
  for (const auto& [page, bytes] : flips) {
    PageFlips& flipped = pages.emplace_back();
    flipped.page = page;
    for (const auto& [offset, bits] : bytes) {
      flipped.changes.push_back({offset, bits.first});
      flipped.before.push_back(bits.second);
    }
  }
  return pages;
}

}  // namespace leafward::jet
