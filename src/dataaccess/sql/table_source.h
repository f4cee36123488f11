#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dataaccess/sql/column_values.h"
#include "dataaccess/value.h"

namespace leafward::sql {

using dataaccess::Value;

// What a column holds. Floating covers Single, Double, Currency and Decimal; Other is a type the
// provider does not know, whose values read as NULL.
enum class ColumnType { YesNo, Integer, Floating, Text, Date, Binary, Guid, Other };

struct ColumnInfo {
  std::string name;
  ColumnType type = ColumnType::Other;
};

struct TableInfo {
  std::string name;  // as stored
  std::vector<ColumnInfo> columns;
};

// Some columns of every live row of a table, in table order, column by column: `columns[i]`
// holds the values of the i-th requested column, one per row. A source may hand the same
// columns to several statements: they are never changed once read.
struct TableData {
  std::size_t rowCount = 0;
  std::vector<std::shared_ptr<const ColumnValues>> columns;
};

// Where the engine gets its tables from. Implementations throw dataaccess::DataAccessError
// when a table cannot be read.
class TableSource {
 public:
  virtual ~TableSource() = default;
  // The table of that name (case-insensitive), or nothing when there is none.
  virtual std::optional<TableInfo> describe(std::string_view table) = 0;
  // Reads the given columns (positions in TableInfo::columns) of every live row.
  virtual TableData read(const TableInfo& table, const std::vector<std::size_t>& columns) = 0;
};

}  // namespace leafward::sql
