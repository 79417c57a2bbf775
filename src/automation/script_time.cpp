#include "automation/script_time.h"

#include <chrono>

#include "automation/scan_fields.h"

namespace sorv {

namespace {

bool TimeOfDayInRange(int hour, int minute, int second) {
    return hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59 && second >= 0 && second <= 59;
}

// The local calendar day after the given one (month and year ends included).
void NextDay(CalendarTime& local) {
    using namespace std::chrono;
    const year_month_day today{year{local.tm_year + 1900}, month{static_cast<unsigned>(local.tm_mon + 1)},
                               day{static_cast<unsigned>(local.tm_mday)}};
    const year_month_day next{sys_days{today} + days{1}};
    local.tm_year = static_cast<int>(next.year()) - 1900;
    local.tm_mon = static_cast<int>(static_cast<unsigned>(next.month())) - 1;
    local.tm_mday = static_cast<int>(static_cast<unsigned>(next.day()));
}

CalendarTime LocalFields(int year, int month, int day, int hour, int minute, int second) {
    CalendarTime t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return t;
}

}  // namespace

DeadlineStatus DeadlineAfter(IPlatformServices& platform, const std::string& argument, int64_t& deadline) {
    int f[3];
    if (ScanIntFields(argument.c_str(), "d:d:d", f) != 3) return DeadlineStatus::NotRead;
    deadline = platform.NowUtc() + int64_t{f[0]} * 3600 + int64_t{f[1]} * 60 + int64_t{f[2]};
    return DeadlineStatus::Ok;
}

DeadlineStatus DeadlineAt(IPlatformServices& platform, const std::string& argument, int64_t& deadline) {
    int f[6];
    if (ScanIntFields(argument.c_str(), "d-d-d d:d:d", f) == 6) {
        if (f[0] < 1900 || f[1] < 1 || f[1] > 12 || f[2] < 1 || f[2] > 31 || !TimeOfDayInRange(f[3], f[4], f[5]))
            return DeadlineStatus::OutOfRange;
        const CalendarTime local = LocalFields(f[0], f[1], f[2], f[3], f[4], f[5]);
        return platform.LocalToUtc(local, deadline) ? DeadlineStatus::Ok : DeadlineStatus::Unconvertible;
    }
    if (ScanIntFields(argument.c_str(), "d:d:d", f) != 3) return DeadlineStatus::NotRead;
    if (!TimeOfDayInRange(f[0], f[1], f[2])) return DeadlineStatus::OutOfRange;

    const int64_t now = platform.NowUtc();
    const CalendarTime today = platform.ToLocal(now);
    CalendarTime local = LocalFields(today.tm_year + 1900, today.tm_mon + 1, today.tm_mday, f[0], f[1], f[2]);
    int64_t at = 0;
    if (!platform.LocalToUtc(local, at)) return DeadlineStatus::Unconvertible;
    if (at < now) {
        NextDay(local);
        if (!platform.LocalToUtc(local, at)) return DeadlineStatus::Unconvertible;
    }
    deadline = at;
    return DeadlineStatus::Ok;
}

}  // namespace sorv
