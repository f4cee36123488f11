#include "connection/shared_connection.h"

#include "dataaccess/ascii.h"
#include "dataaccess/connection_string.h"

namespace leafward::connection {

using dataaccess::kAdStateOpen;

std::string replaceAll(std::string_view text, std::string_view placeholder,
                       std::string_view value) {
  if (placeholder.empty()) return std::string(text);
  std::string result;
  std::size_t from = 0;
  for (std::size_t at = text.find(placeholder); at != std::string_view::npos;
       at = text.find(placeholder, from)) {
    result.append(text, from, at - from).append(value);
    from = at + placeholder.size();
  }
  result.append(text, from);
  return result;
}

std::string accessConnectionString(std::string_view path,
                                   const std::optional<std::string>& codePage) {
  std::string text =
      replaceAll(kAccessTemplate, "'|1'", dataaccess::ConnectionString::quoteValue(path));
  if (codePage) text += "Code Page=" + dataaccess::ConnectionString::quoteValue(*codePage) + ";";
  return text;
}

void SharedConnection::startUp() {
  cnData.setCursorLocation(dataaccess::kAdUseClient);
}

void SharedConnection::openAccess(std::string_view path,
                                  const std::optional<std::string>& codePage) {
  const std::string connectionString = accessConnectionString(path, codePage);
  if (cnData.state() == kAdStateOpen) cnData.close();
  cnData.open(connectionString, "", "", -1);
}

void SharedConnection::executeQuery() {
  rsData = cnData.execute(strSQL, nullptr, -1);
}

std::int64_t SharedConnection::executeUpdate() {
  std::int64_t recordsAffected = 0;
  cnData.execute(strSQL, &recordsAffected, -1);
  return recordsAffected;
}

bool SharedConnection::accessFileOpen() const {
  return cnData.state() == kAdStateOpen &&
         dataaccess::equalsIgnoringCase(cnData.provider(), "Microsoft.Jet.OLEDB.4.0");
}

void SharedConnection::shutDown() noexcept {
  try {
    if (cnData.state() == kAdStateOpen) cnData.close();
    if (rsData && rsData->state() == kAdStateOpen) rsData->close();
  } catch (const std::exception&) {
    // Closing is best effort: the program ends either way.
  }
  rsData = std::make_shared<dataaccess::Recordset>();
}

}  // namespace leafward::connection
