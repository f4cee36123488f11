#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dataaccess/jet/format/data_page.h"
#include "dataaccess/jet/format/row.h"

namespace leafward::testing {

// One row of a table as the flag scan sees it.
struct ScannedFlag {
  jet::RowLocation location;  // where the row's data lives
  jet::RowLocation entry;     // the entry the table refers to: for a moved row, its pointer
  jet::FlagBit bit;
  std::uint64_t fileOffset = 0;  // of the byte holding the bit
  bool value = false;
};

// Every live row of `table` with the value of its Yes/No column `column`, found by reading every
// page of the file in turn rather than by the table's page map; rows in the order the scan
// meets their data (moved rows where their data now lives). Picks rows for the writer's tests
// and cross-checks the reader. Throws DataAccessError.
std::vector<ScannedFlag> scanFlags(const std::string& path, const std::string& table,
                                   const std::string& column);

}  // namespace leafward::testing
