#include "audio/file/recording_start.h"

#include <sys/stat.h>

#include <cctype>
#include <cmath>

#include "audio/file/riff_chunks.h"
#include "engine/system_calendar.h"
#include "engine/text_format.h"

namespace sorv {

namespace {

constexpr size_t kMetadataBytes = 4096;  // more than any auxi or bext chunk needs
constexpr int kYearsBack = 8;            // a 29 February name finds its leap year within this

std::string FileNameOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool Digit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

int DigitsAt(const std::string& s, size_t at, size_t n) {
    int v = 0;
    for (size_t i = 0; i < n; ++i) v = v * 10 + (s[at + i] - '0');
    return v;
}

bool AllDigits(const std::string& s, size_t at, size_t n) {
    if (at + n > s.size()) return false;
    for (size_t i = 0; i < n; ++i)
        if (!Digit(s[at + i])) return false;
    return true;
}

bool EndsWithNoCase(const std::string& s, const std::string& tail) {
    if (s.size() < tail.size()) return false;
    for (size_t i = 0; i < tail.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - tail.size() + i])) != tail[i]) return false;
    return true;
}

CalendarTime ToCalendar(const CivilTime& c) {
    CalendarTime tm{};
    tm.tm_year = c.year - 1900;
    tm.tm_mon = c.month - 1;
    tm.tm_mday = c.day;
    tm.tm_hour = c.hour;
    tm.tm_min = c.minute;
    tm.tm_sec = c.second;
    tm.tm_isdst = -1;
    return tm;
}

std::optional<RecordingStart> FromChunks(const std::string& path, const LocalToUtcFn& localToUtc,
                                         std::vector<std::string>& passedOver) {
    RiffLayout layout;
    std::string reason;
    if (ReadRiffLayout(path, layout, reason) != RiffStatus::Ok) return std::nullopt;
    std::vector<uint8_t> body;
    if (const RiffChunk* c = layout.Find("auxi"); c && ReadChunkBody(path, *c, kMetadataBytes, body)) {
        AuxiInfo auxi;
        const std::string problem = ParseAuxiChunk(body, c->size, c->present, auxi);
        if (problem.empty()) return RecordingStart{CivilToUtcSeconds(auxi.start), "auxi chunk", {}, {}};
        passedOver.push_back(problem);
    }
    if (const RiffChunk* c = layout.Find("bext"); c && ReadChunkBody(path, *c, kMetadataBytes, body)) {
        BextInfo bext;
        std::string problem = ParseBextChunk(body, bext);
        int64_t utc = 0;
        if (problem.empty() && localToUtc(ToCalendar(bext.origination), utc))
            return RecordingStart{utc, "bext chunk (local time)", {}, {}};
        passedOver.push_back(problem.empty() ? "the bext chunk's local time cannot be converted" : problem);
    }
    return std::nullopt;
}

// The latest year in which the program's name is a real local time not after the file's
// modification time.
std::optional<RecordingStart> FromProgramName(const ProgramRecordingName& name, int64_t mtime,
                                              const LocalToUtcFn& localToUtc) {
    // One year past the UTC year, so that a zone ahead of UTC on New Year's night is covered.
    const int lastYear = SystemUtcTime(mtime).tm_year + 1900 + 1;
    for (int year = lastYear; year >= lastYear - kYearsBack; --year) {
        const CivilTime c{year, name.month, name.day, name.hour, name.minute, name.second, 0};
        if (!IsPlausibleCivilTime(c)) continue;
        int64_t utc = 0;
        if (!localToUtc(ToCalendar(c), utc) || utc > mtime) continue;
        return RecordingStart{
            utc, FormatC("file name (the program's own, local time; the year %d from the file's modification time)", year),
            {}, {}};
    }
    return std::nullopt;
}

}  // namespace

LocalToUtcFn SystemLocalToUtcFn() {
    return [](const CalendarTime& local, int64_t& utc) { return SystemLocalToUtc(local, utc); };
}

