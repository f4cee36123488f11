#pragma once

#include <chrono>
#include <memory>
#include <string_view>

#include "dataaccess/connection_string.h"
#include "dataaccess/session.h"

namespace leafward::odbc {

// How long a SQL Server login may take before it is given up, as with SQLOLEDB.
inline constexpr std::chrono::seconds kSqlServerLoginTimeout{15};

// Opens a SQL Server connection described by an SQLOLEDB connection string through ODBC.
std::unique_ptr<dataaccess::Session> openOdbcSession(const dataaccess::ConnectionString& connection,
                                                     std::string_view user,
                                                     std::string_view password);

// The same with another login time-out.
std::unique_ptr<dataaccess::Session> openOdbcSession(const dataaccess::ConnectionString& connection,
                                                     std::string_view user,
                                                     std::string_view password,
                                                     std::chrono::seconds loginTimeout);

}  // namespace leafward::odbc
