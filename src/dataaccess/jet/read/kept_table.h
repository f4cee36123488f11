#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "dataaccess/jet/read/jet_database.h"
#include "dataaccess/jet/read/row_locations.h"
#include "dataaccess/sql/column_values.h"

namespace leafward::jet {

// What has been read of one table: some of its columns, where its rows lie, and a hash of every
// page they came from. Before they are handed out again the pages are hashed anew: the rows of
// a page that changed are read again and the others kept, and a column that then reads as
// before is handed on as the same object, with whatever statements worked out from it.
// A table with Memo or OLE columns read is read again whole when anything changed.
class KeptTable {
 public:
  KeptTable(const Pager& pager, TextDecoder& text, const JetTable& table);

  // Brings what is kept up to date with the file, then reads the columns (positions in the
  // definition, each valid) that are not kept yet. Throws DataAccessError for a malformed row.
  // `lock`: the number of the read lock the reader holds (0 for none); what was brought up to
  // date under the same lock already is not again.
  void read(const std::vector<std::size_t>& columns, std::uint64_t lock = 0);

  std::shared_ptr<const sql::ColumnValues> column(std::size_t position) const {
    return columns_.at(position);
  }
  const RowLocations& locations() const { return locations_; }

  // Lets go of what the columns keep only to speed up searches (their prefix indexes).
  void letGoOfIndexes();

 private:
  // The rows read by one walk over pages, with the hashes of the pages they came from.
  struct Rows;

  void refresh();
  void readWhole(const std::vector<std::size_t>& positions);
  Rows rowsOf(const std::vector<std::size_t>& positions) const;
  // Appends the rows on `pages` (listed pages of the table, in order).
  void readPages(const std::vector<std::uint32_t>& pages, Rows& rows) const;
  // Keeps `rows` as what is read of the table, with the pages they came from and those kept so
  // far (whose hashes, taken under the same lock, are `hashes`), each hashed.
  void keep(Rows& rows, const std::vector<std::uint64_t>& hashes);

  const Pager& pager_;
  TextDecoder& text_;
  const JetTable& table_;
  std::map<std::size_t, std::shared_ptr<const sql::ColumnValues>> columns_;  // by position
  RowLocations locations_;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> movedRows_;  // row, page of its bytes
  bool longValues_ = false;
  std::vector<std::uint32_t> pages_;   // every page the rows came from, ascending
  std::vector<std::uint64_t> hashes_;  // of each of pages_
  std::uint64_t upToDateUnder_ = 0;    // the lock under which it was last brought up to date
};

}  // namespace leafward::jet
