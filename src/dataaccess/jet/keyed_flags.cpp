#include "dataaccess/jet/keyed_flags.h"

#include <map>
#include <optional>

#include "dataaccess/ascii.h"
#include "dataaccess/errors.h"

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

}  // namespace

FlagStatement keyedFlagStatement(const dataaccess::KeyedFlagUpdate& update,
                                 JetTableSource& source) {
  const std::optional<sql::TableInfo> info = source.describe(update.table);
  if (!info) throw DataAccessError("There is no table " + update.table);
  const std::size_t key = columnNamed(*info, update.keyColumn);
  const std::size_t flag = columnNamed(*info, update.flagColumn);
  if (info->columns[flag].type != sql::ColumnType::YesNo) {
    throw DataAccessError(update.flagColumn + " is not a Yes/No column of " + info->name,
                          ErrorKind::ColumnNotWritable);
  }
  const sql::TableData data = source.read(*info, {key, flag});
  const RowLocations& locations = source.rowLocations(info->name);
  if (locations.size() != data.rowCount) {
    throw DataAccessError("The rows of " + info->name + " do not match the rows read");
  }
  // Rows by key and by the flag they hold.
  std::map<std::pair<Key, bool>, std::vector<std::size_t>> rows;
  for (std::size_t row = 0; row < data.rowCount; ++row) {
    const Value value = data.columns[1]->value(row);
    if (value.kind() != Value::Kind::YesNo) continue;
    rows[{keyOf(data.columns[0]->value(row)), value.asYesNo()}].push_back(row);
  }

  FlagStatement statement;
  statement.table = source.database().findTable(info->name);
  if (!statement.table || flag >= statement.table->definition.columns.size()) {
    throw DataAccessError("The table " + info->name + " cannot be found again");
  }
  statement.column = &statement.table->definition.columns[flag];
  statement.codePage = source.database().codePage();
  for (const dataaccess::KeyedFlag& entry : update.flags) {
    const auto found = rows.find({entry.key, entry.from});
    const std::size_t count = found == rows.end() ? 0 : found->second.size();
    if (count != static_cast<std::size_t>(entry.rows)) {
      throw DataAccessError(std::to_string(count) + " rows of " + info->name + " with " +
                                update.keyColumn + " " + describeKey(entry.key) + " hold " +
                                (entry.from ? "-1" : "0") + " in " + update.flagColumn + ", not " +
                                std::to_string(entry.rows) +
                                ": the table has changed since it was read",
                            ErrorKind::ChangedSinceRead);
    }
    if (count == 0) continue;
    for (std::size_t row : found->second) {
      statement.changes.push_back({locations[row], entry.from, entry.to});
    }
  }
  return statement;
}

}  // namespace leafward::jet
