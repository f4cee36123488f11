#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "dataaccess/jet/format/data_page.h"

namespace leafward::jet {

// Where each row of a table read lives, in the order read: the rows of one page come one after
// another, so a page is kept once for all of its rows and each row keeps only its entry's
// number (2 bytes a row instead of 8).
class RowLocations {
 public:
  std::size_t size() const { return slots_.size(); }
  bool empty() const { return slots_.empty(); }
  void reserve(std::size_t rows) { slots_.reserve(rows); }

  void push_back(RowLocation location);
  RowLocation operator[](std::size_t row) const;
  std::uint16_t slotOf(std::size_t row) const { return slots_[row]; }

  // The stretches of rows that share a page, in order: rows [starts(k), starts(k + 1)) live on
  // page pageOf(k), the last stretch ending at size().
  std::size_t stretches() const { return pages_.size(); }
  std::uint32_t pageOf(std::size_t stretch) const { return pages_[stretch]; }
  std::size_t startOf(std::size_t stretch) const { return starts_[stretch]; }
  std::size_t endOf(std::size_t stretch) const {
    return stretch + 1 < starts_.size() ? starts_[stretch + 1] : slots_.size();
  }

  bool operator==(const RowLocations&) const = default;

 private:
  std::vector<std::uint32_t> pages_;
  std::vector<std::uint32_t> starts_;
  std::vector<std::uint16_t> slots_;
};

}  // namespace leafward::jet
