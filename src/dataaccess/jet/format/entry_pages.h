#pragma once

#include <cstdint>
#include <vector>

#include "dataaccess/jet/format/data_page.h"
#include "dataaccess/jet/format/page_stretches.h"
#include "dataaccess/jet/format/pager.h"

namespace leafward::jet {

// The pages on which a list of rows' entries lie, visited in order and read a stretch at a
// time; and the odd page a moved row's pointer leads to, read alone. A page handed out stays
// valid until the next entry page that is not at hand.
class EntryPages {
 public:
  // Pages are read this many at most at a time.
  static constexpr std::size_t kPagesPerRead = 32;

  // `entryPages`: ascending, each once, each within the file.
  EntryPages(const Pager& pager, std::vector<std::uint32_t> entryPages);

  Bytes entryPage(std::uint32_t page);
  // A page of the stretch at hand, or read alone.
  Bytes otherPage(std::uint32_t page);

  // The row an entry names where its bytes live: through a moved row's pointer to the moved
  // data. `found.fault` says why it cannot be found; a deleted row is found as Deleted.
  FoundRow liveRow(RowLocation at, std::uint32_t tablePage);

  // The pages, ascending and each once, on which the entries of `rows` lie, leaving out
  // page 0 and pages past the end of the file.
  static std::vector<std::uint32_t> pagesOf(const Pager& pager,
                                            const std::vector<RowLocation>& rowsInEntryOrder);

 private:
  const Pager& pager_;
  std::vector<std::uint32_t> entryPages_;
  PageStretches stretches_;
  std::vector<std::uint8_t> other_;
  std::uint64_t otherNumber_ = UINT64_MAX;
};

}  // namespace leafward::jet
