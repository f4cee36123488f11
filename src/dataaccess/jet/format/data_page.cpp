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

}  // namespace leafward::jet
