#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "dataaccess/sql/ast.h"
#include "dataaccess/sql/binder.h"
#include "dataaccess/sql/datum.h"
#include "dataaccess/sql/like_pattern.h"

namespace leafward::sql {

// How many SELECTs may nest (one scope each).
inline constexpr std::size_t kMaxScopes = 32;

// The current row of every scope while a statement runs: rows[d] is the row of the table of
// the SELECT at depth d.
struct Frame {
  std::array<std::size_t, kMaxScopes> rows{};
};

class ExistsPlan;

// Evaluates the bound expressions of one statement over its tables. Each expression keeps
// its own buffers, so a row costs no allocation once they have grown.
class Evaluator {
 public:
  explicit Evaluator(const BoundStatement& statement);
  ~Evaluator();
  Evaluator(const Evaluator&) = delete;
  Evaluator& operator=(const Evaluator&) = delete;

  // Makes `expr` ready to evaluate: binds its columns to the data read, plans its subqueries.
  void prepare(const ast::Expr& expr);

  Datum value(const ast::Expr& expr, Frame& frame);
  // The expression as a condition.
  Truth test(const ast::Expr& expr, Frame& frame);

  const std::vector<TableUse>& tables() const { return tables_; }

 private:
  struct ExpressionState {
    const ColumnValues* column = nullptr;  // Column: the values read
    std::string buffer;                    // text results
    std::string spare;                     // Like: the left side as text
    LikePattern pattern;                   // Like: the pattern compiled last
  };

  Truth like(const ast::Expr& expr, Frame& frame);

  const std::vector<TableUse>& tables_;
  std::vector<ExpressionState> states_;
  std::vector<std::unique_ptr<ExistsPlan>> plans_;
};

}  // namespace leafward::sql
