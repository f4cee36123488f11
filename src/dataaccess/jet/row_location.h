#pragma once

#include <cstdint>

namespace leafward::jet {

// Where a row's entry sits in an .mdb file: the data page and the slot in that page's row
// table. For a moved row this is the slot that holds the pointer to the row's new place;
// whoever writes to the row follows the pointer from there.
struct RowLocation {
  std::uint32_t page = 0;
  std::uint16_t slot = 0;
  bool operator==(const RowLocation&) const = default;
};

}  // namespace leafward::jet
