#include "dataaccess/jet/read/jet_table_source.h"

#include <algorithm>

#include "dataaccess/ascii.h"
#include "dataaccess/errors.h"

namespace leafward::jet {
sql::ColumnType columnTypeOf(const ColumnDefinition& column) {
  switch (static_cast<JetType>(column.type)) {
    case JetType::Boolean:
      return sql::ColumnType::YesNo;
    case JetType::Byte:
    case JetType::Integer:
    case JetType::LongInteger:
      return sql::ColumnType::Integer;
    case JetType::Money:
    case JetType::Single:
    case JetType::Double:
    case JetType::Numeric:
      return sql::ColumnType::Floating;
    case JetType::Text:
    case JetType::Memo:
      return sql::ColumnType::Text;
    case JetType::DateTime:
      return sql::ColumnType::Date;
    case JetType::Binary:
    case JetType::Ole:
      return sql::ColumnType::Binary;
    case JetType::Guid:
      return sql::ColumnType::Guid;
    default:
      return sql::ColumnType::Other;
  }
}

std::optional<sql::TableInfo> JetTableSource::describe(std::string_view name) {
  const JetTable* table = database_.findTable(name);
  if (!table) {
    const LinkedTable* link = database_.findLink(name);
    if (link) throw dataaccess::DataAccessError(linkedTableMessage(*link));
    return std::nullopt;
  }
  sql::TableInfo info;
  info.name = table->definition.name;
  for (const auto& column : table->definition.columns) {
    info.columns.push_back({column.name, columnTypeOf(column)});
  }
  return info;
}

sql::TableData JetTableSource::read(const sql::TableInfo& info,
                                    const std::vector<std::size_t>& columns) {
  const JetTable* table = database_.findTable(info.name);
  if (!table) throw dataaccess::DataAccessError("There is no table " + info.name);
  const TableDefinition& layout = table->definition;
  for (std::size_t index : columns) {
    if (index >= layout.columns.size()) {
      throw dataaccess::DataAccessError("Table " + layout.name + " has no column number " +
                                        std::to_string(index + 1));
    }
  }
  KeptTable& kept = tables_
                        .try_emplace(dataaccess::asciiLowered(layout.name), database_.pager(),
                                     database_.text(), *table)
                        .first->second;
  kept.read(columns, lockHeld_);
  sql::TableData data;
  data.rowCount = kept.locations().size();
  for (std::size_t index : columns) data.columns.push_back(kept.column(index));
  return data;
}

void JetTableSource::letGoOfSearchAids(std::string_view table) {
  const auto found = tables_.find(dataaccess::asciiLowered(table));
  if (found != tables_.end()) found->second.letGoOfIndexes();
}

const RowLocations& JetTableSource::rowLocations(std::string_view table) const {
  static const RowLocations none;
  const auto found = tables_.find(dataaccess::asciiLowered(table));
  return found == tables_.end() ? none : found->second.locations();
}

}  // namespace leafward::jet
