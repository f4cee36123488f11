#include "dataaccess/jet/read/jet_table_source.h"

#include <algorithm>

#include "dataaccess/ascii.h"
#include "dataaccess/errors.h"
#include "dataaccess/jet/format/row.h"
#include "dataaccess/jet/read/page_digest.h"
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
  for (std::size_t index : columns) {
    if (index >= layout.columns.size()) {
      throw dataaccess::DataAccessError("Table " + layout.name + " has no column number " +
                                        std::to_string(index + 1));
    }
  }

  ReadTable& read = tables_[dataaccess::asciiLowered(layout.name)];
  if (!read.columns.empty() && digestPages(database_.pager(), read.pages) != read.digest) {
    read = ReadTable{};  // changed since: every column is read anew
  }
  std::vector<std::size_t> missing;
  for (std::size_t index : columns) {
    if (!read.columns.contains(index)) missing.push_back(index);
  }
  std::sort(missing.begin(), missing.end());
  missing.erase(std::unique(missing.begin(), missing.end()), missing.end());
  if (!missing.empty()) readRows(*table, missing, read);

  sql::TableData data;
  data.rowCount = read.locations.size();
  for (std::size_t index : columns) data.columns.push_back(read.columns.at(index));
  return data;
}

void JetTableSource::readRows(const JetTable& table, const std::vector<std::size_t>& columns,
                              ReadTable& into) {
  const TableDefinition& layout = table.definition;
  const Pager& file = database_.pager();
  const std::size_t expected =
      std::min<std::size_t>(layout.rowCountHint, table.pages.size() * kRowsPerPageBound);
  std::vector<const ColumnDefinition*> wanted;
  std::vector<std::shared_ptr<sql::ColumnValues>> values;
  for (std::size_t index : columns) {
    wanted.push_back(&layout.columns[index]);
    values.push_back(std::make_shared<sql::ColumnValues>());
    values.back()->reserve(expected);
  }
  std::vector<RowLocation> locations;
  locations.reserve(expected);
  std::vector<std::uint32_t> elsewhere;  // pages of moved rows outside the row's own page

  RowCursor cursor(file, layout, table.pages);
  RowDecoder row(file.format(), layout);
  ValueDecoder decoder(file, database_.text());
  while (cursor.next()) {
    const Bytes page = cursor.page();
    if (!row.parse(page, cursor.extent())) cursor.badRow(row.problem());
    for (std::size_t i = 0; i < wanted.size(); ++i) {
      decoder.decodeInto(*wanted[i], page, row.field(*wanted[i]), *values[i]);
    }
    if (cursor.rowPage() != cursor.location().page) elsewhere.push_back(cursor.rowPage());
    locations.push_back(cursor.location());
  }

  // Columns read before were checked against the same pages under the same lock: the rows
  // are the same ones.
  if (!into.columns.empty() && locations != into.locations) {
    throw dataaccess::DataAccessError("The rows of table " + layout.name +
                                      " changed while they were read");
  }
  // Long values of the columns read before came from pages of their own: they stay listed.
  elsewhere.insert(elsewhere.end(), decoder.pagesRead().begin(), decoder.pagesRead().end());
  if (into.pages.size() > table.pages.size()) {
    elsewhere.insert(elsewhere.end(), into.pages.begin() + std::ssize(table.pages),
                     into.pages.end());
  }
  std::sort(elsewhere.begin(), elsewhere.end());
  elsewhere.erase(std::unique(elsewhere.begin(), elsewhere.end()), elsewhere.end());
  std::vector<std::uint32_t> pages = table.pages;
  pages.insert(pages.end(), elsewhere.begin(), elsewhere.end());
  const std::uint64_t digest = pages == into.pages ? into.digest : digestPages(file, pages);

  for (std::size_t i = 0; i < columns.size(); ++i) into.columns[columns[i]] = std::move(values[i]);
  into.locations = std::move(locations);
  into.pages = std::move(pages);
  into.digest = digest;
}

const std::vector<RowLocation>& JetTableSource::rowLocations(std::string_view table) const {
  static const std::vector<RowLocation> none;
  const auto found = tables_.find(dataaccess::asciiLowered(table));
  return found == tables_.end() ? none : found->second.locations;
}

}  // namespace leafward::jet
