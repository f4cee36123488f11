#include "dataaccess/sql/binder.h"

#include <algorithm>

#include "dataaccess/ascii.h"
#include "dataaccess/sql/engine.h"
#include "dataaccess/sql/evaluator.h"
#include "dataaccess/sql/lexer.h"

namespace leafward::sql {

const ColumnValues& TableUse::values(std::size_t position) const {
  const auto found = std::lower_bound(columns.begin(), columns.end(), position);
  return *data.columns.at(static_cast<std::size_t>(found - columns.begin()));
}

namespace {

using ast::Expr;
using ast::ExprKind;
using dataaccess::equalsIgnoringCase;

constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

class Binder {
 public:
  Binder(TableSource& source, std::string_view text) : source_(source), text_(text) {}

  void bindSelect(ast::Select& select, bool evaluated) {
    const std::size_t depth = scopes_.size();
    if (depth >= kMaxScopes) fail(select.from.offset, "Subqueries are nested too deeply");
    select.depth = depth;
    if (depth > 0) select.enclosingTable = scopes_.back().table;
    select.from.table = useTable(select.from);
    scopes_.push_back(
        {select.from.table, select.from.alias.empty() ? select.from.name : select.from.alias});
    if (evaluated) {
      expandStar(select);
      for (auto& item : select.items) bindExpr(*item.expr);
    } else {
      // The columns an EXISTS subquery lists are checked but never read.
      const bool reading = reading_;
      reading_ = false;
      for (auto& item : select.items) {
        if (item.expr) bindExpr(*item.expr);
      }
      reading_ = reading;
    }
    if (select.where) bindExpr(*select.where);
    scopes_.pop_back();
  }

  void bindUpdate(ast::Update& update) {
    update.table.table = useTable(update.table);
    const TableInfo& info = tables_[update.table.table].info;
    const std::string exposed = update.table.alias.empty() ? update.table.name : update.table.alias;
    scopes_.push_back({update.table.table, exposed});
    for (auto& assignment : update.assignments) {
      const std::string shown =
          (assignment.qualifier.empty() ? "" : assignment.qualifier + ".") + assignment.column;
      if (!assignment.qualifier.empty() && !equalsIgnoringCase(assignment.qualifier, exposed)) {
        fail(assignment.offset,
             "Unknown table or alias '" + assignment.qualifier + "' in '" + shown + "'");
      }
      assignment.position = findColumn(info, assignment.column, assignment.offset);
      if (assignment.position == kNotFound) {
        fail(assignment.offset, "Unknown column '" + shown + "'");
      }
      for (const auto& earlier : update.assignments) {
        if (&earlier == &assignment) break;
        if (earlier.position == assignment.position) {
          fail(assignment.offset, "The column '" + shown + "' is set twice");
        }
      }
      markRead(update.table.table, assignment.position);
      bindExpr(*assignment.value);
      if (assignment.value->scopes != 0 || assignment.value->hasSubquery) {
        fail(assignment.value->offset, "The column '" + shown + "' can only be set to a constant");
      }
    }
    if (update.where) bindExpr(*update.where);
    scopes_.pop_back();
  }

  BoundStatement finish() {
    for (auto& table : tables_) {
      std::sort(table.columns.begin(), table.columns.end());
      table.columns.erase(std::unique(table.columns.begin(), table.columns.end()),
                          table.columns.end());
    }
    return {std::move(tables_), nextId_, nextPlan_};
  }

 private:
  struct Scope {
    std::size_t table;
    std::string exposedName;  // the alias, or the table name when there is none
  };

  [[noreturn]] void fail(std::size_t offset, const std::string& message) const {
    throw SqlError(message + " at position " + std::to_string(characterPosition(text_, offset)));
  }

  std::size_t useTable(const ast::TableRef& ref) {
    const auto known = [&](std::string_view name) {
      for (std::size_t i = 0; i < tables_.size(); ++i) {
        if (equalsIgnoringCase(tables_[i].info.name, name)) return i;
      }
      return kNotFound;
    };
    std::size_t index = known(ref.name);
    if (index != kNotFound) return index;
    auto info = source_.describe(ref.name);
    if (!info) fail(ref.offset, "Unknown table '" + ref.name + "'");
    index = known(info->name);
    if (index != kNotFound) return index;
    tables_.push_back({std::move(*info), {}, {}});
    return tables_.size() - 1;
  }

