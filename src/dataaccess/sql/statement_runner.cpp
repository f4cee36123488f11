#include "dataaccess/sql/statement_runner.h"

#include <string>

#include "dataaccess/sql/distinct_rows.h"
#include "dataaccess/sql/value_ops.h"

namespace leafward::sql {
namespace {

// A column is named after the table column it shows, or its AS name; any other expression
// is ExprNNNN, numbered from 1000 by its place in the list, as Jet names them.
std::string columnName(const ast::SelectItem& item, std::size_t place, const Evaluator& evaluator) {
  if (!item.alias.empty()) return item.alias;
  if (item.expr->kind == ast::ExprKind::Column) {
    return evaluator.tables()[item.expr->table].info.columns[item.expr->column].name;
  }
  return "Expr" + std::to_string(1000 + place);
}

bool rowQualifies(const ast::Expr* where, Evaluator& evaluator, Frame& frame) {
  return !where || evaluator.test(*where, frame) == Truth::True;
}

// Hands the values of each row the SELECT picks to `row`, in table order; for DISTINCT, hands
// the distinct rows, sorted, to `sorted` instead.
template <class Row, class Sorted>
void selectRows(const ast::Select& select, Evaluator& evaluator, Row&& row, Sorted&& sorted) {
  const std::size_t rowCount = evaluator.tables()[select.from.table].data.rowCount;
  Frame frame;
  DistinctRows distinct;
  std::vector<Datum> values(select.items.size());
  for (std::size_t at = 0; at < rowCount; ++at) {
    frame.rows[0] = at;
    if (!rowQualifies(select.where.get(), evaluator, frame)) continue;
    for (std::size_t i = 0; i < values.size(); ++i) {
      values[i] = evaluator.value(*select.items[i].expr, frame);
    }
    if (select.distinct) {
      distinct.offer(values);
    } else {
      row(values);
    }
  }
  if (select.distinct) sorted(distinct.takeSorted());
}

}  // namespace

dataaccess::ResultSet runSelect(const ast::Select& select, Evaluator& evaluator) {
  dataaccess::ResultSet result;
  for (std::size_t i = 0; i < select.items.size(); ++i) {
    result.columnNames.push_back(columnName(select.items[i], i, evaluator));
  }
  selectRows(
      select, evaluator,
      [&](const std::vector<Datum>& values) {
        std::vector<Value>& out = result.rows.emplace_back();
        out.reserve(values.size());
        for (const Datum& value : values) out.push_back(toValue(value));
      },
      [&](std::vector<std::vector<Value>> rows) { result.rows = std::move(rows); });
  return result;
}

void visitSelect(const ast::Select& select, Evaluator& evaluator,
                 const dataaccess::RowVisitor& visit) {
  std::vector<Value> out(select.items.size());
  selectRows(
      select, evaluator,
      [&](const std::vector<Datum>& values) {
        for (std::size_t i = 0; i < values.size(); ++i) out[i] = toValue(values[i]);
        visit(out);
      },
      [&](const std::vector<std::vector<Value>>& rows) {
        for (const std::vector<Value>& sortedRow : rows) visit(sortedRow);
      });
}

UpdatePlan runUpdatePlan(const ast::Update& update, Evaluator& evaluator) {
  const TableUse& table = evaluator.tables()[update.table.table];
  UpdatePlan plan;
  plan.table = table.info;
  Frame frame;
  for (const auto& assignment : update.assignments) {
    const Datum value = evaluator.value(*assignment.value, frame);  // a constant
    plan.assignments.push_back(
        {assignment.position, convertForColumn(value, table.info.columns[assignment.position])});
  }
  for (std::size_t row = 0; row < table.data.rowCount; ++row) {
    frame.rows[0] = row;
    if (!rowQualifies(update.where.get(), evaluator, frame)) continue;
    plan.rows.push_back(row);
    std::vector<Value>& old = plan.oldValues.emplace_back();
    for (const auto& assignment : plan.assignments) {
      old.push_back(table.values(assignment.column).value(row));
    }
  }
  return plan;
}

}  // namespace leafward::sql
