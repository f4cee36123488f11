#include "dataaccess/odbc/driver_session.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>

#include "dataaccess/errors.h"
#include "dataaccess/odbc/column_reader.h"
#include "dataaccess/odbc/utf16.h"

namespace leafward::odbc {
namespace {

using dataaccess::DataAccessError;

SQLWCHAR* wide(std::u16string& text) {
  static_assert(sizeof(SQLWCHAR) == sizeof(char16_t));
  return reinterpret_cast<SQLWCHAR*>(text.data());
}

dataaccess::ResultSet fetchAll(const Handle& statement, std::string_view secret) {
  const std::vector<ColumnInfo> columns = describeColumns(statement, secret);
  dataaccess::ResultSet result;
  result.columnNames.reserve(columns.size());
  for (const ColumnInfo& column : columns) result.columnNames.push_back(column.name);
  for (;;) {
    const SQLRETURN rc = SQLFetch(statement.get());
    if (rc == SQL_NO_DATA) break;
    check(rc, statement, "Cannot read the next row", secret);
    std::vector<dataaccess::Value> row;
    row.reserve(columns.size());
    for (std::size_t i = 0; i < columns.size(); ++i) {
      row.push_back(readField(statement, static_cast<SQLUSMALLINT>(i + 1), columns[i], secret));
    }
    result.rows.push_back(std::move(row));
  }
  return result;
}

}  // namespace

DriverSession::DriverSession(Handle environment, Handle connection, std::string secret)
    : environment_(std::move(environment)),
      connection_(std::move(connection)),
      secret_(std::move(secret)) {}

std::unique_ptr<DriverSession> DriverSession::connect(std::string_view odbcConnectionString,
                                                      std::chrono::seconds loginTimeout,
                                                      std::string_view what, TextMode mode,
                                                      std::string secret) {
  Handle environment = allocateEnvironment(mode);
  Handle connection = allocate(SQL_HANDLE_DBC, environment);
  // Not every driver knows a login time-out; those that do not simply wait as they would.
  const auto seconds =
      static_cast<SQLULEN>(std::max<std::chrono::seconds::rep>(0, loginTimeout.count()));
  SQLSetConnectAttr(connection.get(), SQL_ATTR_LOGIN_TIMEOUT,
                    reinterpret_cast<SQLPOINTER>(static_cast<std::uintptr_t>(seconds)), 0);

  if (odbcConnectionString.size() > static_cast<std::size_t>(SHRT_MAX / 2)) {
    throw DataAccessError("Cannot connect to " + std::string(what) +
                          ": the connection string is too long");
  }
  // The connection string always goes through the wide call: the narrow one leaves its
  // reading to each driver, and FreeTDS reads it as Latin-1 whatever charset it is told.
  std::u16string text = utf16FromUtf8(odbcConnectionString);
  SQLSMALLINT outLength = 0;
  const SQLRETURN rc = SQLDriverConnectW(connection.get(), nullptr, wide(text),
                                         static_cast<SQLSMALLINT>(text.size()), nullptr, 0,
                                         &outLength, SQL_DRIVER_NOPROMPT);
  std::fill(text.begin(), text.end(), u'\0');
  if (!succeeded(rc)) {
    throw DataAccessError("Cannot connect to " + std::string(what) + ": " +
                          diagnostics(connection, secret));
  }
  connection.setConnected();
  return std::unique_ptr<DriverSession>(
      new DriverSession(std::move(environment), std::move(connection), std::move(secret)));
}

dataaccess::StatementResult DriverSession::execute(std::string_view text) {
  restoreAutocommit();
  Handle statement = allocate(SQL_HANDLE_STMT, connection_);
  const SQLRETURN rc = executeText(statement, text);
  dataaccess::StatementResult result;
  // An UPDATE or DELETE that touched no row reports "no data".
  if (rc == SQL_NO_DATA) return result;
  check(rc, statement, "The statement failed", secret_);

  SQLSMALLINT columns = 0;
  check(SQLNumResultCols(statement.get(), &columns), statement, "The statement failed", secret_);
  if (columns > 0) {
    result.rows = fetchAll(statement, secret_);
    return result;
  }
  SQLLEN rows = 0;
  check(SQLRowCount(statement.get(), &rows), statement, "Cannot read the number of rows changed",
        secret_);
  result.recordsAffected = rows < 0 ? 0 : rows;
  return result;
}

std::string DriverSession::currentCatalog() const {
  // Always the wide call: FreeTDS hands the narrow one each character's low byte, whatever
  // charset it was told to use.
  constexpr SQLINTEGER kCapacity = 1024;
  SQLINTEGER length = 0;
  std::array<SQLWCHAR, kCapacity> name{};
  check(SQLGetConnectAttrW(connection_.get(), SQL_ATTR_CURRENT_CATALOG, name.data(),
                           static_cast<SQLINTEGER>(sizeof name), &length),
        connection_, "Cannot read the current database", secret_);
  name.back() = 0;
  std::size_t end = 0;
  while (name[end] != 0) ++end;
  static_assert(sizeof(SQLWCHAR) == sizeof(char16_t));
  return utf8FromUtf16({reinterpret_cast<const char16_t*>(name.data()), end});
}

}  // namespace leafward::odbc
