#pragma once

#include <memory>
#include <vector>

#include "dataaccess/sql/ast.h"
#include "dataaccess/sql/exists_plan.h"

namespace leafward::sql {

// Answers a subquery whose condition is `like` (`inner_column LIKE <pattern>`, the pattern
// reading no column of the subquery's own table) ANDed with `others`, by a range search over
// the inner column sorted once: only the rows whose folded text begins with the pattern's
// literal prefix are tried.
std::unique_ptr<ExistsPlan> makePrefixRangePlan(Evaluator& evaluator, const ast::Select& subquery,
                                                const ast::Expr& like,
                                                std::vector<const ast::Expr*> others);

}  // namespace leafward::sql
