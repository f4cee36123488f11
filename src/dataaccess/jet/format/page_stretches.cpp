#include "dataaccess/jet/format/page_stretches.h"

namespace leafward::jet {

PageStretches::PageStretches(const Pager& pager, std::span<const std::uint32_t> pages,
                             std::size_t mostPages)
    : pager_(pager), pages_(pages), mostPages_(mostPages < 1 ? 1 : mostPages) {}

std::size_t PageStretches::readFrom(std::size_t index) {
  const std::uint32_t first = pages_[index];
  std::size_t count = 1;
  while (index + count < pages_.size()) {
    const std::uint32_t next = pages_[index + count];
    if (next >= pager_.pageCount() || next - pages_[index + count - 1] > kLargestGap ||
        next - first >= mostPages_) {
      break;
    }
    ++count;
  }
  const std::size_t spanned = std::size_t{pages_[index + count - 1]} - first + 1;
  read_ = false;
  images_.resize(spanned * pager_.pageSize());
  pager_.readPages(first, images_);
  read_ = true;
  first_ = first;
  spanned_ = spanned;
  return count;
}

}  // namespace leafward::jet
