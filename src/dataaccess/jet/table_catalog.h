#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace leafward::jet {

// The first table definition page of a user table, found through the file's catalog
// (case-insensitive name). Throws DataAccessError when the file cannot be read or has no
// such table.
std::uint32_t findTablePage(const std::string& path, std::string_view table);

}  // namespace leafward::jet
