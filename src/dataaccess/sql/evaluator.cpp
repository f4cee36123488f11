#include "dataaccess/sql/evaluator.h"

#include "dataaccess/sql/exists_plan.h"
#include "dataaccess/sql/value_ops.h"

namespace leafward::sql {

using ast::Expr;
using ast::ExprKind;

Evaluator::Evaluator(const BoundStatement& statement)
    : tables_(statement.tables),
      states_(statement.expressionCount),
      plans_(statement.subqueryCount) {}

Evaluator::~Evaluator() = default;

void Evaluator::prepare(const Expr& expr) {
  if (expr.kind == ExprKind::Column) {
    states_[expr.id].column = &tables_[expr.table].values(expr.column);
  } else if (expr.kind == ExprKind::Exists) {
    // Only the condition of a subquery is evaluated, never its select list.
    if (expr.subquery->where) prepare(*expr.subquery->where);
    plans_[expr.plan] = planExists(*this, *expr.subquery);
  }
  for (const auto& operand : expr.operands) prepare(*operand);
}

Datum Evaluator::value(const Expr& expr, Frame& frame) {
  switch (expr.kind) {
    case ExprKind::Literal:
      return viewOf(expr.literal);
    case ExprKind::Column:
      return states_[expr.id].column->datum(frame.rows[expr.depth]);
    case ExprKind::Function:  // len, the only function
      return lengthOf(value(*expr.operands[0], frame), states_[expr.id].buffer);
    case ExprKind::Negate:
      return negate(value(*expr.operands[0], frame));
    case ExprKind::Add: {
      const Datum left = value(*expr.operands[0], frame);
      const Datum right = value(*expr.operands[1], frame);
      return add(left, right, states_[expr.id].buffer);
    }
    case ExprKind::Subtract: {
      const Datum left = value(*expr.operands[0], frame);
      return subtract(left, value(*expr.operands[1], frame));
    }
    default: {
      const Truth truth = test(expr, frame);
      return truth == Truth::Unknown ? Datum::null() : Datum::yesNo(truth == Truth::True);
    }
  }
}

Truth Evaluator::test(const Expr& expr, Frame& frame) {
  switch (expr.kind) {
    case ExprKind::Not:
      return truthNot(test(*expr.operands[0], frame));
    case ExprKind::And:
    case ExprKind::Or: {
      // Either order gives the same answer; the cheap side first often settles it.
      const bool swap = expr.operands[0]->hasSubquery && !expr.operands[1]->hasSubquery;
      const Expr& first = *expr.operands[swap ? 1 : 0];
      const Expr& second = *expr.operands[swap ? 0 : 1];
      const bool isAnd = expr.kind == ExprKind::And;
      const Truth settled = isAnd ? Truth::False : Truth::True;
      const Truth a = test(first, frame);
      if (a == settled) return a;
      const Truth b = test(second, frame);
      return isAnd ? truthAnd(a, b) : truthOr(a, b);
    }
    case ExprKind::Compare: {
      const Datum left = value(*expr.operands[0], frame);
      return compare(left, expr.compare, value(*expr.operands[1], frame));
    }
    case ExprKind::Like:
      return like(expr, frame);
    case ExprKind::IsNull:
      return truthOf(value(*expr.operands[0], frame).isNull() != expr.negated);
    case ExprKind::Exists:
      return truthOf(plans_[expr.plan]->exists(frame));
    default:
      return conditionOf(value(expr, frame));
  }
}

Truth Evaluator::like(const Expr& expr, Frame& frame) {
  ExpressionState& state = states_[expr.id];
  const Datum subject = value(*expr.operands[0], frame);
  if (subject.isNull()) return Truth::Unknown;
  const Datum pattern = value(*expr.operands[1], frame);
  if (pattern.isNull()) return Truth::Unknown;
  const std::string_view patternText = textOf(pattern, state.buffer);
  if (!state.pattern.compiledFrom(patternText)) state.pattern.compile(patternText);
  return truthOf(state.pattern.matches(textOf(subject, state.spare)) != expr.negated);
}

}  // namespace leafward::sql
