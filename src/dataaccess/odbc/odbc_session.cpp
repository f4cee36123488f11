#include "dataaccess/odbc/odbc_session.h"

#include "dataaccess/errors.h"

namespace leafward::odbc {

std::unique_ptr<dataaccess::Session> openOdbcSession(const dataaccess::ConnectionString&,
                                                     std::string_view, std::string_view) {
  throw dataaccess::DataAccessError("SQL Server connections are not supported yet");
}

}  // namespace leafward::odbc
