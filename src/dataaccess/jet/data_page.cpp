#include "dataaccess/jet/data_page.h"

namespace leafward::jet {

std::optional<std::size_t> RowTable::count() const {
  const std::size_t count = readU16(page_, format_.rowCountOffset);
  if (format_.rowCountOffset + 2 + 2 * count > format_.pageSize) return std::nullopt;
  return count;
}

std::optional<RowExtent> RowTable::extent(std::size_t slot, std::size_t count) const {
  const std::size_t tableEnd = format_.rowCountOffset + 2 + 2 * count;
  const std::size_t start = entry(slot) & kRowOffsetMask;
  const std::size_t end = slot == 0 ? format_.pageSize : entry(slot - 1) & kRowOffsetMask;
  if (start < tableEnd || start >= end || end > format_.pageSize) return std::nullopt;
  return RowExtent{start, end};
}

}  // namespace leafward::jet
