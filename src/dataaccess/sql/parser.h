#pragma once

#include <string_view>

#include "dataaccess/sql/ast.h"

namespace leafward::sql {

// Parses one SELECT or UPDATE statement, a trailing `;` allowed. Throws SqlError naming the
// position of the first thing it cannot read.
ast::Statement parseStatement(std::string_view text);

}  // namespace leafward::sql
