#include "dataaccess/sql/value_ops.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "dataaccess/sql/engine.h"
#include "dataaccess/sql/text_fold.h"

namespace leafward::sql {
namespace {

using Kind = Datum::Kind;

[[noreturn]] void notANumber(std::string_view text) {
  constexpr std::size_t kShown = 40;
  std::string shown(text.substr(0, kShown));
  if (text.size() > kShown) shown += "...";
  throw SqlError("Data type mismatch: '" + shown + "' is not a number");
}

[[noreturn]] void notUsable(const Datum& value) {
  throw SqlError(value.kind == Kind::Guid
                     ? "Data type mismatch: a GUID can only be tested with IS NULL or compared "
                       "with another GUID"
                     : "Data type mismatch: binary data can only be tested with IS NULL or "
                       "compared with other binary data");
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// A text that holds a decimal number, with blanks around it allowed.
std::optional<Datum> numberFromText(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  std::size_t i = 0;
  std::size_t digits = 0;
  while (i < text.size() && isDigit(text[i])) ++i, ++digits;
  bool whole = true;
  if (i < text.size() && text[i] == '.') {
    whole = false;
    ++i;
    while (i < text.size() && isDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    whole = false;
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    const std::size_t exponentStart = i;
    while (i < text.size() && isDigit(text[i])) ++i;
    if (i == exponentStart) return std::nullopt;
  }
  if (i != text.size()) return std::nullopt;

  const char* begin = text.data();
  const char* end = begin + text.size();
  if (whole) {
    std::uint64_t magnitude = 0;
    if (std::from_chars(begin, end, magnitude).ec == std::errc() &&
        magnitude <= static_cast<std::uint64_t>(INT64_MAX)) {
      const auto value = static_cast<std::int64_t>(magnitude);
      return Datum::ofInteger(negative ? -value : value);
    }
  }
  const double value = std::strtod(std::string(text).c_str(), nullptr);
  return Datum::ofFloating(negative ? -value : value);
}

Datum numericOf(const Datum& value) {
  if (value.isBytes()) notUsable(value);
  if (!value.isText()) return value;
  if (auto number = numberFromText(value.text)) return *number;
  notANumber(value.text);
}

double toDouble(const Datum& number) {
  return number.isWhole() ? static_cast<double>(number.integer) : number.number;
}

int compareNumbers(const Datum& x, const Datum& y) {
  if (x.isWhole() && y.isWhole()) return (x.integer > y.integer) - (x.integer < y.integer);
  const double a = toDouble(x);
  const double b = toDouble(y);
  return (a > b) - (a < b);
}

Datum combine(const Datum& x, const Datum& y, bool subtracting) {
  const bool xDate = x.kind == Kind::Date;
  const bool yDate = y.kind == Kind::Date;
  if (x.isWhole() && y.isWhole()) {
    std::int64_t result = 0;
    const bool overflow = subtracting ? __builtin_sub_overflow(x.integer, y.integer, &result)
                                      : __builtin_add_overflow(x.integer, y.integer, &result);
    if (!overflow) return Datum::ofInteger(result);
  }
  const double result = subtracting ? toDouble(x) - toDouble(y) : toDouble(x) + toDouble(y);
  // A date moved by a number of days stays a date; the distance between two dates is a number.
  if (xDate != yDate || (xDate && !subtracting)) return Datum::ofDate(result);
  return Datum::ofFloating(result);
}

std::uint64_t mix(std::uint64_t x) {  // splitmix64's finaliser
  x ^= x >> 30;
  x *= 0xbf58476d1ce4e5b9ull;
  x ^= x >> 27;
  x *= 0x94d049bb133111ebull;
  return x ^ (x >> 31);
}

int rank(const Datum& value) {
  switch (value.kind) {
    case Kind::Null:
      return 0;
    case Kind::Text:
      return 2;
    case Kind::Binary:
      return 3;
    case Kind::Guid:
      return 4;
    default:
      return 1;
  }
}

std::uint64_t hashBytes(std::string_view bytes) {  // FNV-1a
  std::uint64_t hash = 0xcbf29ce484222325ull;
  for (char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
  return hash;
}

}  // namespace

Value toValue(const Datum& datum) {
  switch (datum.kind) {
    case Kind::Null:
      return Value();
    case Kind::YesNo:
      return Value::yesNo(datum.integer != 0);
    case Kind::Integer:
      return Value::integer(datum.integer);
    case Kind::Floating:
      return Value::floating(datum.number);
    case Kind::Text:
      return Value::text(std::string(datum.text));
    case Kind::Date:
      return Value::date({datum.number});
    case Kind::Single:
      return Value::single(static_cast<float>(datum.number));
    case Kind::Currency:
      return Value::currency({datum.integer});
    case Kind::Binary: {
      const auto* bytes = reinterpret_cast<const std::uint8_t*>(datum.text.data());
      return Value::binary({bytes, bytes + datum.text.size()});
    }
    case Kind::Guid: {
      dataaccess::Guid guid;
      std::memcpy(guid.bytes.data(), datum.text.data(),
                  std::min(guid.bytes.size(), datum.text.size()));
      return Value::guid(guid);
    }
    case Kind::Decimal:
      return Value::decimal(Datum::decimalOf(datum.text));
  }
  return Value();
}

Truth conditionOfNonWhole(const Datum& value) {
  if (value.isNull()) return Truth::Unknown;
  const Datum number = numericOf(value);
  return truthOf(number.isWhole() ? number.integer != 0 : number.number != 0);
}

Truth compare(const Datum& a, CompareOp op, const Datum& b) {
  if (a.isNull() || b.isNull()) return Truth::Unknown;
  if (a.isBytes() || b.isBytes()) {
    const bool equality = op == CompareOp::Equal || op == CompareOp::NotEqual;
    if (a.kind != b.kind || !equality) notUsable(a.isBytes() ? a : b);
    return truthOf((a.text == b.text) == (op == CompareOp::Equal));
  }
  const int order = a.isText() && b.isText() ? compareFolded(a.text, b.text)
                                             : compareNumbers(numericOf(a), numericOf(b));
  switch (op) {
    case CompareOp::Equal:
      return truthOf(order == 0);
    case CompareOp::NotEqual:
      return truthOf(order != 0);
    case CompareOp::Less:
      return truthOf(order < 0);
    case CompareOp::Greater:
      return truthOf(order > 0);
    case CompareOp::LessEqual:
      return truthOf(order <= 0);
    case CompareOp::GreaterEqual:
      return truthOf(order >= 0);
  }
  return Truth::Unknown;
}

Datum add(const Datum& a, const Datum& b, std::string& buffer) {
  if (a.isNull() || b.isNull()) return Datum::null();
  if (a.isText() && b.isText()) {
    buffer.assign(a.text);
    buffer.append(b.text);
    return Datum::ofText(buffer);
  }
  return combine(numericOf(a), numericOf(b), false);
}

Datum subtract(const Datum& a, const Datum& b) {
  if (a.isNull() || b.isNull()) return Datum::null();
  return combine(numericOf(a), numericOf(b), true);
}

Datum negate(const Datum& a) {
  if (a.isNull()) return a;
  const Datum x = numericOf(a);
  if (x.isWhole() && x.integer != INT64_MIN) return Datum::ofInteger(-x.integer);
  if (x.kind == Kind::Date) return Datum::ofDate(-x.number);
  return Datum::ofFloating(-toDouble(x));
}

std::string_view textOf(const Datum& value, std::string& buffer) {
  switch (value.kind) {
    case Kind::Null:
      return {};
    case Kind::Text:
      return value.text;
    case Kind::YesNo:
    case Kind::Integer:
      buffer = std::to_string(value.integer);
      return buffer;
    case Kind::Floating:
    case Kind::Date:
    case Kind::Single:
    case Kind::Currency:
    case Kind::Decimal:
      buffer = toValue(value).toText();
      return buffer;
    case Kind::Binary:
    case Kind::Guid:
      notUsable(value);
  }
  return {};
}

Datum lengthOf(const Datum& value, std::string& buffer) {
  if (value.isNull()) return Datum::null();
  return Datum::ofInteger(static_cast<std::int64_t>(characterCount(textOf(value, buffer))));
}

int collate(const Datum& a, const Datum& b) {
  const int ra = rank(a);
  const int rb = rank(b);
  if (ra != rb) return ra < rb ? -1 : 1;
  if (ra == 0) return 0;
  if (ra == 2) return compareFolded(a.text, b.text);
  if (ra > 2) {
    const int order = a.text.compare(b.text);
    return (order > 0) - (order < 0);
  }
  return compareNumbers(a, b);
}

std::uint64_t collationHash(const Datum& value) {
  switch (rank(value)) {
    case 0:
      return 0x5bd1e995ull;
    case 2:
      return mix(hashFolded(value.text));
    case 3:
    case 4:
      return mix(hashBytes(value.text) + static_cast<std::uint64_t>(value.kind));
    default:
      break;
  }
  if (value.isWhole()) return mix(static_cast<std::uint64_t>(value.integer));
  const double number = value.number;
  // Whole doubles hash like the equal integers; 0.0 and -0.0 alike.
  if (number >= -9.2e18 && number <= 9.2e18 && number == std::trunc(number)) {
    return mix(static_cast<std::uint64_t>(static_cast<std::int64_t>(number)));
  }
  std::uint64_t bits = 0;
  std::memcpy(&bits, &number, sizeof bits);
  return mix(bits ^ 0x9e3779b97f4a7c15ull);
}

Value convertForColumn(const Datum& value, const ColumnInfo& column) {
  const std::string& name = column.name;
  if (value.isNull()) {
    if (column.type == ColumnType::YesNo) {
      throw SqlError("The Yes/No column [" + name + "] cannot be set to NULL");
    }
    if (column.type != ColumnType::Other) return Value();
  }
  switch (column.type) {
    case ColumnType::YesNo: {
      const Datum number = numericOf(value);
      return Value::yesNo(number.isWhole() ? number.integer != 0 : number.number != 0);
    }
    case ColumnType::Integer: {
      const Datum number = numericOf(value);
      if (number.isWhole()) return Value::integer(number.integer);
      const double rounded = std::nearbyint(number.number);  // halves to even, as Jet does
      if (!(rounded >= -9.2e18 && rounded <= 9.2e18)) {
        throw SqlError("The value is too large for the column [" + name + "]");
      }
      return Value::integer(static_cast<std::int64_t>(rounded));
    }
    case ColumnType::Floating:
      return Value::floating(toDouble(numericOf(value)));
    case ColumnType::Date: {
      if (value.isText()) notANumber(value.text);
      return Value::date({toDouble(value)});
    }
    case ColumnType::Text: {
      std::string buffer;
      return Value::text(std::string(textOf(value, buffer)));
    }
    case ColumnType::Binary:
    case ColumnType::Guid:
    case ColumnType::Other:
      break;
  }
  throw SqlError("The column [" + name + "] cannot be updated");
}

}  // namespace leafward::sql
