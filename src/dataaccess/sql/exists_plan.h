#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "dataaccess/sql/ast.h"
#include "dataaccess/sql/evaluator.h"

namespace leafward::sql {

// The scope bit (see ast::Expr::scopes) of a subquery's own table.
inline std::uint32_t ownScope(const ast::Select& subquery) {
  return 1u << subquery.depth;
}

// How one EXISTS subquery is answered for the current outer rows.
class ExistsPlan {
 public:
  ExistsPlan(Evaluator& evaluator, const ast::Select& subquery);
  virtual ~ExistsPlan() = default;

  // Whether a row of the subquery's table meets its condition. A subquery that reads nothing
  // of the outer rows is answered once per statement.
  bool exists(Frame& frame);

 protected:
  virtual bool search(Frame& frame) = 0;

  Evaluator& evaluator_;
  const ast::Select& subquery_;
  std::size_t rowCount_;

 private:
  bool correlated_;
  std::optional<bool> answer_;
};

// Chooses the plan. A condition `inner_column LIKE <pattern>`, where the pattern reads no
// column of the subquery's own table (typically `outer.code + '_%'`), possibly ANDed with
// others, is answered by a range search (see prefix_range_plan.h). Any other condition is
// tried row by row.
std::unique_ptr<ExistsPlan> planExists(Evaluator& evaluator, const ast::Select& subquery);

}  // namespace leafward::sql
