#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "dataaccess/decimal.h"
#include "dataaccess/value.h"

namespace leafward::sql {

// The value of an expression while a statement runs. Unlike dataaccess::Value it owns no
// text: `text` points into a table value, a literal or a buffer of the expression that made
// it, so evaluating a row allocates nothing.
//
// Single, Currency and Decimal are numbers like Floating (`number` holds their value) that
// remember what they were, so that a selected column prints as stored: a Decimal keeps its
// exact digits in `text` (see decimalOf). Binary and Guid are bytes that only IS NULL,
// DISTINCT and equality understand.
struct Datum {
  using Kind = dataaccess::Value::Kind;  // the kinds of value there are

  Kind kind = Kind::Null;
  std::int64_t integer = 0;  // Integer; YesNo as -1 (true) or 0; Currency in ten-thousandths
  double number = 0;         // Floating, Single, Currency; Date as days since 1899-12-30
  std::string_view text;     // Text; the bytes of Binary and Guid

  static Datum null() { return {}; }
  static Datum yesNo(bool value) { return {Kind::YesNo, value ? -1 : 0, 0, {}}; }
  static Datum ofInteger(std::int64_t value) { return {Kind::Integer, value, 0, {}}; }
  static Datum ofFloating(double value) { return {Kind::Floating, 0, value, {}}; }
  static Datum ofDate(double days) { return {Kind::Date, 0, days, {}}; }
  static Datum ofText(std::string_view value) { return {Kind::Text, 0, 0, value}; }
  static Datum ofSingle(float value) { return {Kind::Single, 0, value, {}}; }
  static Datum ofCurrency(std::int64_t tenThousandths) {
    return {Kind::Currency, tenThousandths, static_cast<double>(tenThousandths) / 10000.0, {}};
  }
  static Datum ofBytes(Kind kind, const std::uint8_t* bytes, std::size_t size) {
    return {kind, 0, 0, {reinterpret_cast<const char*>(bytes), size}};
  }
  // Points at `value`'s members, which must outlive the datum.
  static Datum ofDecimal(const dataaccess::Decimal& value) {
    return ofDecimalBytes({reinterpret_cast<const char*>(&value), kDecimalBytes});
  }
  // `bytes`: kDecimalBytes of a Decimal as laid out in memory, its members without padding.
  static Datum ofDecimalBytes(std::string_view bytes) {
    return {Kind::Decimal, 0, decimalOf(bytes).approximate(), bytes};
  }
  static dataaccess::Decimal decimalOf(std::string_view bytes) {
    dataaccess::Decimal value;
    std::memcpy(static_cast<void*>(&value), bytes.data(), std::min(bytes.size(), kDecimalBytes));
    return value;
  }
  static constexpr std::size_t kDecimalBytes = offsetof(dataaccess::Decimal, negative) + 1;

  bool isNull() const { return kind == Kind::Null; }
  bool isText() const { return kind == Kind::Text; }
  bool isBytes() const { return kind == Kind::Binary || kind == Kind::Guid; }
  // YesNo and Integer hold whole numbers in `integer`.
  bool isWhole() const { return kind == Kind::YesNo || kind == Kind::Integer; }
};

// The outcome of a condition under three-valued logic.
enum class Truth : std::uint8_t { False, True, Unknown };

inline Truth truthOf(bool value) {
  return value ? Truth::True : Truth::False;
}
inline Truth truthNot(Truth a) {
  return a == Truth::Unknown ? a : (a == Truth::True ? Truth::False : Truth::True);
}
inline Truth truthAnd(Truth a, Truth b) {
  if (a == Truth::False || b == Truth::False) return Truth::False;
  return a == Truth::True && b == Truth::True ? Truth::True : Truth::Unknown;
}
inline Truth truthOr(Truth a, Truth b) {
  if (a == Truth::True || b == Truth::True) return Truth::True;
  return a == Truth::False && b == Truth::False ? Truth::False : Truth::Unknown;
}

enum class CompareOp : std::uint8_t { Equal, NotEqual, Less, Greater, LessEqual, GreaterEqual };

}  // namespace leafward::sql
