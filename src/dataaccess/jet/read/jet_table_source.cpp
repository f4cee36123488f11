#include "dataaccess/jet/read/jet_table_source.h"

#include <algorithm>
#include <unordered_set>
#include <utility>

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
constexpr std::size_t kTypicalTextBytes = 8;

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
  ReadTable before;
  if (!read.columns.empty() &&
      (read.stale || digestPages(database_.pager(), read.pages) != read.digest)) {
    before = std::exchange(read, ReadTable{});  // changed since: every column is read anew
  }
  std::vector<std::size_t> missing;
  for (std::size_t index : columns) {
    if (!read.columns.contains(index)) missing.push_back(index);
  }
  std::sort(missing.begin(), missing.end());
  missing.erase(std::unique(missing.begin(), missing.end()), missing.end());
  if (!missing.empty()) readRows(*table, missing, read);
  // A column that reads as before (only the flags changed, say) is handed on as it was, with
  // whatever statements have worked out from it.
  for (auto& [index, column] : read.columns) {
    const auto old = before.columns.find(index);
    if (old != before.columns.end() && *old->second == *column) column = old->second;
  }

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
    // A short text is most often a code of a few characters.
    const bool text = layout.columns[index].is(JetType::Text);
    values.back()->reserve(expected, text ? expected * kTypicalTextBytes : 0);
  }
  std::vector<RowLocation> locations;
  locations.reserve(expected);
  std::vector<std::uint32_t> pages = table.pages;  // then the pages reached from the rows
  // The pages hashed as the rows come: a page whose first live row lies there, in its own
  // bytes, is hashed from the buffer the row was read from.
  std::unordered_set<std::uint32_t> hashed;
  std::uint64_t digest = 0;

  RowCursor cursor(file, layout, table.pages);
  RowDecoder row(file.format(), layout);
  ValueDecoder decoder(file, database_.text());
  while (cursor.next()) {
    const Bytes page = cursor.page();
    if (!row.parse(page, cursor.extent())) cursor.badRow(row.problem());
    for (std::size_t i = 0; i < wanted.size(); ++i) {
      decoder.decodeInto(*wanted[i], page, row.field(*wanted[i]), *values[i]);
    }
    const RowLocation location = cursor.location();
    if (cursor.rowPage() != location.page) {
      pages.push_back(cursor.rowPage());
    } else if (locations.empty() || locations.back().page != location.page) {
      if (hashed.insert(location.page).second) digest += pageHash(location.page, page);
    }
    locations.push_back(location);
  }

  // Columns read before were checked against the same pages under the same lock: the rows
  // are the same ones.
  if (!into.columns.empty() && locations != into.locations) {
    throw dataaccess::DataAccessError("The rows of table " + layout.name +
                                      " changed while they were read");
  }
  // Long values of the columns read before came from pages of their own: they stay listed.
  pages.insert(pages.end(), decoder.pagesRead().begin(), decoder.pagesRead().end());
  pages.insert(pages.end(), into.pages.begin(), into.pages.end());
  std::sort(pages.begin(), pages.end());
  pages.erase(std::unique(pages.begin(), pages.end()), pages.end());
  if (pages == into.pages) {
    digest = into.digest;
  } else {
    std::vector<std::uint32_t> rest;
    for (const std::uint32_t page : pages) {
      if (!hashed.contains(page)) rest.push_back(page);
    }
    digest += digestPages(file, rest);
  }

  for (std::size_t i = 0; i < columns.size(); ++i) into.columns[columns[i]] = std::move(values[i]);
  into.locations = std::move(locations);
  into.pages = std::move(pages);
  into.digest = digest;
}

void JetTableSource::letGoOf(std::string_view table, std::size_t column) {
  const auto found = tables_.find(dataaccess::asciiLowered(table));
  if (found == tables_.end()) return;
  ReadTable& read = found->second;
  read.columns.erase(column);
  for (const auto& [index, values] : read.columns) values->letGoOfIndex();
  read.locations = {};
  read.stale = true;
}

const std::vector<RowLocation>& JetTableSource::rowLocations(std::string_view table) const {
  static const std::vector<RowLocation> none;
  const auto found = tables_.find(dataaccess::asciiLowered(table));
  return found == tables_.end() ? none : found->second.locations;
}

}  // namespace leafward::jet
