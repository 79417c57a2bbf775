#include "cli/identification.h"

#include <cmath>
#include <vector>

#include "analysis/period_refinement.h"
#include "audio/file/recording_start.h"
#include "engine/sorvantel_doc.h"
#include "engine/text_format.h"

namespace sorv {

namespace {

// Numbers in JSON: finite always (a non-finite value has no JSON form and becomes null).
std::string JsonNumber(double v, const char* format = "%.10g") {
    return std::isfinite(v) ? FormatC(format, v) : "null";
}

}  // namespace

std::string IdentLogEntry(CSorvantelDoc& doc) {
    std::string entry = doc.m_strIdent;
    if (doc.m_strIdent.size() == 2) entry += ' ';
    entry += ' ';
    const double offset = doc.LineFrequency(doc.m_nLine);
    if (doc.m_dCarrierKHz > 0.0 && doc.m_nRxMode >= 0)
        entry += FormatC("%5.1lf kHz; sideband %7.3lf kHz; ", doc.m_dCarrierKHz, doc.RadioFrequencyKHz(offset));
    entry += FormatC("offset %6.1lf Hz; ", offset);
    entry += FormatC("period %5.2lf s", (doc.m_dPeriodMin + doc.m_dPeriodMax) / 2.0);
    return doc.LogTimeStamp() + entry;
}

double RefinementScore(const CSorvantelDoc& doc, int line, double periodSeconds) {
    if (line < 0 || line >= kLines || doc.m_nRows < 1) return 0.0;
    std::vector<double> series(static_cast<size_t>(doc.m_nRows));
    for (int j = 0; j < doc.m_nRows; ++j) series[static_cast<size_t>(j)] = doc.m_power[j][line];
    std::vector<double> fold(kFoldBins), smooth(kFoldBins);
    PeriodRefiner refiner(doc.m_nRows, doc.RowRate());
    double score = 0.0;
    return refiner.ScoreTrial(series.data(), periodSeconds, fold.data(), smooth.data(), score) ? score : 0.0;
}

void IdentificationWatcher::SetSource(const std::string& file, double segmentStartSeconds) {
    file_ = file;
    segmentStart_ = segmentStartSeconds;
    armed_ = true;
}

void IdentificationWatcher::SetRecordingStart(std::optional<int64_t> utc, const std::string& source) {
    recordingStart_ = utc;
    recordingStartSource_ = utc ? source : std::string();
}

void IdentificationWatcher::OnViewsUpdated(CSorvantelDoc& doc) {
    if (!doc.m_bAutoSearching) {
        armed_ = true;
        return;
    }
    if (doc.m_strIdent.empty()) {
        armed_ = true;
        return;
    }
    const bool decoded = armed_ && doc.m_nViewMode == 4 && doc.m_strIdent != "..." && doc.m_nLine >= 0 &&
                         doc.m_nLine < kLines;
    armed_ = false;
    if (!decoded) return;
    Identification id;
    id.file = file_;
    id.segmentStartSeconds = segmentStart ? segmentStart() : segmentStart_;
    id.ident = doc.m_strIdent;
    id.line = doc.m_nLine;
    id.offsetHz = doc.LineFrequency(doc.m_nLine);
    if (doc.m_dCarrierKHz > 0.0 && doc.m_nRxMode >= 0) id.rfKHz = doc.RadioFrequencyKHz(id.offsetHz);
    id.periodSeconds = (doc.m_dPeriodMin + doc.m_dPeriodMax) / 2.0;
    id.wpm = doc.m_nWpm;
    id.score = RefinementScore(doc, doc.m_nLine, id.periodSeconds);
    id.logEntry = IdentLogEntry(doc);
    id.stampUtc = doc.LogTimeUtc();
    id.recordingStartUtc = recordingStart_;
    id.recordingStartSource = recordingStartSource_;
    ++count_;
    if (onFound) onFound(id);
}

std::string FormatIdentificationText(const Identification& id) {
    if (id.segmentStartSeconds > 0.0)
        return id.file + FormatC(" @ %.1f s: ", id.segmentStartSeconds) + id.logEntry;
    return id.file + ": " + id.logEntry;
}

namespace {

// The length of a well-formed UTF-8 sequence at s[i], or 0 when the bytes there are not one.
size_t Utf8Length(const std::string& s, size_t i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xe ? 3 : (c >> 3) == 0x1e ? 4 : 0;
    if (n == 0 || i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xc0) != 0x80) return 0;
    return n;
}

}  // namespace

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            // File names are bytes; JSON is Unicode. A byte that is not UTF-8 becomes U+FFFD.
            const size_t n = Utf8Length(text, i);
            if (n == 0) {
                out += "\\ufffd";
                continue;
            }
            out.append(text, i, n);
            i += n - 1;
            continue;
        }
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20 || c == 0x7f) out += FormatC("\\u%04x", c);
                else out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string FormatIdentificationJson(const Identification& id) {
    return "{\"file\":" + JsonString(id.file) + ",\"segment_start_s\":" + JsonNumber(id.segmentStartSeconds, "%.3f") +
           ",\"ident\":" + JsonString(id.ident) + ",\"line\":" + std::to_string(id.line) +
           ",\"offset_hz\":" + JsonNumber(id.offsetHz) +
           ",\"rf_khz\":" + (id.rfKHz ? JsonNumber(*id.rfKHz) : std::string("null")) +
           ",\"period_s\":" + JsonNumber(id.periodSeconds) + ",\"wpm\":" + std::to_string(id.wpm) +
           ",\"score\":" + JsonNumber(id.score) + ",\"stamp_utc\":" + JsonString(FormatUtcIso(id.stampUtc)) +
           ",\"recording_start\":" +
           (id.recordingStartUtc ? JsonString(FormatUtcIso(*id.recordingStartUtc)) : std::string("null")) +
           ",\"recording_start_from\":" +
           (id.recordingStartUtc ? JsonString(id.recordingStartSource) : std::string("null")) + "}";
}

}  // namespace sorv