std::optional<ProgramRecordingName> ParseProgramRecordingName(const std::string& fileName) {
    // "MMDDhhmmss.wav" or "MMDDhhmmss_<Hz>hz.wav", exactly as the program names its recordings.
    if (!EndsWithNoCase(fileName, ".wav") || !AllDigits(fileName, 0, 10)) return std::nullopt;
    const std::string rest = fileName.substr(10, fileName.size() - 14);
    ProgramRecordingName n;
    n.month = DigitsAt(fileName, 0, 2);
    n.day = DigitsAt(fileName, 2, 2);
    n.hour = DigitsAt(fileName, 4, 2);
    n.minute = DigitsAt(fileName, 6, 2);
    n.second = DigitsAt(fileName, 8, 2);
    if (n.month < 1 || n.month > 12 || n.day < 1 || n.day > 31 || n.hour > 23 || n.minute > 59 || n.second > 59)
        return std::nullopt;
    if (rest.empty()) return n;
    if (rest.size() < 4 || rest.size() > 13 || rest[0] != '_' || !EndsWithNoCase(rest, "hz") ||
        !AllDigits(rest, 1, rest.size() - 3))
        return std::nullopt;
    n.carrierHz = std::stoll(rest.substr(1, rest.size() - 3));
    if (*n.carrierHz <= 0) n.carrierHz.reset();
    return n;
}

std::optional<NameStamp> FindNameStamp(const std::string& fileName) {
    for (size_t i = 0; i + 15 <= fileName.size(); ++i) {
        if ((i > 0 && Digit(fileName[i - 1])) || !AllDigits(fileName, i, 8)) continue;
        const char sep = fileName[i + 8];
        if ((sep != '_' && sep != '-' && sep != 'T') || !AllDigits(fileName, i + 9, 6)) continue;
        if (i + 15 < fileName.size() && Digit(fileName[i + 15])) continue;
        NameStamp s;
        s.time = {DigitsAt(fileName, i, 4),     DigitsAt(fileName, i + 4, 2),  DigitsAt(fileName, i + 6, 2),
                  DigitsAt(fileName, i + 9, 2), DigitsAt(fileName, i + 11, 2), DigitsAt(fileName, i + 13, 2), 0};
        if (!IsPlausibleCivilTime(s.time)) continue;
        s.utc = i + 15 < fileName.size() && (fileName[i + 15] == 'Z' || fileName[i + 15] == 'z');
        return s;
    }
    return std::nullopt;
}

std::optional<RecordingStart> FindRecordingStart(const std::string& path, double durationSeconds,
                                                 const LocalToUtcFn& localToUtc) {
    std::vector<std::string> passedOver;
    const std::string name = FileNameOf(path);
    const std::optional<ProgramRecordingName> own = ParseProgramRecordingName(name);
    struct stat st {};
    const bool haveMtime = stat(path.c_str(), &st) == 0;
    const int64_t mtime = haveMtime ? static_cast<int64_t>(st.st_mtime) : 0;

    std::optional<RecordingStart> found = FromChunks(path, localToUtc, passedOver);
    if (!found && own && haveMtime) found = FromProgramName(*own, mtime, localToUtc);
    if (!found) {
        if (const std::optional<NameStamp> stamp = FindNameStamp(name)) {
            int64_t utc = CivilToUtcSeconds(stamp->time);
            if (stamp->utc) found = RecordingStart{utc, "file name (UTC)", {}, {}};
            else if (localToUtc(ToCalendar(stamp->time), utc)) found = RecordingStart{utc, "file name (local time)", {}, {}};
        }
    }
    if (!found && haveMtime) {
        const double d = std::isfinite(durationSeconds) && durationSeconds > 0.0 && durationSeconds < 1e9 ? durationSeconds : 0.0;
        found = RecordingStart{mtime - static_cast<int64_t>(std::llround(d)), "the file's modification time less its duration",
                               {}, {}};
    }
    if (!found) return std::nullopt;
    if (own && own->carrierHz) found->carrierKHz = static_cast<double>(*own->carrierHz) / 1000.0;
    found->passedOver = std::move(passedOver);
    return found;
}

std::string FormatUtcSeconds(int64_t utc) {
    const CalendarTime t = SystemUtcTime(utc);
    return FormatC("%04d-%02d-%02d %02d:%02d:%02d UTC", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour,
                   t.tm_min, t.tm_sec);
}

std::string FormatUtcIso(int64_t utc) {
    const CalendarTime t = SystemUtcTime(utc);
    return FormatC("%04d-%02d-%02dT%02d:%02d:%02dZ", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min,
                   t.tm_sec);
}

}  // namespace sorv
