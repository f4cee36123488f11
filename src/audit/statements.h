#pragma once

#include <string>
#include <string_view>

namespace leafward::audit {

// The statements are sent exactly as written here, odd spacing included. `server` picks the
// SQL Server dialect, where `bend` is a bit compared with 1 or 0 rather than a Yes/No value
// that stands alone as a condition.

// Codes that have a longer code under them but are flagged as leaf.
std::string nonLeafFlaggedAsLeafQuery(bool server);
// Codes with no longer code under them but flagged as non-leaf.
std::string leafFlaggedAsNonLeafQuery(bool server);

// The distinct code lengths, in the order the database delivers them.
inline constexpr std::string_view kCodeLengthsQuery = "SELECT  distinct len(ccode) FROM  code ";
inline constexpr std::string_view kAccInformationSchemeQuery =
    "SELECT  [cValue] FROM [AccInformation]where [cName]='cGradeLevel'";
inline constexpr std::string_view kGradeDefSchemeQuery =
    "SELECT  [CODINGRULE] FROM [GradeDef] where [KEYWORD]='code'";

}  // namespace leafward::audit
