#include "audit/coding_scheme.h"

#include <cmath>
#include <cstdint>
#include <vector>

#include "audit/level_string.h"
#include "audit/report.h"
#include "audit/statements.h"
#include "connection/steps.h"
#include "dataaccess/errors.h"

namespace leafward::audit {
namespace {

using connection::attempt;
using connection::holds;
using connection::SharedConnection;
using dataaccess::DataAccessError;
using dataaccess::Value;

std::int64_t lengthOf(const Value& value) {
  if (value.kind() == Value::Kind::Integer) return value.asInteger();
  if (const auto number = value.fractionalNumber()) {
    if (std::isfinite(*number) && std::fabs(*number) < 1e15) return std::llround(*number);
  }
  throw DataAccessError("A code length is not a number: " + value.toText());
}

// The lengths of the rows from the current one on. A NULL code has no length and adds
// nothing. A row that cannot be read ends the reading with what was read so far.
std::vector<std::int64_t> readLengths(dataaccess::Recordset& rows) {
  std::vector<std::int64_t> lengths;
  try {
    for (; !rows.eof(); rows.moveNext()) {
      const Value& value = rows.field(0);
      if (!value.isNull()) lengths.push_back(lengthOf(value));
    }
  } catch (const std::exception&) {
  }
  return lengths;
}

void auditStoredScheme(SharedConnection& shared, Workbench& bench, std::string_view query,
                       const std::string& table, const std::string& level) {
  shared.strSQL = query;
  const bool ran = attempt([&] { shared.executeQuery(); });
  // A table that is missing or refuses the query counts as a missing scheme row.
  if (!ran || holds([&] { return shared.rsData->eof(); })) {
    attempt([&] { appendLine(bench, table + "的科目编码有问题"); });
  } else {
    attempt([&] {
      const Value& value = shared.rsData->field(0);
      // A NULL scheme says nothing that could be compared; no line for it.
      if (value.isNull()) return;
      const std::string asStored = value.toText();
      if (!schemeMatches(withoutCommas(asStored), level)) {
        appendLine(bench, table + "的科目编码有问题：'" + asStored + "'");
      }
    });
  }
  attempt([&] { shared.rsData->close(); });
}

}  // namespace

bool auditCodingScheme(SharedConnection& shared, Workbench& bench, std::string* failure) {
  shared.strSQL = kCodeLengthsQuery;
  attempt([&] { shared.executeQuery(); }, failure);
  if (holds([&] { return shared.rsData->state() != dataaccess::kAdStateOpen; })) return false;
  if (holds([&] { return shared.rsData->recordCount() == 0; })) return false;

  const std::vector<std::int64_t> lengths = readLengths(*shared.rsData);
  // Only NULL codes: no lengths at all, the same as no codes.
  if (lengths.empty()) return false;
  const std::string level = levelString(lengths);

  auditStoredScheme(shared, bench, kAccInformationSchemeQuery, "AccInformation", level);
  auditStoredScheme(shared, bench, kGradeDefSchemeQuery, "GradeDef", level);
  return true;
}

}  // namespace leafward::audit
