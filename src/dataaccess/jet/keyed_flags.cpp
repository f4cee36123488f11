#include "dataaccess/jet/keyed_flags.h"

#include <map>
#include <optional>
#include <set>

#include "dataaccess/ascii.h"
#include "dataaccess/errors.h"
#include "dataaccess/jet/read/rows_at.h"

namespace leafward::jet {
namespace {

using dataaccess::DataAccessError;
using dataaccess::ErrorKind;
using dataaccess::Value;
using Key = std::optional<std::string>;

std::size_t columnNamed(const sql::TableInfo& table, const std::string& name) {
  for (std::size_t i = 0; i < table.columns.size(); ++i) {
    if (dataaccess::equalsIgnoringCase(table.columns[i].name, name)) return i;
  }
  throw DataAccessError("The table " + table.name + " has no column " + name);
}

Key keyOf(const Value& value) {
  if (value.isNull()) return std::nullopt;
  return value.kind() == Value::Kind::Text ? value.asText() : value.toText();
}

std::string describeKey(const Key& key) {
  return key ? "'" + *key + "'" : std::string("NULL");
}

// The table a statement or lookup works on, with its key and Yes/No columns, as the session read
// it.
struct Columns {
  sql::TableInfo info;
  std::size_t key = 0, flag = 0;
  const JetTable* table = nullptr;

