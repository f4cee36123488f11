#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dataaccess/jet/page_file.h"

namespace leafward::jet {

inline constexpr std::uint8_t kYesNoColumn = 0x01;

struct ColumnDefinition {
  std::string name;  // UTF-8
  std::uint8_t type = 0;
  // The column's number in each row: its bit in the null mask. Deleted columns keep their
  // numbers, so this can differ from the column's position in the list.
  std::uint16_t number = 0;
  bool fixedLength = false;
  std::uint16_t fixedOffset = 0;  // where a fixed-length value starts after the column count
  std::uint16_t length = 0;
};

// One physical index: the numbers of the columns it sorts by.
struct IndexDefinition {
  std::vector<std::uint16_t> columnNumbers;
};

// What the writer needs of a table definition (TDEF) page chain.
struct TableDefinition {
  std::uint32_t page = 0;
  std::uint16_t maxColumns = 0;  // the most columns a row can have, deleted ones included
  std::uint16_t variableColumns = 0;
  std::vector<ColumnDefinition> columns;
  std::vector<IndexDefinition> indexes;

  // Case-insensitive (ASCII) lookup by name.
  const ColumnDefinition* findColumn(std::string_view name) const;

  // Whether any index sorts by the column with this number.
  bool isIndexed(std::uint16_t columnNumber) const;

  // Bytes of fixed-length data in a row that has `rowColumns` columns. Yes/No values live in
  // the null mask and take no room here.
  std::size_t fixedDataLength(std::uint16_t rowColumns) const;
};

// Reads and checks the definition starting at `page`. Throws DataAccessError when the pages
// are not a table definition or do not hold together.
TableDefinition readTableDefinition(const PageFile& file, std::uint32_t page);

}  // namespace leafward::jet
