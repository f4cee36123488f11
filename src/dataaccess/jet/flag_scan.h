#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dataaccess/jet/row_layout.h"
#include "dataaccess/jet/row_location.h"

namespace leafward::jet {

// One row of a table as the flag scan sees it.
struct ScannedFlag {
  RowLocation location;  // where the row's data lives
  RowLocation entry;     // the entry the table refers to: for a moved row, its pointer
  FlagBit bit;
  std::uint64_t fileOffset = 0;  // of the byte holding the bit
  bool value = false;
};

// Every live row of `table` with the value of its Yes/No column `column`, in the order a
// page-by-page scan meets the row data (moved rows where their data now lives). Used to
// cross-check the writer and to pick rows in tests and benchmarks. Throws DataAccessError.
std::vector<ScannedFlag> scanFlags(const std::string& path, std::string_view table,
                                   std::string_view column);

}  // namespace leafward::jet
