#include "dataaccess/value.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace leafward::dataaccess {
namespace {

std::string floatingText(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
  // The shortest text that reads back as the same double.
  char buffer[64];
  for (int precision = 1; precision <= 17; ++precision) {
    std::snprintf(buffer, sizeof buffer, "%.*g", precision, value);
    if (std::strtod(buffer, nullptr) == value) break;
  }
  return buffer;
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
  if (!std::isfinite(value.days) || std::fabs(value.days) > 3e6) return floatingText(value.days);
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

std::string Value::toText() const {
  switch (kind()) {
    case Kind::Null:
      return {};
    case Kind::YesNo:
      return asYesNo() ? "-1" : "0";
    case Kind::Integer:
      return std::to_string(asInteger());
    case Kind::Floating:
      return floatingText(asFloating());
    case Kind::Text:
      return asText();
    case Kind::Date:
      return dateText(asDate());
  }
  return {};
}

}  // namespace leafward::dataaccess
