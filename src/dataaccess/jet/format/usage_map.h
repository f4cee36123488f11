#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace leafward::jet {

class Pager;

// The pages the usage map at row pointer `map` marks as the table's, in ascending order. The
// map is either a bitmap that starts at a given page (type 0) or a list of bitmap pages (type
// 1). Throws DataAccessError when the map is missing or malformed or names pages past the end
// of the file.
std::vector<std::uint32_t> pagesOfUsageMap(const Pager& pager, std::uint32_t map,
                                           const std::string& tableName);

}  // namespace leafward::jet
