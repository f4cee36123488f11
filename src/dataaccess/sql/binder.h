#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "dataaccess/sql/ast.h"
#include "dataaccess/sql/table_source.h"

namespace leafward::sql {

// A table that a statement reads, once, however often the statement names it.
struct TableUse {
  TableInfo info;
  std::vector<std::size_t> columns;  // the positions the statement reads, ascending
  TableData data;                    // filled in by reading `columns`

  // The values of the column at `position`, which must be one of `columns`.
  const ColumnValues& values(std::size_t position) const;
};

struct BoundStatement {
  std::vector<TableUse> tables;
  std::size_t expressionCount = 0;  // ids 0 .. expressionCount-1
  std::size_t subqueryCount = 0;    // plan numbers of the EXISTS subqueries
};

// Resolves the statement's table and column names (filling in the binder's fields of the
// syntax tree), expands `SELECT *`, and notes which columns of which tables it reads. Throws
// SqlError for an unknown, ambiguous or misplaced name. `text` is the statement, for error
// positions.
BoundStatement bind(ast::Statement& statement, TableSource& source, std::string_view text);

}  // namespace leafward::sql
