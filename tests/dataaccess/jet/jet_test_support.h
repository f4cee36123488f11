#pragma once

#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

#include "dataaccess/value.h"
#include "support/files.h"
#include "support/open_database.h"
#include "support/oracle.h"

namespace leafward::testing {

// Every sample file and account set in tests/data.
inline std::vector<std::string> everyTestDatabase() {
  auto files = fixturesIn("jet-samples");
  for (const auto& file : fixturesIn("account-sets")) files.push_back(file);
  return files;
}

// Every column of every row of a table, row by row.
using Rows = std::vector<std::vector<dataaccess::Value>>;
inline Rows readAll(jet::JetTableSource& source, const std::string& table) {
  const auto info = source.describe(table);
  if (!info) throw std::runtime_error("no table " + table);
  std::vector<std::size_t> columns(info->columns.size());
  std::iota(columns.begin(), columns.end(), 0);
  const sql::TableData data = source.read(*info, columns);
  Rows rows(data.rowCount);
  for (std::size_t r = 0; r < data.rowCount; ++r) {
    for (const auto& column : data.columns) rows[r].push_back(column->value(r));
  }
  return rows;
}

}  // namespace leafward::testing
