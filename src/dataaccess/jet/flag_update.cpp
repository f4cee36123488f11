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

FlagUpdate prepareFlagUpdate(const std::string& canonicalPath, const std::string& displayName,
                             const sql::UpdatePlan& plan, const JetTableSource& source) {
  const sql::Assignment& assignment = flagAssignment(plan);
  const JetTable* table = source.database().findTable(plan.table.name);
  if (!table || assignment.column >= table->definition.columns.size()) {
    throw DataAccessError("The update of " + plan.table.name + " was planned on another table");
  }

  const RowLocations& locations = source.rowLocations(plan.table.name);
  if (plan.oldValues.size() != plan.rows.size()) {
    throw DataAccessError("The update of " + plan.table.name + " was planned incompletely");
  }
  const bool value = assignment.value.asYesNo();
  FlagUpdate update{
      FlagTarget{canonicalPath, displayName, table->definition,
                 table->definition.columns[assignment.column], source.database().codePage()},
      {}};
  std::vector<FlagChange>& changes = update.changes;
  changes.reserve(plan.rows.size());
  for (std::size_t i = 0; i < plan.rows.size(); ++i) {
    const std::size_t row = plan.rows[i];
    const auto& old = plan.oldValues[i];
    if (row >= locations.size() || old.size() != 1 || old.front().kind() != Value::Kind::YesNo) {
      throw DataAccessError("The rows of " + plan.table.name +
                            " to update do not match the rows read");
    }
    changes.push_back({locations[row], old.front().asYesNo(), value});
  }
  return update;
}

std::int64_t carryOutFlagUpdate(const FlagUpdate& update) {
  if (update.changes.empty()) return 0;
  writeFlags(update.target, update.changes);
  return static_cast<std::int64_t>(update.changes.size());
}

}  // namespace leafward::jet
