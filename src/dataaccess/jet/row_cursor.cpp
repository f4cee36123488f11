#include "dataaccess/jet/row_cursor.h"

#include <string>

namespace leafward::jet {

RowCursor::RowCursor(const JetFile& file, const TableLayout& table,
                     const std::vector<std::uint32_t>& pages)
    : file_(file),
      table_(table),
      pages_(pages),
      page_(file.pageSize()),
      movedPage_(file.pageSize()) {}

void RowCursor::badRow(const std::string& what) const {
  file_.damaged("row " + std::to_string(location_.slot) + " on page " +
                std::to_string(location_.page) + " of table " + table_.name + " " + what);
}

bool RowCursor::loadNextPage() {
  while (pageIndex_ < pages_.size()) {
    const std::uint32_t number = pages_[pageIndex_++];
    file_.readPage(number, page_);
    // A page map may still name a page the table has given up; such a page now belongs to
    // something else and is not this table's.
    if (page_[0] != kPageData || readU32(page_, 4) != table_.definitionPage) continue;
    const auto count = RowTable(page_, file_.format()).count();
    if (!count) {
      file_.damaged("page " + std::to_string(number) + " of table " + table_.name +
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
    const RowTable rows(page_, file_.format());
    const std::uint16_t flags = RowTable::flags(rows.entry(slot));
    if (flags == kRowDeletedFlags || flags == kRowElsewhereFlag) continue;
    location_ = RowLocation{pageNumber_, static_cast<std::uint16_t>(slot)};
    const auto extent = rows.extent(slot, slotCount_);
    if (!extent) badRow("has impossible bounds");
    if (flags == kRowPointerFlag) {
      followPointer(*extent);
    } else {
      rowPage_ = page_;
      extent_ = *extent;
    }
    return true;
  }
}

void RowCursor::followPointer(RowExtent pointer) {
  if (pointer.size() < 4) badRow("points nowhere");
  const std::size_t targetSlot = page_[pointer.start];
  const std::uint32_t targetPage = readU24(page_, pointer.start + 1);
  if (targetPage >= file_.pageCount()) {
    file_.truncated("a row of table " + table_.name + " moved to page " +
                    std::to_string(targetPage) + ", past the end of the file");
  }
  Bytes target;
  if (targetPage == pageNumber_) {
    target = page_;
  } else {
    if (targetPage != movedPageNumber_) {
      movedPageNumber_ = UINT64_MAX;
      file_.readPage(targetPage, movedPage_);
      movedPageNumber_ = targetPage;
    }
    target = movedPage_;
  }
  if (target[0] != kPageData || readU32(target, 4) != table_.definitionPage) {
    badRow("points to page " + std::to_string(targetPage) + ", which is not the table's");
  }
  const RowTable rows(target, file_.format());
  const auto count = rows.count();
  if (!count || targetSlot >= *count ||
      RowTable::flags(rows.entry(targetSlot)) != kRowElsewhereFlag) {
    badRow("points to a place on page " + std::to_string(targetPage) + " that holds no moved row");
  }
  const auto extent = rows.extent(targetSlot, *count);
  if (!extent) badRow("moved to a place with impossible bounds");
  rowPage_ = target;
  extent_ = *extent;
}

}  // namespace leafward::jet
