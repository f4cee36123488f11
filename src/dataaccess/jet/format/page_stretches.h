#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "dataaccess/jet/format/pager.h"

namespace leafward::jet {

// Reads a list of pages (ascending, each once) a stretch of the file at a time: from a listed
// page on, the listed pages that follow it closely (at most kLargestGap pages after the one
// before) and lie within `mostPages` pages of it are read in one go with the pages between
// them. A table's pages mostly follow each other, or lie between those of its index, so a few
// reads bring in a whole table.
class PageStretches {
 public:
  static constexpr std::uint32_t kLargestGap = 4;

  PageStretches(const Pager& pager, std::span<const std::uint32_t> pages, std::size_t mostPages);

  // Reads the stretch that begins at pages[index]; returns how many listed pages it holds. A
  // stretch ends before a listed page past the end of the file, which is read, and found
  // missing, alone.
  std::size_t readFrom(std::size_t index);

  // Whether the stretch read last holds page `number`, listed or not.
  bool holds(std::uint32_t number) const {
    return read_ && number >= first_ && number - first_ < spanned_;
  }
  // The image of a page the stretch read last holds.
  std::span<std::uint8_t> page(std::uint32_t number) {
    return std::span(images_).subspan((number - first_) * pager_.pageSize(), pager_.pageSize());
  }
  // The first page of the stretch read last, and the images of the pages it spans.
  std::uint32_t first() const { return first_; }
  std::span<std::uint8_t> images() { return images_; }

 private:
  const Pager& pager_;
  std::span<const std::uint32_t> pages_;
  std::size_t mostPages_;
  std::vector<std::uint8_t> images_;
  bool read_ = false;
  std::uint32_t first_ = 0;
  std::size_t spanned_ = 0;
};

}  // namespace leafward::jet
