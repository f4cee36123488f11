#include "dataaccess/sql/exists_plan.h"

#include <vector>

#include "dataaccess/sql/prefix_range_plan.h"

namespace leafward::sql {
namespace {

using ast::Expr;
using ast::ExprKind;

void collectConjuncts(const Expr& expr, std::vector<const Expr*>& out) {
  if (expr.kind == ExprKind::And) {
    for (const auto& operand : expr.operands) collectConjuncts(*operand, out);
  } else {
    out.push_back(&expr);
  }
}

// Tries every row of the subquery's table.
class RowByRowPlan final : public ExistsPlan {
 public:
  using ExistsPlan::ExistsPlan;

 protected:
  bool search(Frame& frame) override {
    if (!subquery_.where) return rowCount_ > 0;
    for (std::size_t row = 0; row < rowCount_; ++row) {
      frame.rows[subquery_.depth] = row;
      if (evaluator_.test(*subquery_.where, frame) == Truth::True) return true;
    }
    return false;
  }
};

}  // namespace

ExistsPlan::ExistsPlan(Evaluator& evaluator, const ast::Select& subquery)
    : evaluator_(evaluator),
      subquery_(subquery),
      rowCount_(evaluator.tables()[subquery.from.table].data.rowCount),
      correlated_(subquery.where && (subquery.where->scopes & (ownScope(subquery) - 1)) != 0) {}

bool ExistsPlan::exists(Frame& frame) {
  if (correlated_) return search(frame);
  if (!answer_) answer_ = search(frame);
  return *answer_;
}

std::unique_ptr<ExistsPlan> planExists(Evaluator& evaluator, const ast::Select& subquery) {
  if (subquery.where) {
    std::vector<const Expr*> conjuncts;
    collectConjuncts(*subquery.where, conjuncts);
    for (std::size_t i = 0; i < conjuncts.size(); ++i) {
      const Expr& term = *conjuncts[i];
      if (term.kind != ExprKind::Like || term.negated) continue;
      const Expr& subject = *term.operands[0];
      const Expr& pattern = *term.operands[1];
      if (subject.kind != ExprKind::Column || subject.depth != subquery.depth) continue;
      if ((pattern.scopes & ownScope(subquery)) != 0 || pattern.hasSubquery) continue;
      std::vector<const Expr*> others(conjuncts);
      others.erase(others.begin() + static_cast<std::ptrdiff_t>(i));
      return makePrefixRangePlan(evaluator, subquery, term, std::move(others));
    }
  }
  return std::make_unique<RowByRowPlan>(evaluator, subquery);
}

}  // namespace leafward::sql
