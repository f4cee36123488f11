#include "dataaccess/sql/exists_plan.h"

#include <vector>

#include "dataaccess/sql/prefix_index.h"
#include "dataaccess/sql/value_ops.h"

namespace leafward::sql {
namespace {

using ast::Expr;
using ast::ExprKind;

std::uint32_t ownScope(const ast::Select& subquery) {
  return 1u << subquery.depth;
}

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

// Looks only at the rows whose folded inner column begins with the pattern's literal prefix;
// the full LIKE and the other conditions decide on those.
class PrefixRangePlan final : public ExistsPlan {
 public:
  PrefixRangePlan(Evaluator& evaluator, const ast::Select& subquery, const Expr& like,
                  std::vector<const Expr*> others)
      : ExistsPlan(evaluator, subquery), like_(like), others_(std::move(others)) {}

 protected:
  bool search(Frame& frame) override {
    if (rowCount_ == 0) return false;
    const Datum pattern = evaluator_.value(*like_.operands[1], frame);
    if (pattern.isNull()) return false;
    const std::string_view patternText = textOf(pattern, patternBuffer_);
    if (!pattern_.compiledFrom(patternText)) pattern_.compile(patternText);
    if (!built_) build();

    const std::string_view prefix = pattern_.foldedPrefix();
    // A key no longer than the prefix cannot match a pattern that asks for more characters.
    const bool longerOnly = pattern_.minimumLength() > pattern_.prefixLength();
    for (std::size_t i = index_.seek(prefix, longerOnly);
         i < index_.size() && index_.startsWith(i, prefix); ++i) {
      if (!pattern_.matches(index_.key(i))) continue;
      frame.rows[subquery_.depth] = index_.row(i);
      if (othersHold(frame)) return true;
    }
    return false;
  }

 private:
  void build() {
    const Expr& column = *like_.operands[0];
    const std::vector<Value>& values = evaluator_.tables()[column.table].values(column.column);
    index_.reserve(values.size());
    std::string buffer;
    for (std::size_t row = 0; row < values.size(); ++row) {
      const Datum datum = viewOf(values[row]);
      if (!datum.isNull()) index_.add(textOf(datum, buffer), row);  // NULL is LIKE nothing
    }
    index_.sort();
    built_ = true;
  }

  bool othersHold(Frame& frame) {
    for (const Expr* other : others_) {
      if (evaluator_.test(*other, frame) != Truth::True) return false;
    }
    return true;
  }

  const Expr& like_;
  std::vector<const Expr*> others_;
  FoldedPrefixIndex index_;
  bool built_ = false;
  LikePattern pattern_;
  std::string patternBuffer_;
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
      return std::make_unique<PrefixRangePlan>(evaluator, subquery, term, std::move(others));
    }
  }
  return std::make_unique<RowByRowPlan>(evaluator, subquery);
}

}  // namespace leafward::sql
