#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dataaccess/jet/format/data_page.h"
#include "dataaccess/jet/format/page_stretches.h"
#include "dataaccess/jet/format/pager.h"
#include "dataaccess/jet/format/table_definition.h"

namespace leafward::jet {

// Walks the live rows of a table in table order: its data pages in ascending order, and on
// each page the row table's entries in order. Deleted rows are skipped. A row that moved to
// another page is met once, at its original entry: location() names that entry (which holds
// the pointer) while page() and extent() give the row's bytes where they live now. The moved
// bytes themselves are flagged and skipped when the scan reaches their page.
class RowCursor {
 public:
  // `pages`: the pages the table's usage map names, ascending.
  RowCursor(const Pager& pager, const TableDefinition& table,
            const std::vector<std::uint32_t>& pages);
  RowCursor(const RowCursor&) = delete;
  RowCursor& operator=(const RowCursor&) = delete;

  // Moves to the next live row; false after the last. Throws DataAccessError when a page or
  // row entry is malformed.
  bool next();

  RowLocation location() const { return location_; }
  Bytes page() const { return rowPage_; }
  // The number of the page whose bytes page() gives.
  std::uint32_t rowPage() const { return rowPageNumber_; }
  RowExtent extent() const { return extent_; }

  // Throws DataAccessError naming the current row: "row N on page P of table T <what>".
  [[noreturn]] void badRow(const std::string& what) const;

 private:
  bool loadNextPage();
  void followPointer(RowExtent pointer);

  const Pager& pager_;
  const TableDefinition& table_;
  const std::vector<std::uint32_t>& pages_;
  std::size_t pageIndex_ = 0;
  PageStretches stretches_;
  Bytes page_;  // the current page, in stretches_
  std::uint32_t pageNumber_ = 0;
  std::size_t slotCount_ = 0;
  std::size_t slot_ = 0;
  std::vector<std::uint8_t> movedPage_;
  std::uint64_t movedPageNumber_ = UINT64_MAX;
  RowLocation location_;
  Bytes rowPage_;
  std::uint32_t rowPageNumber_ = 0;
  RowExtent extent_;
};

}  // namespace leafward::jet
