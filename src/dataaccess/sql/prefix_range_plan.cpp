#include "dataaccess/sql/prefix_range_plan.h"

#include <memory>
#include <optional>
#include <string>

#include "dataaccess/sql/joined_like_pattern.h"
#include "dataaccess/sql/like_pattern.h"
#include "dataaccess/sql/prefix_index.h"
#include "dataaccess/sql/value_ops.h"

namespace leafward::sql {
namespace {

using ast::Expr;
using ast::ExprKind;

// Looks only at the rows whose folded inner column begins with the pattern's literal prefix;
// the full LIKE and the other conditions decide on those.
//
// When the answer depends on nothing but the row of the enclosing scope, all of them are found
// in one pass on first use, the rows taken in the order of the index when the enclosing table
// is the inner one: the searches then move through the index in step instead of jumping about.
class PrefixRangePlan final : public ExistsPlan {
 public:
  PrefixRangePlan(Evaluator& evaluator, const ast::Select& subquery, const Expr& like,
                  std::vector<const Expr*> others)
      : ExistsPlan(evaluator, subquery), like_(like), others_(std::move(others)) {
    const std::uint32_t enclosing = ownScope(subquery) >> 1;
    const Expr& pattern = *like_.operands[1];
    answersByOuterRow_ = (pattern.scopes & ~enclosing) == 0;
    for (const Expr* other : others_) {
      answersByOuterRow_ =
          answersByOuterRow_ && (other->scopes & ~(enclosing | ownScope(subquery))) == 0;
    }
    if (pattern.kind == ExprKind::Add && pattern.operands[1]->kind == ExprKind::Literal &&
        pattern.operands[1]->literal.kind() == Value::Kind::Text) {
      joined_.emplace(pattern.operands[1]->literal.asText());
      const Expr& lead = *pattern.operands[0];
      const Expr& subject = *like_.operands[0];
      leadIsOuterSubject_ = lead.kind == ExprKind::Column && lead.depth + 1 == subquery.depth &&
                            lead.table == subject.table && lead.column == subject.column;
      // `p.code LIKE code.code + '<text>'` and nothing else: every answer follows from the
      // column's values and the text alone, so other statements over them can share it.
      if (leadIsOuterSubject_ && others_.empty() && answersByOuterRow_) {
        sharedAs_ = pattern.operands[1]->literal.asText();
        longerKeysOnly_ = *sharedAs_ == "_%";
      }
    }
  }

 protected:
  bool search(Frame& frame) override {
    if (rowCount_ == 0) return false;
    if (!column_) build();
    // A few outer rows are cheaper to answer one by one; when many ask, answer them all.
    if (!answers_ && (!answersByOuterRow_ || ++lookups_ < rowCount_ / 16 + 64)) {
      return lookup(frame, lastNearLast_ ? lastStart_ : kNoHint);
    }
    if (!answers_) answerEveryOuterRow();
    return (*answers_)[frame.rows[subquery_.depth - 1]] != 0;
  }

 private:
  static constexpr std::size_t kNoHint = static_cast<std::size_t>(-1);

  // The answers another statement found, or else the index to find them with.
  void build() {
    const Expr& subject = *like_.operands[0];
    column_ = &evaluator_.tables()[subject.table].values(subject.column);
    if (sharedAs_) answers_ = column_->sharedAnswers(*sharedAs_);
    if (!answers_) index_ = &column_->foldedIndex();
  }

  // `hint`: a position in the index near the pattern's prefix, when known.
  bool lookup(Frame& frame, std::size_t hint) {
    if (joined_) {
      const Datum lead = evaluator_.value(*like_.operands[1]->operands[0], frame);
      if (lead.isNull()) return false;  // and so is the pattern
      if (lead.isText() && joined_->setLead(lead.text)) return scanJoined(frame, hint);
    }
    const Datum pattern = evaluator_.value(*like_.operands[1], frame);
    if (pattern.isNull()) return false;
    const std::string_view patternText = textOf(pattern, patternBuffer_);
    if (!pattern_.compiledFrom(patternText)) pattern_.compile(patternText);
    return scan(pattern_, frame, hint,
                [this](std::string_view key) { return pattern_.matches(key); });
  }

  // For the lead set last in `joined_`.
  bool scanJoined(Frame& frame, std::size_t hint) {
    return scan(*joined_, frame, hint,
                [this](std::string_view key) { return joined_->matchesFoldedCandidate(key); });
  }

  // Tries the rows whose key begins with the pattern's literal prefix.
  template <class Pattern, class Matches>
  bool scan(const Pattern& pattern, Frame& frame, std::size_t hint, Matches matches) {
    const FoldedPrefixIndex::Probe prefix = FoldedPrefixIndex::probe(pattern.foldedPrefix());
    // A key no longer than the prefix cannot match a pattern that asks for more characters.
    const bool longerOnly = pattern.minimumLength() > pattern.prefixLength();
    const std::size_t start = index_->seek(prefix, longerOnly, hint);
    const std::size_t distance = start > lastStart_ ? start - lastStart_ : lastStart_ - start;
    lastNearLast_ = lastStart_ < index_->size() && distance <= kNearby;
    lastStart_ = start;
    for (std::size_t i = start; i < index_->size() && index_->startsWith(i, prefix); ++i) {
      if (!matches(index_->key(i))) continue;
      frame.rows[subquery_.depth] = index_->row(i);
      if (othersHold(frame)) return true;
    }
    return false;
  }

