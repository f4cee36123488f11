#include "dataaccess/jet/format/data_page.h"

namespace leafward::jet {
namespace {

constexpr std::size_t kPointerLength = 4;  // entry (1 byte), page (3 bytes)

}  // namespace

std::optional<std::size_t> RowTable::count() const {
  const std::size_t count = readU16(page_, format_.rowCountOffset);
  if (format_.rowCountOffset + 2 + 2 * count > format_.pageSize) return std::nullopt;
  return count;
}

SlotKind RowTable::kindOf(std::uint16_t entry) {
  switch (entry & kRowDeletedFlags) {
    case 0:
      return SlotKind::Row;
    case kRowElsewhereFlag:
      return SlotKind::MovedRow;
    case kRowPointerFlag:
      return SlotKind::Pointer;
    default:
      return SlotKind::Deleted;
  }
}

std::optional<RowExtent> RowTable::extent(std::size_t slot, std::size_t count) const {
  const std::size_t tableEnd = format_.rowCountOffset + 2 + 2 * count;
  const std::size_t start = entry(slot) & kRowOffsetMask;
  const std::size_t end = slot == 0 ? format_.pageSize : entry(slot - 1) & kRowOffsetMask;
  if (start < tableEnd || start >= end || end > format_.pageSize) return std::nullopt;
  return RowExtent{start, end};
}

std::optional<RowLocation> RowTable::pointer(RowExtent extent) const {
  if (extent.size() < kPointerLength) return std::nullopt;
  return RowLocation{readU24(page_, extent.start + 1), page_[extent.start]};
}

FoundRow findEntry(Bytes page, RowLocation at, const JetFormat& format, std::uint32_t tablePage) {
  FoundRow found;
  found.location = at;
  found.page = page;
  if (!RowTable::belongsTo(page, tablePage)) {
    found.fault = RowFault::NotTheTablesPage;
    return found;
  }
  const RowTable rows(page, format);
  const auto count = rows.count();
  if (!count) {
    found.fault = RowFault::RowTableTooLong;
  } else if (at.slot >= *count) {
    found.fault = RowFault::NoSuchEntry;
  } else {
    found.kind = RowTable::kindOf(rows.entry(at.slot));
    if (found.kind == SlotKind::Deleted) return found;
    const auto extent = rows.extent(at.slot, *count);
    if (extent) {
      found.extent = *extent;
    } else {
      found.fault = RowFault::ImpossibleBounds;
    }
  }
  return found;
}

FoundRow followMovedRow(const FoundRow& pointer, const JetFormat& format, std::uint32_t tablePage,
                        std::uint32_t pageCount,
                        const std::function<Bytes(std::uint32_t)>& pageAt) {
  FoundRow moved;
  const auto target = RowTable(pointer.page, format).pointer(pointer.extent);
  if (!target) {
    moved.fault = RowFault::PointerCutShort;
    return moved;
  }
  moved.location = *target;
  if (target->page >= pageCount) {
    moved.fault = RowFault::PastTheEnd;
    return moved;
  }
  moved = findEntry(pageAt(target->page), *target, format, tablePage);
  if (moved.fault == RowFault::None && moved.kind != SlotKind::MovedRow) {
    moved.fault = RowFault::NotAMovedRow;
  }
  return moved;
}

}  // namespace leafward::jet
