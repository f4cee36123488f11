#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "dataaccess/errors.h"
#include "dataaccess/session.h"
#include "dataaccess/sql/table_source.h"

namespace leafward::sql {

// A statement that cannot be parsed or run: the message names the position or the missing
// table or column.
class SqlError : public dataaccess::DataAccessError {
 public:
  using dataaccess::DataAccessError::DataAccessError;
};

// One column set by an UPDATE.
struct Assignment {
  std::size_t column = 0;  // position in TableInfo::columns
  Value value;             // the new value, converted to the column's type
};

// What an UPDATE would do: which rows (positions in table order, as TableSource::read gives
// them) get which new values, and the values the statement saw in those columns.
struct UpdatePlan {
  TableInfo table;
  std::vector<Assignment> assignments;
  std::vector<std::size_t> rows;
  // oldValues[r][a]: the value of assignments[a].column in rows[r] before the update.
  std::vector<std::vector<Value>> oldValues;
};

enum class StatementKind { Select, Update };

// Runs SQL statements with Jet's semantics over the tables of a TableSource.
class Engine {
 public:
  explicit Engine(TableSource& source) : source_(source) {}

  // What kind of statement the text is; throws SqlError when it is neither.
  static StatementKind classify(std::string_view text);

  // Runs a SELECT and returns its rows.
  dataaccess::ResultSet query(std::string_view text);
  // Runs a SELECT and hands its rows to `visit` one at a time, in the same order.
  void forEachRow(std::string_view text, const dataaccess::RowVisitor& visit);

  // Parses and plans an UPDATE without changing anything.
  UpdatePlan planUpdate(std::string_view text);

 private:
  // Parses, binds, reads and prepares the SELECT `text`, then runs `run(select, evaluator)`.
  template <class Run>
  void runQuery(std::string_view text, Run&& run);

  TableSource& source_;
};

}  // namespace leafward::sql
