#pragma once

#include <string>

#include "dataaccess/jet/format/pager.h"
#include "dataaccess/jet/read/jet_database.h"
#include "dataaccess/jet/read/jet_table_source.h"
#include "dataaccess/jet/write/flag_writer.h"
#include "platform/file.h"

namespace leafward::testing {

// An .mdb file opened for reading the way a session opens it: its canonical path, its pages
// and its tables.
struct OpenDatabase {
  explicit OpenDatabase(const std::string& path)
      : path(platform::canonicalPath(path)),
        pager(this->path, jet::Pager::Access::Read, path),
        database(pager) {}

  const jet::JetTable& table(const std::string& name) const {
    const jet::JetTable* found = database.findTable(name);
    if (!found) throw std::runtime_error("no table " + name);
    return *found;
  }
  // Where `column` of `tableName` stands among the table's columns (and in its rows as read).
  std::size_t position(const std::string& tableName, const std::string& column) const {
    const auto& columns = table(tableName).definition.columns;
    for (std::size_t i = 0; i < columns.size(); ++i) {
      if (columns[i].name == column) return i;
    }
    throw std::runtime_error("no column " + column);
  }
  // What the writer gets from a statement that sets `column` of `tableName`.
  jet::FlagTarget target(const std::string& tableName, const std::string& column) const {
    const jet::JetTable& found = table(tableName);
    const jet::ColumnDefinition* definition = found.definition.findColumn(column);
    if (!definition) throw std::runtime_error("no column " + column);
    return jet::FlagTarget{path, path, found.definition, *definition, database.codePage()};
  }

  std::string path;
  jet::Pager pager;
  jet::JetDatabase database;
};

}  // namespace leafward::testing
