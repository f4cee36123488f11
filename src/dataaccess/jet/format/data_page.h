#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

#include "dataaccess/jet/format/byte_order.h"
#include "dataaccess/jet/format/jet_format.h"

namespace leafward::jet {

// A row's bytes on its page: [start, end).
struct RowExtent {
  std::size_t start = 0;
  std::size_t end = 0;
  std::size_t size() const { return end - start; }
};

// What an entry of a data page's row table stands for.
enum class SlotKind {
  Row,       // an ordinary row
  MovedRow,  // the data of a row that moved here; reached only through its pointer
  Pointer,   // the row moved: the entry holds a pointer to its new place
  Deleted,
};

// Where a row lives: a page and the entry in that page's row table.
struct RowLocation {
  std::uint32_t page = 0;
  std::uint16_t slot = 0;
  bool operator==(const RowLocation&) const = default;
};

// The row table of a data page (data and large-value pages share it): a count, then one 16-bit
// entry per row holding the row's offset and two flag bits. Rows fill the page from its end, so
// a row ends where the row of the entry before it begins (the first at the end of the page).
class RowTable {
 public:
  RowTable(Bytes page, const JetFormat& format) : page_(page), format_(format) {}

  // Whether the page is a data page of the table whose definition starts at `tablePage`.
  static bool belongsTo(Bytes page, std::uint32_t tablePage) {
    return page[0] == kPageData && readU32(page, kPageLinkOffset) == tablePage;
  }

  // The number of entries, or nothing when the table would run past the page.
  std::optional<std::size_t> count() const;

  std::uint16_t entry(std::size_t slot) const {
    return readU16(page_, format_.rowCountOffset + 2 + 2 * slot);
  }
  static SlotKind kindOf(std::uint16_t entry);

  // Where the row of `slot` (< count) lies, or nothing when its bounds are impossible.
  std::optional<RowExtent> extent(std::size_t slot, std::size_t count) const;

  // Where the pointer held in a Pointer entry's extent sends the row; nothing when the extent
  // is too short to hold one.
  std::optional<RowLocation> pointer(RowExtent extent) const;

 private:
  Bytes page_;
  const JetFormat& format_;
};

// Why a row cannot be found where an entry says it is.
enum class RowFault {
  None,
  NotTheTablesPage,  // not a data page of the table
  RowTableTooLong,   // the page's row table runs past the page
  NoSuchEntry,       // the page's row table has no such entry
  ImpossibleBounds,  // the row's bounds are impossible
  PointerCutShort,   // a moved row's pointer is too short to hold one
  PastTheEnd,        // a moved row's pointer names a page past the end of the file
  NotAMovedRow,      // a moved row's pointer names an entry that is not a moved row
};

// A row found through an entry: what the entry is and, unless it is deleted, where the row's
// bytes lie; or why it cannot be found.
struct FoundRow {
  RowFault fault = RowFault::None;
  RowLocation location;  // the entry (for a moved row: the one its pointer names)
  SlotKind kind = SlotKind::Row;
  Bytes page;  // the image of the entry's page
  RowExtent extent;
};

// Entry `at.slot` of `page`, page `at.page` of the file, which must be a data page of the table
// whose definition starts at `tablePage`.
FoundRow findEntry(Bytes page, RowLocation at, const JetFormat& format, std::uint32_t tablePage);

// Follows a moved row's pointer (`pointer`, a Pointer entry found by findEntry) to the row's
// bytes. The page it names must lie within the file's `pageCount` pages and be a data page of
// the same table, and the entry there must be a moved row with possible bounds. `pageAt`
// gives the image of a page of the file.
FoundRow followMovedRow(const FoundRow& pointer, const JetFormat& format, std::uint32_t tablePage,
                        std::uint32_t pageCount, const std::function<Bytes(std::uint32_t)>& pageAt);

}  // namespace leafward::jet
