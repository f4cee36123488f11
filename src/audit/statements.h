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

// Clears the flag of every code that has a longer code under it and is flagged as leaf. The
// same text in both dialects: true is -1 in Access and 1 on SQL Server, both unequal to 0.
inline constexpr std::string_view kClearNonLeafFlagsStatement =
    "update code Set [bend] = 0  where exists (SELECT  * FROM [code] p where p.ccode like "
    "code.ccode+'_%') and [bend]<>0";
// Sets the flag of every code with no longer code under it that is flagged as non-leaf.
std::string setLeafFlagsStatement(bool server);

// The distinct code lengths, in the order the database delivers them.
inline constexpr std::string_view kCodeLengthsQuery = "SELECT  distinct len(ccode) FROM  code ";
inline constexpr std::string_view kAccInformationSchemeQuery =
    "SELECT  [cValue] FROM [AccInformation]where [cName]='cGradeLevel'";
inline constexpr std::string_view kGradeDefSchemeQuery =
    "SELECT  [CODINGRULE] FROM [GradeDef] where [KEYWORD]='code'";

}  // namespace leafward::audit