  // The column's position, or kNotFound; two columns of the same name are an error.
  std::size_t findColumn(const TableInfo& info, std::string_view name, std::size_t offset) const {
    std::size_t found = kNotFound;
    for (std::size_t i = 0; i < info.columns.size(); ++i) {
      if (!equalsIgnoringCase(info.columns[i].name, name)) continue;
      if (found != kNotFound) fail(offset, "Ambiguous column name '" + std::string(name) + "'");
      found = i;
    }
    return found;
  }

  void markRead(std::size_t table, std::size_t column) {
    if (reading_) tables_[table].columns.push_back(column);
  }

  void expandStar(ast::Select& select) {
    if (select.items.size() != 1 || select.items[0].expr) return;
    select.items.clear();
    const TableInfo& info = tables_[select.from.table].info;
    for (std::size_t i = 0; i < info.columns.size(); ++i) {
      auto column = std::make_unique<Expr>();
      column->kind = ExprKind::Column;
      column->offset = select.from.offset;
      column->name = info.columns[i].name;
      column->qualifier = scopes_.back().exposedName;  // resolves to exactly this column
      select.items.push_back({std::move(column), {}});
    }
  }

  void bindExpr(Expr& expr) {
    expr.id = nextId_++;
    switch (expr.kind) {
      case ExprKind::Column:
        resolveColumn(expr);
        expr.scopes = 1u << expr.depth;
        return;
      case ExprKind::Exists: {
        expr.plan = nextPlan_++;
        ast::Select& sub = *expr.subquery;
        bindSelect(sub, false);
        std::uint32_t scopes = sub.where ? sub.where->scopes : 0;
        for (const auto& item : sub.items) {
          if (item.expr) scopes |= item.expr->scopes;
        }
        expr.scopes = scopes & ((1u << sub.depth) - 1);  // only what it takes from outside
        expr.hasSubquery = true;
        return;
      }
      case ExprKind::Function:
        if (!equalsIgnoringCase(expr.name, "len")) {
          fail(expr.offset, "Unknown function '" + expr.name + "'");
        }
        if (expr.operands.size() != 1) fail(expr.offset, "len() takes exactly one argument");
        break;
      default:
        break;
    }
    for (auto& operand : expr.operands) {
      bindExpr(*operand);
      expr.scopes |= operand->scopes;
      expr.hasSubquery = expr.hasSubquery || operand->hasSubquery;
    }
  }

  void resolveColumn(Expr& expr) {
    const std::string shown = (expr.qualifier.empty() ? "" : expr.qualifier + ".") + expr.name;
    for (std::size_t d = scopes_.size(); d-- > 0;) {
      const Scope& scope = scopes_[d];
      if (!expr.qualifier.empty() && !equalsIgnoringCase(scope.exposedName, expr.qualifier)) {
        continue;
      }
      const std::size_t position = findColumn(tables_[scope.table].info, expr.name, expr.offset);
      if (position == kNotFound) {
        if (expr.qualifier.empty()) continue;
        fail(expr.offset, "Unknown column '" + shown + "'");
      }
      expr.depth = d;
      expr.table = scope.table;
      expr.column = position;
      markRead(scope.table, position);
      return;
    }
    if (!expr.qualifier.empty()) {
      fail(expr.offset, "Unknown table or alias '" + expr.qualifier + "' in '" + shown + "'");
    }
    fail(expr.offset, "Unknown column '" + shown + "'");
  }

  TableSource& source_;
  std::string_view text_;
  std::vector<TableUse> tables_;
  std::vector<Scope> scopes_;
  std::size_t nextId_ = 0;
  std::size_t nextPlan_ = 0;
  bool reading_ = true;
};

}  // namespace

BoundStatement bind(ast::Statement& statement, TableSource& source, std::string_view text) {
  Binder binder(source, text);
  if (auto* select = std::get_if<ast::Select>(&statement)) {
    binder.bindSelect(*select, true);
  } else {
    binder.bindUpdate(std::get<ast::Update>(statement));
  }
  return binder.finish();
}

}  // namespace leafward::sql
