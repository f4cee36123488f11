#pragma once

#include <string>
#include <vector>

#include "dataaccess/odbc/odbc_handles.h"
#include "dataaccess/value.h"

namespace leafward::odbc {

// What the driver says about one result column.
struct ColumnInfo {
  std::string name;
  SQLSMALLINT sqlType = SQL_UNKNOWN_TYPE;
  SQLULEN size = 0;
  SQLSMALLINT decimalDigits = 0;
};

// Describes the columns of the statement's current result.
std::vector<ColumnInfo> describeColumns(const Handle& statement, std::string_view secret);

// An ODBC GUID as Jet stores one: its first three fields little-endian, then the last eight
// bytes in order.
dataaccess::Guid guidOf(const SQLGUID& value);

// Reads one field of the current row as the Value its SQL type maps to: whole numbers and bit
// columns as integers (a bit is 1 or 0), real as single, decimal and numeric (SQL Server's
// money too) exactly as decimal, float as floating, dates as dates, uniqueidentifier as guid,
// binary types as binary, all else as UTF-8 text. Throws DataAccessError.
dataaccess::Value readField(const Handle& statement, SQLUSMALLINT column, const ColumnInfo& info,
                            std::string_view secret);

}  // namespace leafward::odbc
