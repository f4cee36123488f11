#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "dataaccess/sql/datum.h"
#include "dataaccess/sql/table_source.h"

namespace leafward::sql {

// Operations on values with Jet's meaning. They throw SqlError ("Data type mismatch") where
// Jet refuses the operands. A NULL operand makes the result NULL (Unknown for conditions).
// Binary data and GUIDs take part only in equality with their own kind and in DISTINCT; any
// other use of them is refused.

// The datum points into `value`. Inline, as conditionOf, because every row goes through it.
inline Datum viewOf(const Value& value) {
  switch (value.kind()) {
    case Value::Kind::Null:
      return Datum::null();
    case Value::Kind::YesNo:
      return Datum::yesNo(value.asYesNo());
    case Value::Kind::Integer:
      return Datum::ofInteger(value.asInteger());
    case Value::Kind::Floating:
      return Datum::ofFloating(value.asFloating());
    case Value::Kind::Text:
      return Datum::ofText(value.asText());
    case Value::Kind::Date:
      return Datum::ofDate(value.asDate().days);
    case Value::Kind::Single:
      return Datum::ofSingle(value.asSingle());
    case Value::Kind::Currency:
      return Datum::ofCurrency(value.asCurrency().tenThousandths);
    case Value::Kind::Binary:
      return Datum::ofBytes(Datum::Kind::Binary, value.asBinary().data(), value.asBinary().size());
    case Value::Kind::Guid:
      return Datum::ofBytes(Datum::Kind::Guid, value.asGuid().bytes.data(), 16);
    case Value::Kind::Decimal:
      return Datum::ofDecimal(value.asDecimal());
  }
  return Datum::null();
}
Value toValue(const Datum& datum);

// A value used as a condition: a number is true when it is not zero (a Yes/No value is -1 or
// 0), a text must hold a number.
Truth conditionOfNonWhole(const Datum& value);  // for all but Yes/No and Integer values
inline Truth conditionOf(const Datum& value) {
  return value.isWhole() ? truthOf(value.integer != 0) : conditionOfNonWhole(value);
}

// Two texts compare by their folded characters; two binary values or two GUIDs by their bytes,
// for = and <> only; anything else compares as numbers, a text being converted when it holds
// a number.
Truth compare(const Datum& a, CompareOp op, const Datum& b);

// `+` joins two texts (the result is written into `buffer`) and adds numbers; a text beside a
// number must hold a number. A date plus a number is a date.
Datum add(const Datum& a, const Datum& b, std::string& buffer);
Datum subtract(const Datum& a, const Datum& b);
Datum negate(const Datum& a);

// The value as text (numbers in their printed form, written into `buffer`); binary data and
// GUIDs have none.
std::string_view textOf(const Datum& value, std::string& buffer);
// len(): the number of characters of the value's text, NULL for NULL.
Datum lengthOf(const Datum& value, std::string& buffer);

// The total order of DISTINCT: NULL first, then numbers, then texts by their folded characters,
// then binary data and then GUIDs, each by their bytes.
int collate(const Datum& a, const Datum& b);
// A hash that agrees with collate(a, b) == 0.
std::uint64_t collationHash(const Datum& value);

// The value that a column of this type would store; throws SqlError when it cannot hold it.
Value convertForColumn(const Datum& value, const ColumnInfo& column);

}  // namespace leafward::sql
