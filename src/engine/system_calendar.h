// The machine's own calendar, for the platform layers that run on the real clock (the window
// and the command-line tool): UTC and local broken-down times, and local clock times back to
// seconds with daylight saving settled.
#pragma once

#include <cstdint>

#include "engine/platform_services.h"

namespace sorv {

CalendarTime SystemUtcTime(int64_t t);
CalendarTime SystemLocalTime(int64_t t);
// A local clock time to seconds since the epoch. In the repeated hour of autumn the first
// occurrence (still daylight saving) is taken; a time that the spring change skips is read
// as the system reads it. False only when the system cannot convert it at all.
bool SystemLocalToUtc(const CalendarTime& local, int64_t& out);

}  // namespace sorv
