// The machine's calendar as the window and the command-line tool use it: a script's "wait
// until" in local time must land on the right second across both daylight-saving changes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "engine/system_calendar.h"

namespace sorv {
namespace {

class SystemCalendar : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* tz = std::getenv("TZ")) saved_ = tz, hadTz_ = true;
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
    }
    void TearDown() override {
        if (hadTz_) setenv("TZ", saved_.c_str(), 1); else unsetenv("TZ");
        tzset();
    }
    static CalendarTime Local(int year, int month, int day, int hour, int minute) {
        CalendarTime tm{};
        tm.tm_year = year - 1900;
        tm.tm_mon = month - 1;
        tm.tm_mday = day;
        tm.tm_hour = hour;
        tm.tm_min = minute;
        tm.tm_isdst = -1;
        return tm;
    }

private:
    std::string saved_;
    bool hadTz_ = false;
};

TEST_F(SystemCalendar, LocalTimesConvertAcrossBothDaylightSavingChanges) {
    int64_t t = 0;
    // Winter (UTC+1) and summer (UTC+2).
    ASSERT_TRUE(SystemLocalToUtc(Local(2026, 12, 8, 4, 15), t));
    EXPECT_EQ(t, 1796699700);  // 2026-12-08 03:15 UTC
    ASSERT_TRUE(SystemLocalToUtc(Local(2026, 7, 1, 12, 0), t));
    EXPECT_EQ(t, 1782900000);  // 2026-07-01 10:00 UTC
    // 02:30 on 25 October 2026 happens twice: the first, still summer time, is taken.
    ASSERT_TRUE(SystemLocalToUtc(Local(2026, 10, 25, 2, 30), t));
    EXPECT_EQ(t, 1792888200);  // 00:30 UTC
    const CalendarTime back = SystemLocalTime(t);
    EXPECT_EQ(back.tm_hour, 2);
    EXPECT_EQ(back.tm_isdst, 1);
    // 02:30 on 29 March 2026 never happens; it is still given a time, an hour apart from 01:30.
    int64_t before = 0;
    ASSERT_TRUE(SystemLocalToUtc(Local(2026, 3, 29, 1, 30), before));
    ASSERT_TRUE(SystemLocalToUtc(Local(2026, 3, 29, 2, 30), t));
    EXPECT_EQ(t - before, 3600);
}

TEST_F(SystemCalendar, UtcAndLocalBreakDownTheSameSecond) {
    const CalendarTime utc = SystemUtcTime(1796699700);
    EXPECT_EQ(utc.tm_year, 126);
    EXPECT_EQ(utc.tm_mon, 11);
    EXPECT_EQ(utc.tm_mday, 8);
    EXPECT_EQ(utc.tm_hour, 3);
    EXPECT_EQ(utc.tm_min, 15);
    const CalendarTime local = SystemLocalTime(1796699700);
    EXPECT_EQ(local.tm_hour, 4);
    EXPECT_EQ(local.tm_isdst, 0);
}

}  // namespace
}  // namespace sorv
