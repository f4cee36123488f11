#include "dataaccess/jet/format/entry_pages.h"

#include <algorithm>

namespace leafward::jet {

EntryPages::EntryPages(const Pager& pager, std::vector<std::uint32_t> entryPages)
    : pager_(pager),
      entryPages_(std::move(entryPages)),
      stretches_(pager, entryPages_, kPagesPerRead),
      other_(pager.pageSize()) {}

Bytes EntryPages::entryPage(std::uint32_t page) {
  if (stretches_.holds(page)) return stretches_.page(page);
  const auto listed = std::lower_bound(entryPages_.begin(), entryPages_.end(), page);
  if (listed == entryPages_.end() || *listed != page) return otherPage(page);
  stretches_.readFrom(static_cast<std::size_t>(listed - entryPages_.begin()));
  return stretches_.page(page);
}

Bytes EntryPages::otherPage(std::uint32_t page) {
  if (stretches_.holds(page)) return stretches_.page(page);
  if (otherNumber_ != page) {
    otherNumber_ = UINT64_MAX;
    pager_.readPage(page, other_);
    otherNumber_ = page;
  }
  return other_;
}

FoundRow EntryPages::liveRow(RowLocation at, std::uint32_t tablePage) {
  if (at.page == 0 || at.page >= pager_.pageCount()) {
    FoundRow missing;
    missing.fault = RowFault::PastTheEnd;
    missing.location = at;
    return missing;
  }
  const FoundRow entry = findEntry(entryPage(at.page), at, pager_.format(), tablePage);
  if (entry.fault != RowFault::None || entry.kind != SlotKind::Pointer) return entry;
  return followMovedRow(entry, pager_.format(), tablePage, pager_.pageCount(),
                        [&](std::uint32_t number) { return otherPage(number); });
}

std::vector<std::uint32_t> EntryPages::pagesOf(const Pager& pager,
                                               const std::vector<RowLocation>& rowsInEntryOrder) {
  std::vector<std::uint32_t> pages;
  for (const RowLocation& row : rowsInEntryOrder) {
    if (row.page != 0 && row.page < pager.pageCount() &&
        (pages.empty() || pages.back() != row.page)) {
      pages.push_back(row.page);
    }
  }
  return pages;
}

}  // namespace leafward::jet
