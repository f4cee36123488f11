#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/local_time.h"

namespace leafward::record {

// A repair's id is the local time it began, with the UTC offset, to the millisecond:
// "2025-03-14T09:26:53.589+08:00" (ISO 8601).
std::string repairId(const platform::LocalTime& time);

// Whether the text has that form, with a real date and time.
bool isRepairId(std::string_view text);

// The id as a person reads a time: "2025-03-14 09:26:53".
std::string displayTime(std::string_view id);

// The same moment one millisecond on, for two repairs begun within one millisecond.
platform::LocalTime oneMillisecondLater(platform::LocalTime time);

// The moment an id names, in milliseconds since 1970-01-01 UTC; the id must be one.
std::int64_t instantOf(std::string_view id);

// The local time, at `utcOffsetMinutes`, of a moment in milliseconds since 1970-01-01 UTC.
platform::LocalTime localTimeAt(std::int64_t instant, int utcOffsetMinutes);

}  // namespace leafward::record
