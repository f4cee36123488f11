#include "platform/local_time.h"

#include <windows.h>

#include <cstdint>

namespace leafward::platform {
namespace {

std::int64_t ticksOf(const SYSTEMTIME& time) {
  FILETIME file{};
  SystemTimeToFileTime(&time, &file);
  return (static_cast<std::int64_t>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
}

}  // namespace

LocalTime localTimeNow() {
  SYSTEMTIME utc{};
  GetSystemTime(&utc);
  SYSTEMTIME local = utc;
  // The zone's rules for this very moment, daylight saving time included.
  SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local);
  constexpr std::int64_t kTicksPerMinute = 600'000'000;  // of 100 ns
  LocalTime time;
  time.year = local.wYear;
  time.month = local.wMonth;
  time.day = local.wDay;
  time.hour = local.wHour;
  time.minute = local.wMinute;
  time.second = local.wSecond;
  time.millisecond = local.wMilliseconds;
  time.utcOffsetMinutes = static_cast<int>((ticksOf(local) - ticksOf(utc)) / kTicksPerMinute);
  return time;
}

}  // namespace leafward::platform
