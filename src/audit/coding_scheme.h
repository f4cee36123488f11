#pragma once

#include <optional>
#include <string>

#include "audit/findings.h"
#include "audit/workbench.h"
#include "connection/shared_connection.h"

namespace leafward::audit {

// Compares the level sizes of the codes in use with the coding schemes the account set stores
// in AccInformation (cGradeLevel) and GradeDef ('code'). Nothing when there are no code lengths
// to compare (the length query did not run, or found no code): the Check then ends without its
// closing steps. The reason of a failed length query goes to `failure`.
std::optional<SchemeFindings> readCodingScheme(connection::SharedConnection& shared,
                                               std::string* failure = nullptr);

// The same, with a line appended to the report for each scheme that is missing or does not
// fit; false when there were no code lengths to compare.
//
// Compares the level sizes of the codes in use with the coding schemes the account set
// stores in AccInformation (cGradeLevel) and GradeDef ('code'), appending a line to the report
// for each scheme that is missing or does not fit. Returns false when there are no code
// lengths to compare (the length query did not run, or found no code): the Check then ends
// without its closing steps. The reason of a failed length query goes to `failure`.
bool auditCodingScheme(connection::SharedConnection& shared, Workbench& bench,
                       std::string* failure = nullptr);

}  // namespace leafward::audit
