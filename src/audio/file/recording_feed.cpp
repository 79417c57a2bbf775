#include "audio/file/recording_feed.h"

#include "engine/sorvantel_doc.h"
#include "engine/text_format.h"

namespace sorv {

RecordingFeed::RecordingFeed(CSorvantelDoc& doc) : doc_(doc), block_(kBufferBytes) {}

bool RecordingFeed::Begin(const std::string& path, const AudioImportOptions& options, std::string& message) {
    std::string reason;
    if (!reader_.Open(path, options, reason)) {
        message = FormatC("Cannot analyse %s: %s", path.c_str(), reason.c_str());
        return false;
    }
    path_ = path;
    fed_ = 0;
    outcome_.clear();
    active_ = true;
    doc_.StartRecordingInput();
    // Identifications in these rows are logged at the time the recording was made; the
    // program's own name gives the receiver's carrier, as a spectrum file's name does.
    IPlatformServices& platform = doc_.Platform();
    start_ = FindRecordingStart(path, reader_.DurationSeconds(), [&platform](const CalendarTime& local, int64_t& utc) {
        return platform.LocalToUtc(local, utc);
    });
    if (start_) {
        doc_.m_tRowsStart = start_->utc;
        if (start_->carrierKHz && *start_->carrierKHz <= 1e6) doc_.m_dCarrierKHz = *start_->carrierKHz;
    }
    return true;
}

bool RecordingFeed::Feed(int seconds) {
    for (int s = 0; s < seconds && active_; ++s) {
        // Stop, or a script's Start, has taken the engine away from the recording.
        if (!doc_.m_bProcessing) {
            End({});
            break;
        }
        const size_t n = reader_.Read(block_.data(), block_.size());
        const size_t took = doc_.ProcessAudioBlock(block_.data(), n);
        fed_ += took;
        if (!reader_.Error().empty()) {
            End(FormatC("Reading %s stopped after %.0f seconds: %s. The rows made up to there can be searched.",
                        path_.c_str(), SecondsFed(), reader_.Error().c_str()));
        } else if (took < n || (!doc_.m_bProcessing && n > 0)) {
            // The row limit stopped the engine: the store holds the first part only. Not a
            // silent cut; the command-line tool searches a long recording in segments.
            const double total = reader_.DurationSeconds();
            End(FormatC("%s is longer than the spectrogram store holds: its first %.1f of %.1f minutes were "
                        "analysed. \"sorvantel-cli analyse\" searches the whole recording in segments.",
                        path_.c_str(), SecondsFed() / 60.0, total / 60.0));
        } else if (n < block_.size()) {
            End(doc_.m_nRows > 0 ? std::string()
                                 : FormatC("%s is too short to make a single spectrogram row.", path_.c_str()));
        }
    }
    return active_;
}

void RecordingFeed::End(std::string outcome) {
    active_ = false;
    outcome_ = std::move(outcome);
    if (doc_.m_bProcessing) doc_.OnStop();
}

}  // namespace sorv
