#pragma once

#include <cstdint>
#include <vector>

#include "dataaccess/jet/jet_file.h"

namespace leafward::jet {

// The pages a table's usage map marks as the table's, in ascending order. The map is either
// a bitmap that starts at a given page (type 0) or a list of bitmap pages (type 1). Throws
// DataAccessError when the map is malformed or names pages past the end of the file.
std::vector<std::uint32_t> pagesOfUsageMap(const JetFile& file, Bytes map,
                                           const std::string& tableName);

}  // namespace leafward::jet
