// What recorders write about a recording beside its samples, in chunks of the WAV file:
//
// - `auxi`, written by common SDR programs: the start and stop time as two Windows SYSTEMTIME
//   records (eight 16-bit fields: year, month, day of week, day, hour, minute, second,
//   millisecond), then 32-bit fields of which the first is the receiver's centre frequency in
//   Hz and the second the converter's sample rate. The times are read as UTC.
// - `bext`, the broadcast-wave extension: description (256 bytes), originator (32),
//   originator reference (32), then the origination date "yyyy-mm-dd" (10) and time
//   "hh:mm:ss" (8). The standard names no time zone; recorders write their local clock.
//
// Both are checked as strictly as anything else a stranger sends: a chunk too short for its
// fields, a date that does not exist or a centre that no receiver tunes to is refused with
// the reason, never half believed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sorv {

// A calendar date and clock time as written in a file, not yet placed in any zone.
struct CivilTime {
    int year = 0, month = 0, day = 0;        // month 1..12
    int hour = 0, minute = 0, second = 0;    // 0..23, 0..59, 0..59
    int millisecond = 0;
};

// A real date (leap years included) and clock time, in the years a recording can be from.
bool IsPlausibleCivilTime(const CivilTime& t);
// Seconds since 1970 of the fields read as UTC (proleptic Gregorian; any fields).
int64_t CivilToUtcSeconds(const CivilTime& t);
// "2024-12-06 21:15:30"
std::string FormatCivilTime(const CivilTime& t);

// The centre frequencies a receiver can be tuned to, here and for --centre-khz.
constexpr double kMinCentreHz = 1000.0;
constexpr double kMaxCentreHz = 4.0e9;

struct AuxiInfo {
    CivilTime start, stop;
    uint32_t centreHz = 0;
    uint32_t converterRate = 0;  // the A/D rate before any decimation; 0 when not written
};

// Empty when the chunk holds a start time and a centre that can be believed; otherwise why
// not ("its start time 2023-02-30 12:00:00 is not a date", "its centre frequency is 0 Hz").
// declaredSize is the size the chunk header claims, presentSize what the file holds of it,
// body its first bytes (at least the fields above when the file holds them).
std::string ParseAuxiChunk(const std::vector<uint8_t>& body, uint64_t declaredSize, uint64_t presentSize,
                           AuxiInfo& out);

struct BextInfo {
    CivilTime origination;  // local time of the recorder
};

// Empty when the chunk holds a real origination date and time; otherwise why not.
std::string ParseBextChunk(const std::vector<uint8_t>& body, BextInfo& out);

}  // namespace sorv
