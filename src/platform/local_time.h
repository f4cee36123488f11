#pragma once

namespace leafward::platform {

// A moment on this computer's clock, in its time zone as it stands then.
struct LocalTime {
  int year = 0, month = 0, day = 0;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
  int utcOffsetMinutes = 0;  // local time minus UTC: +480 in China
};

LocalTime localTimeNow();

}  // namespace leafward::platform
