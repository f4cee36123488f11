#include "audit/coding_scheme.h"

#include <cmath>
#include <cstdint>
#include <vector>

#include "audit/level_string.h"
#include "audit/statements.h"
#include "connection/steps.h"
#include "dataaccess/errors.h"

namespace leafward::audit {
namespace {

using connection::attempt;
using connection::holdsOrFails;
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

StoredScheme readStoredScheme(SharedConnection& shared, std::string_view query, std::string table,
                              const std::string& level) {
  StoredScheme scheme{std::move(table), StoredScheme::State::Missing, {}};
  shared.strSQL = query;
  const bool ran = attempt([&] { shared.executeQuery(); });
  // A table that is missing or refuses the query counts as a missing scheme row.
  if (!ran || holdsOrFails([&] { return shared.rsData->eof(); })) {
    scheme.state = StoredScheme::State::Missing;
  } else {
    scheme.state = StoredScheme::State::Unread;
    attempt([&] {
      const Value& value = shared.rsData->field(0);
      // A NULL scheme says nothing that could be compared.
      if (value.isNull()) {
        scheme.state = StoredScheme::State::Null;
        return;
      }
      scheme.stored = value.toText();
      scheme.state = schemeMatches(withoutCommas(scheme.stored), level)
                         ? StoredScheme::State::Fits
                         : StoredScheme::State::Mismatch;
    });
  }
  attempt([&] { shared.rsData->close(); });
  return scheme;
}

}  // namespace

std::optional<SchemeFindings> readCodingScheme(SharedConnection& shared, std::string* failure) {
  shared.strSQL = kCodeLengthsQuery;
  attempt([&] { shared.executeQuery(); }, failure);
  if (holdsOrFails([&] { return shared.rsData->state() != dataaccess::kAdStateOpen; })) return {};
  if (holdsOrFails([&] { return shared.rsData->recordCount() == 0; })) return {};

  SchemeFindings findings;
  findings.lengths = readLengths(*shared.rsData);
  // Only NULL codes: no lengths at all, the same as no codes.
  if (findings.lengths.empty()) return {};
  findings.level = levelString(findings.lengths);

  findings.accInformation =
      readStoredScheme(shared, kAccInformationSchemeQuery, "AccInformation", findings.level);
  findings.gradeDef = readStoredScheme(shared, kGradeDefSchemeQuery, "GradeDef", findings.level);
  return findings;
}

bool auditCodingScheme(SharedConnection& shared, Workbench& bench, std::string* failure) {
  Findings findings;
  findings.scheme = readCodingScheme(shared, failure);
  renderReport(findings, false, bench);
  return findings.scheme.has_value();
}

}  // namespace leafward::audit
