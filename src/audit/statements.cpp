#include "audit/statements.h"

namespace leafward::audit {
namespace {

// A code has sub-accounts when another code starts with it and is at least one character
// longer: the row's own code, followed by "_%", is the pattern.
constexpr std::string_view kHasLongerCode =
    "(SELECT  * FROM [code] p where p.ccode like code.ccode+'_%') and ";

}  // namespace

std::string nonLeafFlaggedAsLeafQuery(bool server) {
  std::string text = "SELECT  ccode FROM [code] where exists ";
  text += kHasLongerCode;
  text += server ? "[bend]=1" : "[bend]";
  return text;
}

std::string leafFlaggedAsNonLeafQuery(bool server) {
  std::string text = "SELECT  ccode FROM [code] where not exists";
  text += kHasLongerCode;
  text += server ? "[bend]=0" : "not [bend]";
  return text;
}

std::string setLeafFlagsStatement(bool server) {
  std::string text = "update code Set [bend] = ";
  text += server ? "1" : "true";
  text += " where not exists ";
  text += kHasLongerCode;
  text += "[bend]=0";
  return text;
}

}  // namespace leafward::audit
