#include "dataaccess/jet/read/jet_table_source.h"

#include <algorithm>

#include "dataaccess/ascii.h"
#include "dataaccess/errors.h"
#include "dataaccess/jet/format/row.h"
#include "dataaccess/jet/read/row_cursor.h"
#include "dataaccess/jet/read/value_decoder.h"

namespace leafward::jet {
namespace {

// Reserving for more rows than the pages can hold would only waste memory when the stored
// row count is wrong.
constexpr std::size_t kRowsPerPageBound = 256;

}  // namespace

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
  std::vector<const ColumnDefinition*> wanted;
  for (std::size_t index : columns) {
    if (index >= layout.columns.size()) {
      throw dataaccess::DataAccessError("Table " + layout.name + " has no column number " +
                                        std::to_string(index + 1));
    }
    wanted.push_back(&layout.columns[index]);
  }

  const std::string key = dataaccess::asciiLowered(layout.name);
  locations_.erase(key);
  const Pager& file = database_.pager();
  const std::size_t expected =
      std::min<std::size_t>(layout.rowCountHint, table->pages.size() * kRowsPerPageBound);
  sql::TableData data;
  data.columns.resize(wanted.size());
  for (auto& column : data.columns) column.reserve(expected);
  std::vector<RowLocation> locations;
  locations.reserve(expected);

  RowCursor cursor(file, layout, table->pages);
  RowDecoder row(file.format(), layout);
  ValueDecoder decoder(file, database_.text());
  while (cursor.next()) {
    const Bytes page = cursor.page();
    if (!row.parse(page, cursor.extent())) cursor.badRow(row.problem());
    for (std::size_t i = 0; i < wanted.size(); ++i) {
      data.columns[i].push_back(decoder.decode(*wanted[i], page, row.field(*wanted[i])));
    }
    locations.push_back(cursor.location());
  }
  data.rowCount = locations.size();
  locations_[key] = std::move(locations);
  return data;
}

const std::vector<RowLocation>& JetTableSource::rowLocations(std::string_view table) const {
  static const std::vector<RowLocation> none;
  const auto found = locations_.find(dataaccess::asciiLowered(table));
  return found == locations_.end() ? none : found->second;
}

}  // namespace leafward::jet
