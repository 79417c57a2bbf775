// analyse: each audio recording through the engine as live capture would feed it, searched in
// store-sized segments; each spectrum file loaded as Load does and searched.
#include <algorithm>
#include <cmath>
#include <vector>

#include "audio/file/audio_file_reader.h"
#include "audio/file/recording_start.h"
#include "cli/cli_commands.h"
#include "cli/cli_session.h"
#include "cli/file_list.h"
#include "cli/headless_document.h"
#include "engine/text_format.h"

namespace sorv {

namespace {

std::string FileNameOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// FILE.svl for the first segment, FILE-2.svl for the second, ...
std::string SegmentSaveName(const std::string& path, int segment) {
    if (segment <= 1) return path;
    const std::string stem = IsSpectrumFileName(path) ? path.substr(0, path.size() - 4) : path;
    return stem + "-" + std::to_string(segment) + ".svl";
}

class RecordingAnalysis {
public:
    RecordingAnalysis(const AnalyseCommand& command, CliSession& session, const std::string& path)
        : command_(command), session_(session), path_(path), hd_(session.err()) {
        ApplyAnalysisSettings(*hd_.doc, command.settings);
        hd_.watcher.onFound = [this](const Identification& id) { session_.Report(id); };
    }

    void Run() {
        std::string error;
        if (!reader_.Open(path_, command_.import, error)) {
            session_.Fail(path_, error);
            return;
        }
        if (command_.import.autoGain)
            session_.Warn(path_, FormatC("automatic gain %+.1f dB", reader_.GainDb()));
        FindStart();
        Feed();
        if (!reader_.Error().empty()) session_.Fail(path_, reader_.Error());
        if (reader_.ClippedSamples() > 0)
            session_.Warn(path_, FormatC("%llu samples were beyond the 8-bit range and clipped",
                                         static_cast<unsigned long long>(reader_.ClippedSamples())));
        if (limitedSeconds_ > 0)
            session_.Warn(path_, FormatC("audio limiting in %d second%s of the recording", limitedSeconds_,
                                         limitedSeconds_ == 1 ? "" : "s"));
    }

private:
    // When the recording began, so that its identifications are logged at the time they were
    // heard; and the carrier, when the program's own name gives one and --carrier does not.
    void FindStart() {
        start_ = FindRecordingStart(path_, reader_.DurationSeconds(), [this](const CalendarTime& local, int64_t& utc) {
            return hd_.platform.LocalToUtc(local, utc);
        });
        if (!start_) return;
        hd_.watcher.SetRecordingStart(start_->utc, start_->source);
        for (const std::string& problem : start_->passedOver)
            session_.Warn(path_, problem + "; the start is taken from the " + start_->source);
        CSorvantelDoc& doc = *hd_.doc;
        if (start_->carrierKHz && !command_.settings.carrierKHz && *start_->carrierKHz <= 1e6) {
            doc.m_dCarrierKHz = *start_->carrierKHz;
            session_.Warn(path_, FormatC("carrier %.3f kHz from the file name%s", doc.m_dCarrierKHz,
                                         doc.m_nRxMode < 0 ? " (give --usb or --lsb to log it)" : ""));
        }
    }

    void Feed() {
        CSorvantelDoc& doc = *hd_.doc;
        std::vector<uint8_t> block(kBufferBytes);
        const double total = reader_.DurationSeconds();
        doc.StartRecordingInput();
        for (;;) {
            const size_t n = reader_.Read(block.data(), block.size());
            size_t at = 0;
            while (at < n) {
                const size_t took = doc.ProcessAudioBlock(block.data() + at, n - at);
                if (doc.m_bClipping) ++limitedSeconds_;
                at += took;
                consumed_ += took;
                if (doc.m_bProcessing) continue;
                // The store is full: search these rows, then go on with a fresh store.
                FinishSegment();
                doc.StartRecordingInput();
            }
            session_.progress().Update(FileNameOf(path_), static_cast<double>(consumed_) / 48000.0, total, "reading");
            if (n < block.size()) break;
        }
        if (doc.m_bProcessing) doc.OnStop();
        if (doc.m_nRows > 0 || segment_ == 1) FinishSegment();
    }

