#include "dataaccess/odbc/odbc_session.h"

#include <algorithm>

#include "dataaccess/odbc/driver_session.h"
#include "dataaccess/odbc/sql_server_driver.h"
#include "dataaccess/odbc/sqloledb_translation.h"

namespace leafward::odbc {

std::unique_ptr<dataaccess::Session> openOdbcSession(const dataaccess::ConnectionString& connection,
                                                     std::string_view user,
                                                     std::string_view password) {
  return openOdbcSession(connection, user, password, kSqlServerLoginTimeout);
}

std::unique_ptr<dataaccess::Session> openOdbcSession(const dataaccess::ConnectionString& connection,
                                                     std::string_view user,
                                                     std::string_view password,
                                                     std::chrono::seconds loginTimeout) {
  const SqlServerDriver driver = findSqlServerDriver();
  std::string text = odbcConnectionString(connection, driver, user, password);
  // The ODBC string holds the password: overwrite it however the connection ends.
  struct Wipe {
    std::string& text;
    ~Wipe() { std::fill(text.begin(), text.end(), '\0'); }
  } wipe{text};
  // FreeTDS is told to hand out UTF-8; Microsoft's driver would use the locale's charset.
  const TextMode mode =
      driver.kind == SqlServerDriver::Kind::FreeTds ? TextMode::Utf8 : TextMode::Wide;
  return DriverSession::connect(text, loginTimeout, describeServer(connection), mode,
                                loginPassword(connection, password));
}

}  // namespace leafward::odbc
