#pragma once

#include "dataaccess/session.h"
#include "dataaccess/sql/ast.h"
#include "dataaccess/sql/engine.h"
#include "dataaccess/sql/evaluator.h"

namespace leafward::sql {

// Runs a bound, prepared SELECT over its outermost table: rows in table order, or for
// DISTINCT the distinct rows sorted.
dataaccess::ResultSet runSelect(const ast::Select& select, Evaluator& evaluator);
// The same rows handed to `visit` one at a time; only DISTINCT holds them all, to sort them.
void visitSelect(const ast::Select& select, Evaluator& evaluator,
                 const dataaccess::RowVisitor& visit);

// Finds the rows a bound, prepared UPDATE would change and the values it would write.
UpdatePlan runUpdatePlan(const ast::Update& update, Evaluator& evaluator);

}  // namespace leafward::sql