  Columns(JetTableSource& source, const std::string& tableName, const std::string& keyColumn,
          const std::string& flagColumn) {
    const std::optional<sql::TableInfo> described = source.describe(tableName);
    if (!described) throw DataAccessError("There is no table " + tableName);
    info = *described;
    key = columnNamed(info, keyColumn);
    flag = columnNamed(info, flagColumn);
    if (info.columns[flag].type != sql::ColumnType::YesNo) {
      throw DataAccessError(flagColumn + " is not a Yes/No column of " + info.name,
                            ErrorKind::ColumnNotWritable);
    }
    table = source.database().findTable(info.name);
    if (!table || key >= table->definition.columns.size() ||
        flag >= table->definition.columns.size()) {
      throw DataAccessError("The table " + info.name + " cannot be found again");
    }
  }
  const ColumnDefinition& keyDefinition() const { return table->definition.columns[key]; }
  const ColumnDefinition& flagDefinition() const { return table->definition.columns[flag]; }
};

RowLocation locationNamed(const std::string& row, const std::string& table) {
  const std::optional<RowLocation> location = rowLocationOf(row);
  if (!location) {
    throw DataAccessError("'" + row + "' does not name a row of " + table + " in an Access file");
  }
  return *location;
}

// The rows of each key with each flag value, over the whole table, for the keys in `wanted`.
std::map<std::pair<Key, bool>, std::vector<std::size_t>> rowsByKey(JetTableSource& source,
                                                                   const Columns& columns,
                                                                   const std::set<Key>& wanted) {
  std::map<std::pair<Key, bool>, std::vector<std::size_t>> rows;
  if (wanted.empty()) return rows;
  const sql::TableData data = source.read(columns.info, {columns.key, columns.flag});
  for (std::size_t row = 0; row < data.rowCount; ++row) {
    const Value value = data.columns[1]->value(row);
    if (value.kind() != Value::Kind::YesNo) continue;
    Key key = keyOf(data.columns[0]->value(row));
    if (!wanted.count(key)) continue;
    rows[{std::move(key), value.asYesNo()}].push_back(row);
  }
  return rows;
}

[[noreturn]] void changedSinceRead(std::size_t count, const std::string& where,
                                   const dataaccess::KeyedFlagUpdate& update,
                                   const dataaccess::KeyedFlag& entry) {
  throw DataAccessError(std::to_string(count) + " rows of " + where + " with " + update.keyColumn +
                            " " + describeKey(entry.key) + " hold " + (entry.from ? "-1" : "0") +
                            " in " + update.flagColumn + ", not " + std::to_string(entry.rows) +
                            ": the table has changed since it was read",
                        ErrorKind::ChangedSinceRead);
}

}  // namespace

FlagStatement keyedFlagStatement(const dataaccess::KeyedFlagUpdate& update,
                                 JetTableSource& source) {
  const Columns columns(source, update.table, update.keyColumn, update.flagColumn);
  FlagStatement statement;
  statement.table = columns.table;
  statement.column = &columns.flagDefinition();
  statement.codePage = source.database().codePage();

  std::vector<RowLocation> named;
  std::set<Key> keys;
  for (const dataaccess::KeyedFlag& entry : update.flags) {
    if (entry.row.empty()) {
      keys.insert(entry.key);
    } else {
      named.push_back(locationNamed(entry.row, columns.info.name));
    }
  }
  std::vector<RowNow> now;
  if (!named.empty()) {
    JetDatabase& database = source.database();
    now = readRowsAt(database.pager(), database.text(), columns.table->definition,
                     columns.keyDefinition(), columns.flagDefinition(), named);
  }
  const auto byKey = rowsByKey(source, columns, keys);
  const RowLocations* locations = keys.empty() ? nullptr : &source.rowLocations(columns.info.name);

  std::size_t next = 0;
  for (const dataaccess::KeyedFlag& entry : update.flags) {
    if (!entry.row.empty()) {
      const RowNow& row = now[next];
      const RowLocation at = named[next++];
      const bool holds = row.found && keyOf(row.key) == entry.key && row.flag == entry.from;
      if (!holds || entry.rows != 1) {
        changedSinceRead(holds ? 1 : 0, columns.info.name + " at " + entry.row, update, entry);
      }
      statement.changes.push_back({at, entry.from, entry.to});
      continue;
    }
    const auto found = byKey.find({entry.key, entry.from});
    const std::size_t count = found == byKey.end() ? 0 : found->second.size();
    if (count != static_cast<std::size_t>(entry.rows)) {
      changedSinceRead(count, columns.info.name, update, entry);
    }
    if (count == 0) continue;
    for (std::size_t row : found->second) {
      if (!locations || row >= locations->size()) {
        throw DataAccessError("The rows of " + columns.info.name + " do not match the rows read");
      }
      statement.changes.push_back({(*locations)[row], entry.from, entry.to});
    }
  }
  return statement;
}

dataaccess::FlagsNow lookUpFlags(const dataaccess::FlagLookup& lookup, JetTableSource& source) {
  const Columns columns(source, lookup.table, lookup.keyColumn, lookup.flagColumn);
  dataaccess::FlagsNow result;
  result.rows.resize(lookup.rows.size());
  std::vector<RowLocation> named;
  std::vector<std::size_t> namedAt;
  std::set<Key> keys;
  for (std::size_t i = 0; i < lookup.rows.size(); ++i) {
    const dataaccess::NamedRow& row = lookup.rows[i];
    if (row.row.empty()) {
      keys.insert(row.key);
      continue;
    }
    named.push_back(locationNamed(row.row, columns.info.name));
    namedAt.push_back(i);
  }
  if (!named.empty()) {
    JetDatabase& database = source.database();
    const std::vector<RowNow> now =
        readRowsAt(database.pager(), database.text(), columns.table->definition,
                   columns.keyDefinition(), columns.flagDefinition(), named);
    for (std::size_t i = 0; i < now.size(); ++i) {
      dataaccess::FlagsNow::Row& row = result.rows[namedAt[i]];
      row.found = now[i].found && keyOf(now[i].key) == lookup.rows[namedAt[i]].key;
      if (row.found) row.flag = now[i].flag;
    }
  }
  std::map<Key, dataaccess::FlagsNow::Counts> counts;
  for (const auto& [keyAndFlag, rows] : rowsByKey(source, columns, keys)) {
    dataaccess::FlagsNow::Counts& count = counts[keyAndFlag.first];
    (keyAndFlag.second ? count.yes : count.no) += static_cast<std::int64_t>(rows.size());
  }
  result.keys.assign(counts.begin(), counts.end());
  return result;
}

}  // namespace leafward::jet
