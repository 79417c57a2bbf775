#include "audio/file/wav_metadata.h"

#include <cctype>

#include "engine/text_format.h"

namespace sorv {

namespace {

constexpr size_t kAuxiNeeded = 36;       // two SYSTEMTIMEs and the centre frequency
constexpr size_t kBextDateOffset = 320;  // after description, originator and its reference
constexpr size_t kBextNeeded = kBextDateOffset + 18;

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

bool LeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && LeapYear(y) ? 29 : kDays[m - 1];
}

CivilTime SystemTimeAt(const uint8_t* p) {
    CivilTime t;
    t.year = Le16(p);
    t.month = Le16(p + 2);
    // p + 4 is the day of the week, which nothing needs and many writers leave at 0.
    t.day = Le16(p + 6);
    t.hour = Le16(p + 8);
    t.minute = Le16(p + 10);
    t.second = Le16(p + 12);
    t.millisecond = Le16(p + 14);
    return t;
}

// n decimal digits at p; false if any is not a digit.
bool Digits(const uint8_t* p, int n, int& value) {
    value = 0;
    for (int i = 0; i < n; ++i) {
        if (!std::isdigit(p[i])) return false;
        value = value * 10 + (p[i] - '0');
    }
    return true;
}

}  // namespace

bool IsPlausibleCivilTime(const CivilTime& t) {
    if (t.year < 1980 || t.year > 2200 || t.month < 1 || t.month > 12) return false;
    if (t.day < 1 || t.day > DaysInMonth(t.year, t.month)) return false;
    return t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60 && t.second >= 0 && t.second < 60 &&
           t.millisecond >= 0 && t.millisecond < 1000;
}

int64_t CivilToUtcSeconds(const CivilTime& t) {
    // Days from 1970-01-01 of a proleptic Gregorian date, counted in 400-year eras.
    const int64_t y = static_cast<int64_t>(t.year) - (t.month <= 2 ? 1 : 0);
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t mp = (t.month + 9) % 12;
    const int64_t doy = (153 * mp + 2) / 5 + t.day - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const int64_t days = era * 146097 + doe - 719468;
    return days * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

std::string FormatCivilTime(const CivilTime& t) {
    return FormatC("%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
}

std::string ParseAuxiChunk(const std::vector<uint8_t>& body, uint64_t declaredSize, uint64_t presentSize,
                           AuxiInfo& out) {
    if (declaredSize < kAuxiNeeded)
        return FormatC("the auxi chunk is %llu bytes long, too short for its start time and centre frequency",
                       static_cast<unsigned long long>(declaredSize));
    if (presentSize < declaredSize || body.size() < kAuxiNeeded)
        return "the auxi chunk's size runs past the end of the file";
    out = {};
    out.start = SystemTimeAt(body.data());
    out.stop = SystemTimeAt(body.data() + 16);
    out.centreHz = Le32(body.data() + 32);
    if (body.size() >= 40) out.converterRate = Le32(body.data() + 36);
    if (!IsPlausibleCivilTime(out.start))
        return "the auxi chunk's start time " + FormatCivilTime(out.start) + " is not a date and time";
    if (out.centreHz < kMinCentreHz || out.centreHz > kMaxCentreHz)
        return FormatC("the auxi chunk's centre frequency of %u Hz is not one a receiver tunes to", out.centreHz);
    return {};
}

std::string ParseBextChunk(const std::vector<uint8_t>& body, BextInfo& out) {
    if (body.size() < kBextNeeded) return "the bext chunk is too short for its origination date and time";
    const uint8_t* d = body.data() + kBextDateOffset;
    const uint8_t* t = d + 10;
    CivilTime c;
    // "yyyy-mm-dd" and "hh:mm:ss"; the standard allows any one separator character.
    if (!Digits(d, 4, c.year) || !Digits(d + 5, 2, c.month) || !Digits(d + 8, 2, c.day) || !Digits(t, 2, c.hour) ||
        !Digits(t + 3, 2, c.minute) || !Digits(t + 6, 2, c.second))
        return "the bext chunk has no origination date and time";
    if (!IsPlausibleCivilTime(c))
        return "the bext chunk's origination time " + FormatCivilTime(c) + " is not a date and time";
    out.origination = c;
    return {};
}

}  // namespace sorv
