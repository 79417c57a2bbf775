// survey: every beacon of a band, from each I/Q recording: the carriers of its average
// spectrum, each carrier's channel through the engine and the sensitive detector, and one
// line per beacon, as text, JSON or CSV; the ident log and a picture of the band on request.
#include <cmath>

#include "audio/file/iq_recording.h"
#include "cli/band_survey.h"
#include "cli/cli_commands.h"
#include "cli/cli_session.h"
#include "cli/headless_document.h"
#include "cli/identification.h"
#include "engine/text_format.h"
#include "survey/band_picture.h"
#include "survey/channeliser.h"
#include "survey/fft_plans.h"
#include "survey/transform_tuning.h"

namespace sorv {

namespace {

std::string FileNameOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Clock(double seconds) {
    const long long s = seconds > 0.0 && seconds < 1e9 ? std::llround(seconds) : 0;
    return s >= 3600 ? FormatC("%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60) : FormatC("%lld:%02lld", s / 60, s % 60);
}

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

std::string ToneText(const SurveyBeacon& b) {
    if (b.sideband == Sideband::Carrier) return "carrier keyed";
    if (b.sideband == Sideband::Both) return FormatC("tone +-%.0f Hz both", std::fabs(b.toneOffsetHz));
    return FormatC("tone %+.0f Hz %s", b.toneOffsetHz, SidebandName(b.sideband));
}

class SurveyRun {
public:
    SurveyRun(const SurveyCommand& command, CliStreams& streams)
        : command_(command), streams_(streams),
          session_(streams.out, streams.err, command.format == SurveyCommand::Format::Json, streams.errIsTerminal) {}

    int Run() {
        if (command_.format == SurveyCommand::Format::Csv)
            streams_.out << "file,carrier_khz,ident,tone_offset_hz,sideband,period_s,score,wpm,start_s,end_s\n";
        // Plans kept by an earlier --tune-transforms; without them FFTW measures its own.
        const std::string kept = KeptPlansPath();
        if (!kept.empty()) {
            const std::string message = LoadKeptPlans(kept);
            if (!message.empty()) session_.progress().Line("sorvantel-cli: " + message);
        }
        for (const std::string& path : command_.files) Survey(path);
        session_.progress().Clear();
        return session_.AnyFailure() ? 1 : 0;
    }

private:
    void Survey(const std::string& path) {
        SurveyOptions options;
        options.carriersKHz = command_.carriersKHz;
        options.search.periodMin = command_.periodMin;
        options.search.periodMax = command_.periodMax;
        options.search.combineSidebands = command_.combineSidebands;
        // The messages name the file already; the session's failure line names it too.
        IqSourceOpener open = [&](std::string& message) {
            IqOpenOptions input;
            input.centreKHz = command_.centreKHz;
            input.rateHz = command_.rateHz;
            return OpenIqRecording(path, input, message);
        };
        const std::string name = FileNameOf(path);
        auto progress = [&](const std::string& stage, double done, double total) {
            session_.progress().Update(name, done, total, stage == "spectrum" ? "average spectrum" : "channels");
        };
        if (command_.tuneTransforms) Tune(path, open);
        SurveyResult result;
        std::string message;
        if (!RunBandSurvey(open, options, result, message, progress)) {
            Fail(path, message);
            return;
        }
        for (const SurveyBeacon& b : result.beacons) Report(path, result, b);
        if (!command_.logDir.empty())
            for (const SurveyBeacon& b : result.beacons) Log(result, b);
        if (!command_.png.empty()) Picture(result);
        session_.progress().Line(FormatC("%s: %s, %.1f minutes: %zu carrier%s, %zu beacon%s identified", path.c_str(),
                                         result.info.description.c_str(), result.seconds / 60.0, result.carriers.size(),
                                         result.carriers.size() == 1 ? "" : "s", result.beacons.size(),
                                         result.beacons.size() == 1 ? "" : "s"));
        if (result.clippedBlocks > 0)
            session_.Warn(path, FormatC("the audio of some channels reached the 8-bit limits in %llu blocks",
                                        static_cast<unsigned long long>(result.clippedBlocks)));
        if (!result.readError.empty()) Fail(path, result.readError);
    }

    // The recording's rate, once it has been opened: a file that cannot be opened or has no
    // usable rate is left to the survey to report.
    void Tune(const std::string& path, const IqSourceOpener& open) {
        std::string message;
        const std::unique_ptr<IqSource> source = open(message);
        if (!source || !CheckChannelRate(source->Info().sampleRate).empty()) return;
        const int rate = static_cast<int>(source->Info().sampleRate);
        if (SurveyTransformsTuned(rate)) {
            session_.progress().Line(FormatC("%s: the transforms for %d Hz are tuned already", path.c_str(), rate));
            return;
        }
        const std::string name = FileNameOf(path);
        TuneSurveyTransforms(rate, TuningEffort::Thorough, [&](int done, int total) {
            session_.progress().Update(name, done, total, "tuning transforms");
        });
        const std::string kept = KeptPlansPath();
        const std::string saved = kept.empty() ? "neither XDG_CACHE_HOME nor HOME says where to keep them" : SaveKeptPlans(kept);
        if (saved.empty())
            session_.progress().Line(FormatC("%s: the transforms for %d Hz are tuned and kept in %s", path.c_str(), rate, kept.c_str()));
        else
            session_.Warn(path, "the transforms are tuned for this run only: " + saved);
    }

    // Messages from opening or reading a recording name it already.
    void Fail(const std::string& path, const std::string& message) {
        if (message.rfind(path + ":", 0) == 0) session_.Fail(path, message.substr(path.size() + 2));
        else session_.Fail(path, message);
    }

    void Report(const std::string& path, const SurveyResult& r, const SurveyBeacon& b) {
        const double khz = r.RadioKHz(b.carrierOffsetHz);
        switch (command_.format) {
            case SurveyCommand::Format::Text:
                streams_.out << FormatC("%s: %9.2f kHz  %-4s  %-22s  period %5.2f s  score %5.1f  %s-%s\n", path.c_str(),
                                        khz, b.ident.c_str(), ToneText(b).c_str(), b.periodSeconds, b.score,
                                        Clock(b.startSeconds).c_str(), Clock(b.endSeconds).c_str());
                break;
            case SurveyCommand::Format::Json:
                streams_.out << "{\"file\":" << JsonString(path) << FormatC(",\"carrier_khz\":%.3f", khz)
                             << ",\"ident\":" << JsonString(b.ident) << FormatC(",\"tone_offset_hz\":%.1f", b.toneOffsetHz)
                             << ",\"sideband\":\"" << SidebandName(b.sideband) << "\""
                             << FormatC(",\"period_s\":%.3f,\"score\":%.2f,\"wpm\":%d,\"start_s\":%.1f,\"end_s\":%.1f}\n",
                                        b.periodSeconds, b.score, b.wpm, b.startSeconds, b.endSeconds);
                break;
            case SurveyCommand::Format::Csv:
                streams_.out << CsvField(path)
                             << FormatC(",%.3f,", khz) << CsvField(b.ident)
                             << FormatC(",%.1f,%s,%.3f,%.2f,%d,%.1f,%.1f\n", b.toneOffsetHz, SidebandName(b.sideband),
                                        b.periodSeconds, b.score, b.wpm, b.startSeconds, b.endSeconds);
                break;
        }
        streams_.out.flush();
    }

    // The designed entry, as a receiver tuned to the carrier in the sideband of the tone
    // would log it: the carrier, the tone's radio frequency, its offset and the period.
    void Log(const SurveyResult& r, const SurveyBeacon& b) {
        if (!logDoc_) {
            logDoc_ = std::make_unique<HeadlessDocument>(streams_.err);
            AnalysisSettings settings;
            settings.logDir = command_.logDir;
            ApplyAnalysisSettings(*logDoc_->doc, settings);
        }
        CSorvantelDoc& doc = *logDoc_->doc;
        doc.m_strIdent = b.ident;
        doc.m_dCarrierKHz = r.RadioKHz(b.carrierOffsetHz);
        doc.m_nRxMode = b.sideband == Sideband::Lower ? 1 : 0;
        doc.m_dPeriodMin = b.periodSeconds - 0.02;
        doc.m_dPeriodMax = b.periodSeconds + 0.02;
        // The entry gives a line's frequency: a band 10 Hz wide puts a line within 0.04 Hz of
        // the offset.
        const double offset = std::fabs(b.toneOffsetHz);
        doc.m_nBandLow = static_cast<int>(std::floor(offset)) - 5;
        doc.m_nBandHigh = doc.m_nBandLow + 10;
        doc.m_nLine = static_cast<int>(std::lround((offset - doc.m_nBandLow) * 12.8));
        // Stamped, and filed under the UTC day, at the time the beacon was heard: the
        // recording's start plus where in it the ident was found. A recording whose start
        // nothing tells is stamped now.
        doc.m_strTimeStamp.clear();
        if (r.info.startUtc) doc.m_tRowsStart = *r.info.startUtc + static_cast<int64_t>(std::llround(b.startSeconds));
        else doc.m_tRowsStart.reset();
        doc.WriteLogEntry();
    }

    void Picture(const SurveyResult& r) {
        std::vector<BandMark> marks;
        for (size_t i = 0; i < r.carriers.size(); ++i) {
            BandMark m;
            m.offsetHz = r.carriers[i].offsetHz;
            m.text = FormatC("%.2f", r.RadioKHz(m.offsetHz));
            for (const SurveyBeacon& b : r.beacons)
                if (b.carrier == static_cast<int>(i)) {
                    m.text += " " + b.ident;
                    m.identified = true;
                }
            marks.push_back(m);
        }
        BandPictureInfo info;
        info.centreHz = r.info.centreHz;
        info.title = FormatC("%s  centre %.2f kHz  %.0f Hz  %.1f min  %zu carriers  %zu beacons",
                             FileNameOf(command_.files.front()).c_str(), r.info.centreHz / 1000.0, r.info.sampleRate,
                             r.seconds / 60.0, r.carriers.size(), r.beacons.size());
        const std::string problem = WritePng(command_.png, DrawBandPicture(r.spectrum, r.floor, info, marks));
        if (!problem.empty()) session_.Fail(command_.png, "the picture: " + problem);
    }

    const SurveyCommand& command_;
    CliStreams& streams_;
    CliSession session_;
    std::unique_ptr<HeadlessDocument> logDoc_;
};

}  // namespace

int RunSurvey(const SurveyCommand& command, CliStreams& streams) {
    SurveyRun run(command, streams);
    return run.Run();
}

}  // namespace sorv
