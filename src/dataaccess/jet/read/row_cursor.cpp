#include "dataaccess/jet/read/row_cursor.h"

namespace leafward::jet {
namespace {

// The pages of a stretch of the table are read together, this many at most.
constexpr std::size_t kPagesPerRead = 32;

}  // namespace

RowCursor::RowCursor(const Pager& pager, const TableDefinition& table,
                     const std::vector<std::uint32_t>& pages)
    : pager_(pager),
      table_(table),
      pages_(pages),
      stretches_(pager, pages, kPagesPerRead),
      movedPage_(pager.pageSize()) {}

void RowCursor::badRow(const std::string& what) const {
  pager_.damaged("row " + std::to_string(location_.slot) + " on page " +
                 std::to_string(location_.page) + " of table " + table_.name + " " + what);
}

bool RowCursor::loadNextPage() {
  while (pageIndex_ < pages_.size()) {
    const std::uint32_t number = pages_[pageIndex_];
    if (!stretches_.holds(number)) stretches_.readFrom(pageIndex_);
    ++pageIndex_;
    page_ = stretches_.page(number);
    // A page map may still name a page the table has given up; such a page now belongs to
    // something else and is not this table's.
    if (!RowTable::belongsTo(page_, table_.page)) continue;
    const auto count = RowTable(page_, pager_.format()).count();
    if (!count) {
      pager_.damaged("page " + std::to_string(number) + " of table " + table_.name +
                     " has a malformed row table");
    }
    pageNumber_ = number;
    slotCount_ = *count;
    slot_ = 0;
    return true;
  }
  return false;
}

bool RowCursor::next() {
  for (;;) {
    if (slot_ >= slotCount_) {
      if (!loadNextPage()) return false;
      continue;
    }
    const std::size_t slot = slot_++;
    const RowTable rows(page_, pager_.format());
    const SlotKind kind = RowTable::kindOf(rows.entry(slot));
    if (kind == SlotKind::Deleted || kind == SlotKind::MovedRow) continue;
    location_ = RowLocation{pageNumber_, static_cast<std::uint16_t>(slot)};
    const auto extent = rows.extent(slot, slotCount_);
    if (!extent) badRow("has impossible bounds");
    if (kind == SlotKind::Pointer) {
      followPointer(*extent);
    } else {
      rowPage_ = page_;
      rowPageNumber_ = pageNumber_;
      extent_ = *extent;
    }
    return true;
  }
}

void RowCursor::followPointer(RowExtent pointer) {
  FoundRow entry;
  entry.page = page_;
  entry.extent = pointer;
  const FoundRow moved = followMovedRow(entry, pager_.format(), table_.page, pager_.pageCount(),
                                        [&](std::uint32_t number) -> Bytes {
                                          if (stretches_.holds(number)) {
                                            return stretches_.page(number);
                                          }
                                          if (number != movedPageNumber_) {
                                            movedPageNumber_ = UINT64_MAX;
                                            pager_.readPage(number, movedPage_);
                                            movedPageNumber_ = number;
                                          }
                                          return movedPage_;
                                        });
  const auto target = [&] { return "page " + std::to_string(moved.location.page); };
  switch (moved.fault) {
    case RowFault::None:
      break;
    case RowFault::PointerCutShort:
      badRow("points nowhere");
    case RowFault::PastTheEnd:
      pager_.truncated("a row of table " + table_.name + " moved to " + target() +
                       ", past the end of the file");
    case RowFault::NotTheTablesPage:
      badRow("points to " + target() + ", which is not the table's");
    case RowFault::ImpossibleBounds:
      badRow("moved to a place with impossible bounds");
    default:
      badRow("points to a place on " + target() + " that holds no moved row");
  }
  rowPage_ = moved.page;
  rowPageNumber_ = moved.location.page;
  extent_ = moved.extent;
}

}  // namespace leafward::jet
