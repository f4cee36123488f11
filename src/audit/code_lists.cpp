#include "audit/code_lists.h"

#include "dataaccess/recordset.h"

namespace leafward::audit {

Code codeOf(const dataaccess::Value& value) {
  if (value.isNull()) return std::nullopt;
  return value.kind() == dataaccess::Value::Kind::Text ? value.asText() : value.toText();
}

std::vector<Code> listCodes(connection::SharedConnection& shared, const std::string& query) {
  shared.strSQL = query;
  shared.executeQuery();
  std::vector<Code> codes;
  dataaccess::Recordset& rows = *shared.rsData;
  if (rows.state() != dataaccess::kAdStateOpen) {
    throw dataaccess::DataAccessError("The query returned no rows: " + query);
  }
  for (; !rows.eof(); rows.moveNext()) codes.push_back(codeOf(rows.field(0)));
  rows.close();
  return codes;
}

}  // namespace leafward::audit
