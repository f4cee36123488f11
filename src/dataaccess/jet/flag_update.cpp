#include "dataaccess/jet/flag_update.h"

#include "dataaccess/errors.h"

namespace leafward::jet {
namespace {

using dataaccess::DataAccessError;
using dataaccess::Value;

// The one Yes/No column the plan sets; anything else is beyond an in-place write.
const sql::Assignment& flagAssignment(const sql::UpdatePlan& plan) {
  if (plan.assignments.size() != 1) {
    throw DataAccessError(
        "Setting more than one column in one statement is not supported for "
        "Access files");
  }
  const sql::Assignment& assignment = plan.assignments.front();
  if (assignment.column >= plan.table.columns.size()) {
    throw DataAccessError("The statement sets a column the table " + plan.table.name +
                          " does not have");
  }
  const sql::ColumnInfo& column = plan.table.columns[assignment.column];
  if (column.type != sql::ColumnType::YesNo) {
    throw DataAccessError("Changing the column [" + column.name + "] of " + plan.table.name +
                          " is not supported: only Yes/No columns of an Access file can be "
                          "changed");
  }
  if (assignment.value.kind() != Value::Kind::YesNo) {
    throw DataAccessError("The new value of [" + column.name + "] is not a Yes/No value");
  }
  return assignment;
}

}  // namespace

FlagStatement flagStatementOf(const sql::UpdatePlan& plan, const JetTableSource& source) {
  const sql::Assignment& assignment = flagAssignment(plan);
  FlagStatement statement;
  if (plan.rows.empty()) return statement;
  statement.table = source.database().findTable(plan.table.name);
  if (!statement.table || assignment.column >= statement.table->definition.columns.size()) {
    throw DataAccessError("The update of " + plan.table.name + " was planned on another table");
  }
  statement.column = &statement.table->definition.columns[assignment.column];
  statement.codePage = source.database().codePage();

  const RowLocations& locations = source.rowLocations(plan.table.name);
  if (plan.oldValues.size() != plan.rows.size()) {
    throw DataAccessError("The update of " + plan.table.name + " was planned incompletely");
  }
  const bool value = assignment.value.asYesNo();
  statement.changes.reserve(plan.rows.size());
  for (std::size_t i = 0; i < plan.rows.size(); ++i) {
    const std::size_t row = plan.rows[i];
    const auto& old = plan.oldValues[i];
    if (row >= locations.size() || old.size() != 1 || old.front().kind() != Value::Kind::YesNo) {
      throw DataAccessError("The rows of " + plan.table.name +
                            " to update do not match the rows read");
    }
    statement.changes.push_back({locations[row], old.front().asYesNo(), value});
  }
  return statement;
}

FlagWriteResult writeFlagStatement(const std::string& canonicalPath, const std::string& displayName,
                                   const FlagStatement& statement) {
  if (statement.changes.empty()) return {};
  return writeFlags(FlagTarget{canonicalPath, displayName, statement.table->definition,
                               *statement.column, statement.codePage},
                    statement.changes);
}

}  // namespace leafward::jet
