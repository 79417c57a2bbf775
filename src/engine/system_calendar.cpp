#include "engine/system_calendar.h"

#include <ctime>

namespace sorv {

CalendarTime SystemUtcTime(int64_t t) {
    const time_t tt = static_cast<time_t>(t);
    CalendarTime tm{};
    gmtime_r(&tt, &tm);
    return tm;
}

CalendarTime SystemLocalTime(int64_t t) {
    const time_t tt = static_cast<time_t>(t);
    CalendarTime tm{};
    localtime_r(&tt, &tm);
    return tm;
}

bool SystemLocalToUtc(const CalendarTime& local, int64_t& out) {
    // The daylight-saving reading first, so that a repeated autumn hour takes its first
    // occurrence; accepted only if it converts back to the same clock time.
    for (int isdst : {1, 0, -1}) {
        CalendarTime copy = local;
        copy.tm_isdst = isdst;
        const time_t t = mktime(&copy);
        if (t == static_cast<time_t>(-1)) continue;
        CalendarTime back{};
        localtime_r(&t, &back);
        if (isdst == -1 || (back.tm_hour == local.tm_hour && back.tm_min == local.tm_min &&
                            back.tm_mday == local.tm_mday && back.tm_isdst == isdst)) {
            out = static_cast<int64_t>(t);
            return true;
        }
    }
    return false;
}

}  // namespace sorv
