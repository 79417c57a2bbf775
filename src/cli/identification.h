// What sorvantel-cli reports: one record per identification the automatic search makes, taken
// from the document the moment the ident decoding has finished, and written as a text line
// (the ident-log entry, after the file name) or as one JSON object.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace sorv {

class CSorvantelDoc;

struct Identification {
    std::string file;
    double segmentStartSeconds = 0.0;
    std::string ident;
    int line = -1;
    double offsetHz = 0.0;
    std::optional<double> rfKHz;  // only with a carrier and a sideband
    double periodSeconds = 0.0;   // the middle of the integrated range
    int wpm = 0;
    double score = 0.0;           // refinement score of the accepted candidate
    std::string logEntry;         // the ident-log entry, without its line end
    int64_t stampUtc = 0;         // the time it is logged at: the recording's, or now
    std::optional<int64_t> recordingStartUtc;  // the recording's first sample, when known
    std::string recordingStartSource;          // where that was read ("bext chunk", ...)
};

// The log entry the program writes for the document's current identification, time stamp
// first, built from the same fields in the same layout.
std::string IdentLogEntry(CSorvantelDoc& doc);

// The refinement score of the designated line at a period, as the automatic search scores it.
double RefinementScore(const CSorvantelDoc& doc, int line, double periodSeconds);

// Watches the redraws of an automatic search for finished decodings. The integration clears
// the ident and redraws; the decoding stores the text, logs it and redraws: so a redraw that
// shows the integral with a text after one that showed none is one identification.
class IdentificationWatcher {
public:
    // Each identification goes to onFound as it is made.
    std::function<void(const Identification&)> onFound;
    // Where the rows searched begin in the file, asked at each identification.
    std::function<double()> segmentStart;

    void SetSource(const std::string& file, double segmentStartSeconds);
    // The recording's start and where it was read, for the identifications that follow.
    void SetRecordingStart(std::optional<int64_t> utc, const std::string& source);
    void OnViewsUpdated(CSorvantelDoc& doc);
    int Count() const { return count_; }

private:
    std::string file_;
    double segmentStart_ = 0.0;
    std::optional<int64_t> recordingStart_;
    std::string recordingStartSource_;
    bool armed_ = true;
    int count_ = 0;
};

std::string FormatIdentificationText(const Identification& id);
std::string FormatIdentificationJson(const Identification& id);
std::string JsonString(const std::string& text);

}  // namespace sorv
