#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dataaccess/jet/format/data_page.h"
#include "dataaccess/jet/format/pager.h"
#include "dataaccess/jet/format/table_definition.h"
#include "dataaccess/jet/format/text.h"
#include "dataaccess/value.h"

namespace leafward::jet {

// How a row is named outside the provider: its data page and its entry in that page's row
// table, "812:3". The entry stays the row's name when the row moves (it then holds a pointer).
std::string rowIdOf(RowLocation location);
// The location a row id names; nothing when the text is not one (digits without leading
// zeros, a page of 32 bits and an entry of 16).
std::optional<RowLocation> rowLocationOf(std::string_view id);

// A row as it stands now where an entry names it.
struct RowNow {
  bool found = false;  // a live row of the table is there
  dataaccess::Value key;
  std::optional<bool> flag;  // nothing: the row was stored before the column existed
};

// The value of column `key` and the Yes/No value of column `flag` in each of `rows` of `table`,
// read where the rows live now (a moved row through its pointer), each page once. A row that is
// deleted, whose entry is missing or not the table's, or that does not hold together is not
// found. Throws DataAccessError when a page cannot be read or a value is malformed.
std::vector<RowNow> readRowsAt(const Pager& pager, TextDecoder& text, const TableDefinition& table,
                               const ColumnDefinition& key, const ColumnDefinition& flag,
                               const std::vector<RowLocation>& rows);

}  // namespace leafward::jet