  void answerEveryOuterRow() {
    const std::size_t outerTable = subquery_.enclosingTable;
    constexpr std::uint8_t kUnknown = 2;
    auto answers = std::make_shared<std::vector<std::uint8_t>>(
        evaluator_.tables()[outerTable].data.rowCount, kUnknown);
    Frame frame;
    const auto answer = [&](std::size_t row, std::size_t hint) {
      frame.rows[subquery_.depth - 1] = row;
      (*answers)[row] = lookup(frame, hint) ? 1 : 0;
    };
    if (longerKeysOnly_ && index_->keysAreTexts()) answerLongerKeys(*answers);
    if (outerTable == like_.operands[0]->table) {
      // The rows come out of order here: fetch the values the pattern reads a little ahead,
      // unless the pattern's lead is the row's own key, at hand in the index.
      std::vector<const ColumnValues*> patternColumns;
      if (!leadIsOuterSubject_) {
        collectColumns(*like_.operands[1], subquery_.depth - 1, patternColumns);
      }
      constexpr std::size_t kAhead = 16;
      for (std::size_t i = 0; i < index_->size(); ++i) {
        if (i + kAhead < index_->size()) {
          const std::size_t ahead = index_->row(i + kAhead);
          __builtin_prefetch(&(*answers)[ahead]);
          for (const auto* column : patternColumns) __builtin_prefetch(column->placeOf(ahead));
        }
        const std::size_t row = index_->row(i);
        if ((*answers)[row] != kUnknown) continue;
        if (leadIsOuterSubject_ && index_->keysAreTexts() &&
            joined_->setFoldedLead(index_->key(i))) {
          frame.rows[subquery_.depth - 1] = row;
          (*answers)[row] = scanJoined(frame, i) ? 1 : 0;
        } else {
          answer(row, i);
        }
      }
    }
    for (std::size_t row = 0; row < answers->size(); ++row) {
      if ((*answers)[row] == kUnknown) answer(row, kNoHint);
    }
    answers_ = answers;
    if (sharedAs_) column_->shareAnswers(*sharedAs_, answers_);
  }

  // `p.code LIKE code.code + '_%'` and nothing else: whether a longer key begins with the
  // row's own. The keys that begin with a key follow it in the index without a gap, the
  // shortest first, so the first key after those equal to it settles it. Keys that hold a
  // wildcard are left to the general search.
  void answerLongerKeys(std::vector<std::uint8_t>& answers) {
    const FoldedPrefixIndex& index = *index_;
    for (std::size_t i = 0; i < index.size();) {
      const std::string_view key = index.key(i);
      std::size_t next = i + 1;
      while (next < index.size() && index.key(next) == key) ++next;
      if (joined_->setFoldedLead(key)) {
        const bool longer = next < index.size() && index.key(next).size() > key.size() &&
                            index.key(next).starts_with(key);
        for (std::size_t k = i; k < next; ++k) answers[index.row(k)] = longer ? 1 : 0;
      }
      i = next;
    }
  }

  void collectColumns(const Expr& expr, std::size_t depth,
                      std::vector<const ColumnValues*>& out) const {
    if (expr.kind == ExprKind::Column && expr.depth == depth) {
      out.push_back(&evaluator_.tables()[expr.table].values(expr.column));
    }
    for (const auto& operand : expr.operands) collectColumns(*operand, depth, out);
  }

  bool othersHold(Frame& frame) {
    for (const Expr* other : others_) {
      if (evaluator_.test(*other, frame) != Truth::True) return false;
    }
    return true;
  }

  const Expr& like_;
  std::vector<const Expr*> others_;
  const ColumnValues* column_ = nullptr;      // the inner column
  const FoldedPrefixIndex* index_ = nullptr;  // its index, built on first use
  LikePattern pattern_;
  std::string patternBuffer_;
  std::optional<JoinedLikePattern> joined_;  // for a pattern `<expression> + '<text>'`
  // The expression before the `+` is the inner column itself, read in the enclosing scope:
  // the folded lead of an outer row is its key in the index (`p.code LIKE code.code + '_%'`).
  bool leadIsOuterSubject_ = false;
  bool answersByOuterRow_ = false;
  std::optional<std::string> sharedAs_;  // the text the answers are kept under, when they may be
  bool longerKeysOnly_ = false;          // that text is '_%'
  std::size_t lookups_ = 0;
  // Outer rows often come in the order of their keys (a table stored by code). While the
  // searches land close to each other, each one starts where the last one did.
  static constexpr std::size_t kNearby = 64;
  std::size_t lastStart_ = kNoHint;
  bool lastNearLast_ = false;
  // By row of the enclosing table, 1 or 0, once all are known.
  std::shared_ptr<const std::vector<std::uint8_t>> answers_;
};

}  // namespace

std::unique_ptr<ExistsPlan> makePrefixRangePlan(Evaluator& evaluator, const ast::Select& subquery,
                                                const Expr& like, std::vector<const Expr*> others) {
  return std::make_unique<PrefixRangePlan>(evaluator, subquery, like, std::move(others));
}

}  // namespace leafward::sql
