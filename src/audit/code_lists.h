#pragma once

#include <optional>
#include <string>
#include <vector>

#include "connection/shared_connection.h"
#include "dataaccess/value.h"

namespace leafward::audit {

using Code = std::optional<std::string>;  // nothing: a NULL code

// A code as a record keeps it: its text, or nothing for NULL.
Code codeOf(const dataaccess::Value& value);

// The codes a query of one column lists, one per row, in the order the database delivers
// them; run from strSQL, its recordset closed again. Throws DataAccessError.
std::vector<Code> listCodes(connection::SharedConnection& shared, const std::string& query);

}  // namespace leafward::audit
