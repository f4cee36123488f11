#include "record/repair_id.h"

#include <cstdio>
#include <cstdlib>

namespace leafward::record {
namespace {

bool leapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysIn(int year, int month) {
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && leapYear(year) ? 29 : kDays[(month - 1) % 12];
}

// The digits at `at`, or -1 when any is not a digit.
int number(std::string_view text, std::size_t at, std::size_t digits) {
  int value = 0;
  for (std::size_t i = at; i < at + digits; ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar, and back.
std::int64_t daysFromCivil(std::int64_t year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const std::int64_t yearOfEra = year - era * 400;
  const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

void civilFromDays(std::int64_t days, int& year, int& month, int& day) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const std::int64_t dayOfEra = days - era * 146097;
  const std::int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t shifted = (5 * dayOfYear + 2) / 153;
  day = static_cast<int>(dayOfYear - (153 * shifted + 2) / 5 + 1);
  month = static_cast<int>(shifted < 10 ? shifted + 3 : shifted - 9);
  year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

constexpr std::int64_t kMillisecondsPerDay = 86'400'000;

}  // namespace

std::int64_t instantOf(std::string_view id) {
  const std::int64_t days = daysFromCivil(number(id, 0, 4), number(id, 5, 2), number(id, 8, 2));
  const std::int64_t local = days * kMillisecondsPerDay + number(id, 11, 2) * 3'600'000LL +
                             number(id, 14, 2) * 60'000LL + number(id, 17, 2) * 1'000LL +
                             number(id, 20, 3);
  const std::int64_t offset = (number(id, 24, 2) * 60 + number(id, 27, 2)) * 60'000LL;
  return id[23] == '-' ? local + offset : local - offset;
}

platform::LocalTime localTimeAt(std::int64_t instant, int utcOffsetMinutes) {
  const std::int64_t local = instant + std::int64_t{utcOffsetMinutes} * 60'000;
  std::int64_t days = local / kMillisecondsPerDay;
  std::int64_t within = local % kMillisecondsPerDay;
  if (within < 0) {
    within += kMillisecondsPerDay;
    --days;
  }
  platform::LocalTime time;
  civilFromDays(days, time.year, time.month, time.day);
  time.hour = static_cast<int>(within / 3'600'000);
  time.minute = static_cast<int>(within / 60'000 % 60);
  time.second = static_cast<int>(within / 1'000 % 60);
  time.millisecond = static_cast<int>(within % 1'000);
  time.utcOffsetMinutes = utcOffsetMinutes;
  return time;
}

std::string repairId(const platform::LocalTime& time) {
  const int offset = std::abs(time.utcOffsetMinutes);
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d", time.year,
                time.month, time.day, time.hour, time.minute, time.second, time.millisecond,
                time.utcOffsetMinutes < 0 ? '-' : '+', offset / 60, offset % 60);
  return text;
}

bool isRepairId(std::string_view text) {
  // 2025-03-14T09:26:53.589+08:00
  constexpr std::string_view kShape = "dddd-dd-ddTdd:dd:dd.ddd+dd:dd";
  if (text.size() != kShape.size()) return false;
  for (std::size_t i = 0; i < kShape.size(); ++i) {
    const char want = kShape[i];
    if (want == 'd' && (text[i] < '0' || text[i] > '9')) return false;
    if (want == '+' && text[i] != '+' && text[i] != '-') return false;
    if (want != 'd' && want != '+' && text[i] != want) return false;
  }
  const int year = number(text, 0, 4), month = number(text, 5, 2), day = number(text, 8, 2);
  return year >= 1 && month >= 1 && month <= 12 && day >= 1 && day <= daysIn(year, month) &&
         number(text, 11, 2) < 24 && number(text, 14, 2) < 60 && number(text, 17, 2) < 61 &&
         number(text, 24, 2) < 24 && number(text, 27, 2) < 60;
}

std::string displayTime(std::string_view id) {
  if (!isRepairId(id)) return std::string(id);
  return std::string(id.substr(0, 10)) + " " + std::string(id.substr(11, 8));
}

platform::LocalTime oneMillisecondLater(platform::LocalTime time) {
  if (++time.millisecond < 1000) return time;
  time.millisecond = 0;
  if (++time.second < 60) return time;
  time.second = 0;
  if (++time.minute < 60) return time;
  time.minute = 0;
  if (++time.hour < 24) return time;
  time.hour = 0;
  if (++time.day <= daysIn(time.year, time.month)) return time;
  time.day = 1;
  if (++time.month <= 12) return time;
  time.month = 1;
  ++time.year;
  return time;
}

}  // namespace leafward::record
