#include "dataaccess/odbc/column_reader.h"

#include <algorithm>
#include <array>

#include "dataaccess/errors.h"
#include "dataaccess/odbc/utf16.h"

namespace leafward::odbc {
namespace {

using dataaccess::DataAccessError;
using dataaccess::Value;

// Longest text or binary value read from one field; anything beyond is a driver gone wrong.
constexpr std::size_t kMaxTextUnits = std::size_t{64} << 20;
constexpr std::size_t kMaxBinaryBytes = std::size_t{256} << 20;

std::u16string_view unitsOf(const SQLWCHAR* text, std::size_t length) {
  static_assert(sizeof(SQLWCHAR) == sizeof(char16_t));
  return {reinterpret_cast<const char16_t*>(text), length};
}

[[noreturn]] void fieldFailed(const Handle& statement, const ColumnInfo& info,
                              std::string_view secret) {
  throw DataAccessError("Cannot read field " + info.name + ": " + diagnostics(statement, secret));
}

// Days from 1970-01-01 to a civil date (proleptic Gregorian), after H. Hinnant's algorithm.
long long daysFromCivil(long long year, unsigned month, unsigned day) {
  year -= month <= 2;
  const long long era = (year >= 0 ? year : year - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(year - era * 400);
  const unsigned doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

// A date and time as days since 1899-12-30; before that day Jet counts whole days back and
// the time of day forward, so the fraction's sign follows the day's.
dataaccess::DateTime dateTimeOf(const SQL_TIMESTAMP_STRUCT& t) {
  const long long whole = daysFromCivil(t.year, t.month, t.day) - daysFromCivil(1899, 12, 30);
  const double fraction =
      (t.hour * 3600.0 + t.minute * 60.0 + t.second + t.fraction / 1e9) / 86400.0;
  const auto days = static_cast<double>(whole);
  return {whole < 0 ? days - fraction : days + fraction};
}

// A field of fixed size, read as the C type `kCType` into a T and made a Value by `make`;
// NULL when the field holds none.
template <typename T, SQLSMALLINT kCType, typename Make>
Value readFixed(const Handle& statement, SQLUSMALLINT column, const ColumnInfo& info,
                std::string_view secret, Make make) {
  T value{};
  SQLLEN indicator = 0;
  const SQLRETURN rc =
      SQLGetData(statement.get(), column, kCType, &value, sizeof value, &indicator);
  if (!succeeded(rc)) fieldFailed(statement, info, secret);
  if (indicator == SQL_NULL_DATA) return Value();
  return make(value);
}

// Binary data arrives in pieces when it is longer than the buffer, each filling it.
Value readBinary(const Handle& statement, SQLUSMALLINT column, const ColumnInfo& info,
                 std::string_view secret) {
  std::vector<std::uint8_t> bytes;
  std::array<std::uint8_t, 8192> buffer{};
  constexpr auto kBufferBytes = static_cast<SQLLEN>(sizeof buffer);
  for (;;) {
    SQLLEN indicator = 0;
    const SQLRETURN rc =
        SQLGetData(statement.get(), column, SQL_C_BINARY, buffer.data(), kBufferBytes, &indicator);
    if (rc == SQL_NO_DATA) break;
    if (!succeeded(rc)) fieldFailed(statement, info, secret);
    if (indicator == SQL_NULL_DATA) return Value();
    const bool whole = indicator != SQL_NO_TOTAL && indicator >= 0 && indicator <= kBufferBytes;
    const std::size_t size = whole ? static_cast<std::size_t>(indicator) : buffer.size();
    bytes.insert(bytes.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(size));
    if (whole || rc == SQL_SUCCESS) break;
    if (bytes.size() > kMaxBinaryBytes) {
      throw DataAccessError("Field " + info.name + " holds more data than can be read");
    }
  }
  return Value::binary(std::move(bytes));
}

// Text arrives in pieces when it is longer than the buffer; each piece but the last fills the
// buffer up to its terminator.
template <typename Unit, SQLSMALLINT kCType>
bool readPieces(const Handle& statement, SQLUSMALLINT column, const ColumnInfo& info,
                std::string_view secret, std::basic_string<Unit>& text) {
  std::array<Unit, 4096> buffer{};
  constexpr auto kBufferBytes = static_cast<SQLLEN>(sizeof buffer);
  for (;;) {
    SQLLEN indicator = 0;
    const SQLRETURN rc =
        SQLGetData(statement.get(), column, kCType, buffer.data(), kBufferBytes, &indicator);
    if (rc == SQL_NO_DATA) return true;
    if (!succeeded(rc)) fieldFailed(statement, info, secret);
    if (indicator == SQL_NULL_DATA) return false;
    const bool whole = indicator != SQL_NO_TOTAL && indicator >= 0 &&
                       indicator <= kBufferBytes - static_cast<SQLLEN>(sizeof(Unit));
    const std::size_t units =
        whole ? static_cast<std::size_t>(indicator) / sizeof(Unit) : buffer.size() - 1;
    text.append(buffer.data(), units);
    if (whole || rc == SQL_SUCCESS) return true;
    if (text.size() > kMaxTextUnits) {
      throw DataAccessError("Field " + info.name + " holds more text than can be read");
    }
  }
}

// Bytes a driver hands out as UTF-8 are checked, so that a stray byte cannot travel further.
std::string validUtf8(std::string text) {
  const bool ascii = std::all_of(text.begin(), text.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  return ascii ? text : utf8FromUtf16(utf16FromUtf8(text));
}

Value readText(const Handle& statement, SQLUSMALLINT column, const ColumnInfo& info,
               std::string_view secret) {
  if (statement.textMode() == TextMode::Utf8) {
    std::string text;
    if (!readPieces<char, SQL_C_CHAR>(statement, column, info, secret, text)) return Value();
    return Value::text(validUtf8(std::move(text)));
  }
  static_assert(sizeof(SQLWCHAR) == sizeof(char16_t));
  std::u16string text;
  if (!readPieces<char16_t, SQL_C_WCHAR>(statement, column, info, secret, text)) return Value();
  return Value::text(utf8FromUtf16(text));
}

// Decimal, numeric and money values come as text, which holds every digit: a double would not.
Value readDecimal(const Handle& statement, SQLUSMALLINT column, const ColumnInfo& info,
                  std::string_view secret) {
  const Value text = readText(statement, column, info, secret);
  if (text.isNull()) return text;
  const auto decimal = dataaccess::Decimal::parse(text.asText());
  if (!decimal) {
    throw DataAccessError("Field " + info.name + " holds a decimal the driver wrote as \"" +
                          text.asText().substr(0, 60) + "\"");
  }
  return Value::decimal(*decimal);
}

bool isWholeNumber(const ColumnInfo& info) {
  switch (info.sqlType) {
    case SQL_BIT:
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
      return true;
    case SQL_DECIMAL:
    case SQL_NUMERIC:
      return info.decimalDigits == 0 && info.size > 0 && info.size <= 18;
    default:
      return false;
  }
}

}  // namespace

dataaccess::Guid guidOf(const SQLGUID& value) {
  dataaccess::Guid guid;
  for (std::size_t i = 0; i < 4; ++i) {
    guid.bytes[i] = static_cast<std::uint8_t>(value.Data1 >> (8 * i));
  }
  for (std::size_t i = 0; i < 2; ++i) {
    guid.bytes[4 + i] = static_cast<std::uint8_t>(value.Data2 >> (8 * i));
    guid.bytes[6 + i] = static_cast<std::uint8_t>(value.Data3 >> (8 * i));
  }
  std::copy_n(value.Data4, 8, guid.bytes.begin() + 8);
  return guid;
}

std::vector<ColumnInfo> describeColumns(const Handle& statement, std::string_view secret) {
  SQLSMALLINT count = 0;
  check(SQLNumResultCols(statement.get(), &count), statement, "Cannot read the result's columns",
        secret);
  std::vector<ColumnInfo> columns(count > 0 ? static_cast<std::size_t>(count) : 0);
  for (SQLSMALLINT i = 0; i < count; ++i) {
    ColumnInfo& info = columns[static_cast<std::size_t>(i)];
    const auto number = static_cast<SQLUSMALLINT>(i + 1);
    SQLSMALLINT nameLength = 0;
    SQLSMALLINT nullable = 0;
    if (statement.textMode() == TextMode::Utf8) {
      std::array<SQLCHAR, 512> name{};
      check(SQLDescribeCol(statement.get(), number, name.data(),
                           static_cast<SQLSMALLINT>(name.size()), &nameLength, &info.sqlType,
                           &info.size, &info.decimalDigits, &nullable),
            statement, "Cannot read the result's columns", secret);
      info.name = validUtf8(reinterpret_cast<const char*>(name.data()));
    } else {
      std::array<SQLWCHAR, 256> name{};
      check(SQLDescribeColW(statement.get(), number, name.data(),
                            static_cast<SQLSMALLINT>(name.size()), &nameLength, &info.sqlType,
                            &info.size, &info.decimalDigits, &nullable),
            statement, "Cannot read the result's columns", secret);
      const std::size_t length =
          std::min<std::size_t>(nameLength < 0 ? 0 : nameLength, name.size() - 1);
      info.name = utf8FromUtf16(unitsOf(name.data(), length));
    }
  }
  return columns;
}

Value readField(const Handle& statement, SQLUSMALLINT column, const ColumnInfo& info,
                std::string_view secret) {
  if (isWholeNumber(info)) {
    return readFixed<SQLBIGINT, SQL_C_SBIGINT>(statement, column, info, secret,
                                               [](SQLBIGINT v) { return Value::integer(v); });
  }
  switch (info.sqlType) {
    case SQL_DECIMAL:
    case SQL_NUMERIC:
      return readDecimal(statement, column, info, secret);
    case SQL_FLOAT:
    case SQL_DOUBLE:
      return readFixed<SQLDOUBLE, SQL_C_DOUBLE>(statement, column, info, secret,
                                                [](SQLDOUBLE v) { return Value::floating(v); });
    case SQL_REAL:
      return readFixed<SQLREAL, SQL_C_FLOAT>(statement, column, info, secret,
                                             [](SQLREAL v) { return Value::single(v); });
    case SQL_GUID:
      return readFixed<SQLGUID, SQL_C_GUID>(
          statement, column, info, secret, [](const SQLGUID& v) { return Value::guid(guidOf(v)); });
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
      return readBinary(statement, column, info, secret);
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIMESTAMP:
    case SQL_DATE:
    case SQL_TIMESTAMP:
      return readFixed<SQL_TIMESTAMP_STRUCT, SQL_C_TYPE_TIMESTAMP>(
          statement, column, info, secret,
          [](const SQL_TIMESTAMP_STRUCT& v) { return Value::date(dateTimeOf(v)); });
    default:
      return readText(statement, column, info, secret);
  }
}

}  // namespace leafward::odbc
