#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "dataaccess/jet/jet_format.h"

namespace leafward::jet {

// A row's bytes on its page: [start, end).
struct RowExtent {
  std::size_t start = 0;
  std::size_t end = 0;
  std::size_t size() const { return end - start; }
};

// The row table of a data page (data and large-value pages share it): a count, then one
// 16-bit entry per row holding the row's offset and two flag bits. Rows fill the page from
// its end, so a row ends where the row of the previous entry begins.
class RowTable {
 public:
  RowTable(Bytes page, const JetFormat& format) : page_(page), format_(format) {}

  // The number of entries, or nothing when the table would run past the page.
  std::optional<std::size_t> count() const;

  std::uint16_t entry(std::size_t slot) const {
    return readU16(page_, format_.rowCountOffset + 2 + 2 * slot);
  }
  static std::uint16_t flags(std::uint16_t entry) { return entry & kRowDeletedFlags; }

  // Where the row of `slot` (< count()) lies, or nothing when its bounds are impossible.
  std::optional<RowExtent> extent(std::size_t slot, std::size_t count) const;

 private:
  Bytes page_;
  const JetFormat& format_;
};

}  // namespace leafward::jet
