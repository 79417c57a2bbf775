// When a recording began, so that an identification made in it is logged at the time the
// beacon was heard, not at the time of the analysis. The evidence, best first:
//
// 1. an `auxi` chunk (SDR programs; UTC) or a `bext` chunk (broadcast wave; local time);
// 2. the program's own recording name, "MMDDhhmmss.wav" or "MMDDhhmmss_404000hz.wav": local
//    time without a year, so the year is the latest that puts the start not after the file's
//    modification time; the "_NNNNNNhz" part is the receiver's carrier in Hz;
// 3. a "YYYYMMDD_hhmmss" anywhere in the name (also with "-" or "T" between), UTC when a "Z"
//    follows it as SDR programs write it, local time otherwise;
// 4. the file's modification time less the recording's duration (a recorder closes its file
//    when it stops).
//
// A chunk that cannot be believed is passed over for the next kind of evidence, and the
// listener is told which.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "audio/file/wav_metadata.h"
#include "engine/platform_services.h"

namespace sorv {

struct RecordingStart {
    int64_t utc = 0;                   // the first sample, in seconds since 1970 UTC
    std::string source;                // where that came from, in the listener's words
    std::optional<double> carrierKHz;  // the carrier of the program's own name, when it has one
    std::vector<std::string> passedOver;  // evidence that was there but could not be believed
};

// A local clock time to seconds since 1970 under the platform's zone rules.
using LocalToUtcFn = std::function<bool(const CalendarTime& local, int64_t& utc)>;

// The machine's own zone rules.
LocalToUtcFn SystemLocalToUtcFn();

// The program's own recording name, taken apart.
struct ProgramRecordingName {
    int month = 0, day = 0, hour = 0, minute = 0, second = 0;
    std::optional<int64_t> carrierHz;
};
std::optional<ProgramRecordingName> ParseProgramRecordingName(const std::string& fileName);

// A "YYYYMMDD_hhmmss" stamp in a name, and whether a "Z" marks it as UTC.
struct NameStamp {
    CivilTime time;
    bool utc = false;
};
std::optional<NameStamp> FindNameStamp(const std::string& fileName);

// The start of the recording at path, whose samples last durationSeconds. Empty only when
// nothing at all can be learnt (not even the file's modification time).
std::optional<RecordingStart> FindRecordingStart(const std::string& path, double durationSeconds,
                                                 const LocalToUtcFn& localToUtc);

// "2024-12-06 21:15:30 UTC"
std::string FormatUtcSeconds(int64_t utc);
// "2024-12-06T21:15:30Z", for JSON.
std::string FormatUtcIso(int64_t utc);

}  // namespace sorv
