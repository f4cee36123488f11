#pragma once

#include <string>
#include <utility>
#include <vector>

#include "dataaccess/value.h"
#include "support/files.h"
#include "support/open_database.h"
#include "support/oracle.h"

namespace leafward::testing {

// Every sample file and account set in tests/data.
std::vector<std::string> everyTestDatabase();

// Every column of every row of a table, row by row.
using Rows = std::vector<std::vector<dataaccess::Value>>;
Rows readAll(jet::JetTableSource& source, const std::string& table);

// Every column of every user table of the database at `path` as text, one line per row.
std::string dumpEveryTable(const std::string& path);

// Where the bytes of the row whose entry is `at` are: elsewhere for a moved row.
std::pair<std::uint32_t, std::uint16_t> storedAt(const jet::Pager& pager, jet::RowLocation at);

}  // namespace leafward::testing
