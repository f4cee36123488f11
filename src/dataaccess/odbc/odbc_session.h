#pragma once

#include <memory>
#include <string_view>

#include "dataaccess/connection_string.h"
#include "dataaccess/session.h"

namespace leafward::odbc {

// Opens a SQL Server connection described by an SQLOLEDB connection string through ODBC.
std::unique_ptr<dataaccess::Session> openOdbcSession(const dataaccess::ConnectionString& connection,
                                                     std::string_view user,
                                                     std::string_view password);

}  // namespace leafward::odbc
