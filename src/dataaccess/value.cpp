#include "dataaccess/value.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace leafward::dataaccess {
namespace {

// Below this magnitude numbers print with an exponent; 2^63 and above as well, so that every
// whole number of the 64-bit range prints in full.
constexpr double kSmallestPositional = 1e-5;
constexpr double kPositionalLimit = 9223372036854775808.0;

// The shortest text that reads back as the same value of its own type (double or float);
// where several are as short, the closest, so a whole number prints as exactly that number.
template <typename Number>
std::string numberText(Number value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
  if (value == 0) return "0";  // -0 as well
  const double magnitude = std::fabs(static_cast<double>(value));
  const auto format = magnitude >= kSmallestPositional && magnitude < kPositionalLimit
                          ? std::chars_format::fixed
                          : std::chars_format::scientific;
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, format);
  return std::string(buffer, result.ptr);
}

std::string currencyText(Currency value) {
  const bool negative = value.tenThousandths < 0;
  const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(value.tenThousandths)
                                           : static_cast<std::uint64_t>(value.tenThousandths);
  std::string text = negative ? "-" : "";
  text += std::to_string(magnitude / 10000);
  std::uint64_t fraction = magnitude % 10000;
  if (fraction == 0) return text;
  int digits = 4;
  while (fraction % 10 == 0) fraction /= 10, --digits;
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, ".%0*u", digits, static_cast<unsigned>(fraction));
  return text + buffer;
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

void appendHex(std::string& out, std::uint8_t byte) {
  out += kHexDigits[byte >> 4];
  out += kHexDigits[byte & 0x0F];
}

std::string binaryText(const std::vector<std::uint8_t>& bytes) {
  std::string text;
  text.reserve(bytes.size() * 2);
  for (std::uint8_t byte : bytes) appendHex(text, byte);
  return text;
}

// The way Windows prints a GUID: the first three groups are little-endian numbers.
std::string guidText(const Guid& value) {
  // Byte positions in printed order; -1 is a hyphen.
  static constexpr int kOrder[] = {3,  2, 1, 0,  -1, 5,  4,  -1, 7,  6,
                                   -1, 8, 9, -1, 10, 11, 12, 13, 14, 15};
  std::string text = "{";
  for (int index : kOrder) {
    if (index < 0) {
      text += '-';
    } else {
      appendHex(text, value.bytes[static_cast<std::size_t>(index)]);
    }
  }
  return text + "}";
}

// Days since 1899-12-30 to a civil date (proleptic Gregorian), after H. Hinnant's algorithm.
void civilFromDays(long long z, int& year, unsigned& month, unsigned& day) {
  z += 719468 - 25569;  // from days since 1899-12-30 to days since 0000-03-01
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long y = static_cast<long long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = doy - (153 * mp + 2) / 5 + 1;
  month = mp < 10 ? mp + 3 : mp - 9;
  year = static_cast<int>(y + (month <= 2));
}

std::string dateText(DateTime value) {
  if (!std::isfinite(value.days) || std::fabs(value.days) > 3e6) return numberText(value.days);
  // Jet counts negative dates as whole days back plus a positive time of day.
  double whole = std::trunc(value.days);
  double fraction = std::fabs(value.days - whole);
  long long seconds = std::llround(fraction * 86400.0);
  if (seconds >= 86400) {
    seconds -= 86400;
    whole += value.days < 0 ? -1 : 1;
  }
  int year = 0;
  unsigned month = 0, day = 0;
  civilFromDays(static_cast<long long>(whole), year, month, day);
  char buffer[64];
  if (seconds == 0) {
    std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02u", year, month, day);
  } else {
    std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02u %02lld:%02lld:%02lld", year, month, day,
                  seconds / 3600, seconds / 60 % 60, seconds % 60);
  }
  return buffer;
}

}  // namespace

std::optional<double> Value::fractionalNumber() const {
  switch (kind()) {
    case Kind::Floating:
      return asFloating();
    case Kind::Single:
      return asSingle();
    case Kind::Currency:
      return static_cast<double>(asCurrency().tenThousandths) / 10000.0;
    case Kind::Decimal:
      return asDecimal().approximate();
    default:
      return std::nullopt;
  }
}

std::string Value::toText() const {
  switch (kind()) {
    case Kind::Null:
      return {};
    case Kind::YesNo:
      return asYesNo() ? "-1" : "0";
    case Kind::Integer:
      return std::to_string(asInteger());
    case Kind::Floating:
      return numberText(asFloating());
    case Kind::Text:
      return asText();
    case Kind::Date:
      return dateText(asDate());
    case Kind::Single:
      return numberText(asSingle());
    case Kind::Currency:
      return currencyText(asCurrency());
    case Kind::Binary:
      return binaryText(asBinary());
    case Kind::Guid:
      return guidText(asGuid());
    case Kind::Decimal:
      return asDecimal().toText();
  }
  return {};
}

}  // namespace leafward::dataaccess
