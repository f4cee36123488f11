#include "dataaccess/jet/read/row_locations.h"

#include <algorithm>

namespace leafward::jet {

void RowLocations::push_back(RowLocation location) {
  if (pages_.empty() || pages_.back() != location.page) {
    pages_.push_back(location.page);
    starts_.push_back(static_cast<std::uint32_t>(slots_.size()));
  }
  slots_.push_back(location.slot);
}

RowLocation RowLocations::operator[](std::size_t row) const {
  const auto after = std::upper_bound(starts_.begin(), starts_.end(), row);
  return {pages_[static_cast<std::size_t>(after - starts_.begin()) - 1], slots_[row]};
}

}  // namespace leafward::jet