    void FinishSegment() {
        CSorvantelDoc& doc = *hd_.doc;
        const double start = static_cast<double>(segmentStart_) / 48000.0;
        const double end = static_cast<double>(consumed_) / 48000.0;
        if (!command_.saveSvl.empty()) Save(SegmentSaveName(command_.saveSvl, segment_));
        session_.progress().Update(FileNameOf(path_), end, reader_.DurationSeconds(), "searching");
        hd_.watcher.SetSource(path_, start);
        if (start_) doc.m_tRowsStart = start_->utc + static_cast<int64_t>(std::llround(start));
        const int before = hd_.watcher.Count();
        doc.OnAutoSearch();
        if (!session_.progress().Terminal())
            session_.progress().Line(FormatC("%s: segment %d, %.1f s to %.1f s, %d rows, %d identification%s",
                                             path_.c_str(), segment_, start, end, doc.m_nRows,
                                             hd_.watcher.Count() - before,
                                             hd_.watcher.Count() - before == 1 ? "" : "s"));
        ++segment_;
        segmentStart_ = consumed_;
    }

    void Save(const std::string& name) {
        if (hd_.doc->m_nRows <= 0) return;
        const size_t before = hd_.platform.messages.size();
        hd_.platform.saveAnswers.push_back(name);
        hd_.doc->OnSave();
        if (hd_.platform.messages.size() != before) session_.Fail(path_, "the spectrogram could not be saved");
    }

    const AnalyseCommand& command_;
    CliSession& session_;
    std::string path_;
    HeadlessDocument hd_;
    AudioFileReader reader_;
    std::optional<RecordingStart> start_;
    uint64_t consumed_ = 0;
    uint64_t segmentStart_ = 0;
    int segment_ = 1;
    int limitedSeconds_ = 0;
};

void AnalyseSpectrumFile(const AnalyseCommand& command, CliSession& session, const std::string& path) {
    std::string truncated;
    const std::string problem = CheckSpectrumFile(path, truncated);
    if (!problem.empty()) {
        session.Fail(path, problem);
        return;
    }
    HeadlessDocument hd(session.err());
    ApplyAnalysisSettings(*hd.doc, command.settings);
    hd.watcher.onFound = [&session](const Identification& id) { session.Report(id); };
    const size_t before = hd.platform.messages.size();
    hd.platform.openAnswers.push_back(path);
    hd.doc->OnLoad();
    // Load speaks only when it fails; a file of 0 rows loads, and is searched for nothing.
    if (hd.platform.messages.size() != before) {
        session.Fail(path, "could not be loaded");
        return;
    }
    session.progress().Update(FileNameOf(path), 0.0, 0.0, "searching");
    hd.watcher.SetSource(path, 0.0);
    hd.doc->OnAutoSearch();
    if (!session.progress().Terminal())
        session.progress().Line(FormatC("%s: %d rows, %d identification%s", path.c_str(), hd.doc->m_nRows,
                                        hd.watcher.Count(), hd.watcher.Count() == 1 ? "" : "s"));
    if (!truncated.empty()) session.Fail(path, truncated);
}

// --save-svl names one spectrogram: a directory that holds several recordings is refused.
bool CheckSaveTarget(const AnalyseCommand& command, const std::vector<std::string>& files, CliStreams& streams) {
    if (command.saveSvl.empty()) return true;
    const auto recordings = std::count_if(files.begin(), files.end(), [](const std::string& f) { return !IsSpectrumFileName(f); });
    if (recordings == 1) return true;
    streams.err << "sorvantel-cli: --save-svl needs exactly one audio file; " << recordings << " were given\n";
    return false;
}

}  // namespace

int RunAnalyse(const AnalyseCommand& command, CliStreams& streams) {
    CliSession session(streams.out, streams.err, command.json, streams.errIsTerminal);
    const std::vector<std::string> files = ExpandFileArguments(command.files, FileKind::Recording, session);
    if (!CheckSaveTarget(command, files, streams)) return 2;
    for (const std::string& path : files) {
        session.CountFile(path);
        if (IsSpectrumFileName(path)) {
            AnalyseSpectrumFile(command, session, path);
        } else {
            RecordingAnalysis analysis(command, session, path);
            analysis.Run();
        }
    }
    session.progress().Line(session.Summary());
    return session.AnyFailure() ? 1 : 0;
}

}  // namespace sorv
