#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dataaccess/jet/format/jet_format.h"

namespace leafward::jet {

class Pager;
class TextDecoder;

struct ColumnDefinition {
  std::string name;       // UTF-8
  std::uint8_t type = 0;  // a JetType code, possibly one we do not know
  // The column's number in each row: its bit in the null mask. Deleted columns keep their
  // numbers, so numbers can have gaps.
  std::uint16_t number = 0;
  std::uint16_t variableIndex = 0;  // entry in a row's offset table, for variable columns
  std::uint16_t fixedOffset = 0;    // from the end of a row's column count, for fixed columns
  std::uint16_t length = 0;         // stored bytes of a fixed column; the limit of a text
  std::uint8_t flags = 0;
  std::uint8_t precision = 0;  // digits in all, for Numeric
  std::uint8_t scale = 0;      // digits after the point, for Numeric

  bool is(JetType t) const { return type == static_cast<std::uint8_t>(t); }
  bool fixed() const { return (flags & kColumnFixedLength) != 0; }
  bool operator==(const ColumnDefinition&) const = default;
};

// One physical index: the numbers of the columns it sorts by.
struct RealIndex {
  std::vector<std::uint16_t> columnNumbers;
  bool unique = false;
  bool operator==(const RealIndex&) const = default;
};

// One index as a user sees it; several may share a physical index.
struct LogicalIndex {
  std::string name;
  std::size_t realIndex = 0;  // into TableDefinition::realIndexes
  bool primaryKey = false;
  bool foreignKey = false;
  bool operator==(const LogicalIndex&) const = default;
};

// A table definition (TDEF) page chain, decoded.
struct TableDefinition {
  std::string name;  // from the catalog
  std::uint32_t page = 0;
  std::uint32_t rowCountHint = 0;  // as stored; not to be trusted
  std::uint16_t maxColumns = 0;    // the most columns a row can have, deleted ones included
  std::uint16_t variableColumns = 0;
  std::uint32_t usageMap = 0;             // row pointer to the map of the table's pages
  std::vector<ColumnDefinition> columns;  // in column-number order
  std::vector<RealIndex> realIndexes;
  std::vector<LogicalIndex> logicalIndexes;

  // By name, without regard to ASCII case; nullptr when there is none.
  const ColumnDefinition* findColumn(std::string_view columnName) const;
  // Whether any index sorts by the column with this number.
  bool isIndexed(std::uint16_t columnNumber) const;
  // Bytes of fixed-length data in a row that has `rowColumns` columns. Yes/No values live in
  // the null mask and take no room there.
  std::size_t fixedDataLength(std::uint16_t rowColumns) const;

  bool operator==(const TableDefinition&) const = default;
};

// Reads the definition of table `name` that starts at `page`, checking every count, entry and
// name against what the pages hold. Throws DataAccessError ("The file ... is damaged: ...")
// when the pages are not a table definition or do not hold together.
TableDefinition readTableDefinition(const Pager& pager, TextDecoder& text, std::uint32_t page,
                                    const std::string& name);

}  // namespace leafward::jet
