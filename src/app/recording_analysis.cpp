#include "app/recording_analysis.h"

#include <QApplication>

#include "app/carrier_choice_dlg.h"
#include "audio/file/iq_recording.h"
#include "audio/file/recording_feed.h"
#include "survey/channel_feed.h"
#include "survey/fft_plans.h"
#include "survey/parallel.h"
#include "survey/transform_tuning.h"
#include "engine/platform_services.h"
#include "engine/sorvantel_doc.h"

namespace sorv {

namespace {
// Work per turn of the event loop: short enough that the window answers at once, long enough
// that the turns cost nothing next to the work.
constexpr int kSliceMs = 60;
// Redraw the view about this often while the rows grow.
constexpr int kRedrawMs = 500;
}  // namespace

RecordingAnalysis::RecordingAnalysis(CSorvantelDoc& doc, IPlatformServices& platform, QObject* parent)
    : QObject(parent), doc_(doc), platform_(platform) {
    timer_.setInterval(0);
    connect(&timer_, &QTimer::timeout, this, &RecordingAnalysis::FeedSlice);
}

RecordingAnalysis::~RecordingAnalysis() = default;

const char* const RecordingAnalysis::kLoranRefusal =
    "Analyse recording makes spectrogram rows, and Loran-C mode makes none. Switch Loran-C mode off "
    "(Options > Loran-C > Loran-C mode) to analyse a recording.";

void RecordingAnalysis::Run() {
    if (Running() || !doc_.CanStart()) return;
    // In Loran-C mode the samples go to the slot accumulation, whose clock runs on wall time:
    // a file fed at full speed would fill one slot and leave no row to analyse.
    if (doc_.m_bLoran) {
        platform_.ShowMessage(kLoranRefusal);
        return;
    }
    FileDialogSpec spec;
    spec.title = "Analyse recording";
    spec.filters = {"Audio files (*.wav *.flac *.aif *.aiff *.ogg *.oga *.opus *.mp3 *.au *.caf *.w64 *.rf64)",
                    "I/Q recordings (*.wav *.rf64 *.cu8 *.cs16 *.cf32)", "All files (*)"};
    std::string path;
    if (!platform_.OpenFileDialog(spec, path)) return;
    if (ClassifyRecording(path, false).iq) {
        if (!BeginChannel(path)) return;
    } else {
        auto feed = std::make_unique<RecordingFeed>(doc_);
        std::string message;
        if (!feed->Begin(path, {}, message)) {
            platform_.ShowMessage(message);
            return;
        }
        feed_ = std::move(feed);
    }
    // The rows grow in the Spectrum, and the road starts there afterwards, as after a Load.
    doc_.m_nViewMode = 1;
    platform_.UpdateAllViews();
    sinceRedraw_.start();
    timer_.start();
}

bool RecordingAnalysis::BeginChannel(const std::string& path) {
    std::string message;
    std::unique_ptr<IqSource> source = OpenIqRecording(path, {}, message);
    if (source) message = CheckChannelRate(source->Info().sampleRate);
    if (!source || !message.empty()) {
        platform_.ShowMessage("Cannot analyse " + (source ? path + ": " + message : message));
        return false;
    }
    // Plans kept by `sorvantel-cli survey --tune-transforms`, looked for once a run.
    static bool plansLooked = false;
    if (!plansLooked) {
        plansLooked = true;
        const std::string kept = KeptPlansPath();
        const std::string problem = kept.empty() ? std::string() : LoadKeptPlans(kept);
        if (!problem.empty()) platform_.ShowMessage(problem);
    }
    // The whole recording is read once for its average spectrum: a few seconds an hour.
    BandScan scan;
    platform_.SetWaitCursor(true);
    const bool read = ScanBand(*source, {}, SurveyThreads(), scan);
    platform_.SetWaitCursor(false);
    const size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (!read || !scan.readError.empty()) {
        platform_.ShowMessage("Cannot analyse " + path + ": " + (read ? scan.readError : "it holds no samples"));
        if (!read) return false;
    }
    if (scan.carriers.empty()) {
        platform_.ShowMessage("No carrier stands above the noise in " + path + ".");
        return false;
    }
    std::vector<CarrierChoice> choices;
    for (const Carrier& c : scan.carriers) choices.push_back({scan.RadioKHz(c.offsetHz), c.LevelDb()});
    CCarrierChoiceDlg dialog(name, choices, QApplication::activeWindow());
    if (dialog.exec() != QDialog::Accepted || dialog.Chosen() < 0) return false;
    source = OpenIqRecording(path, {}, message);
    if (!source) {
        platform_.ShowMessage("Cannot analyse " + message);
        return false;
    }
    channel_ = std::make_unique<ChannelFeed>(doc_);
    channel_->Begin(std::move(source), scan, scan.carriers[static_cast<size_t>(dialog.Chosen())], path);
    return true;
}

bool RecordingAnalysis::FeedOnce() { return feed_ ? feed_->Feed(1) : channel_->Feed(1); }

void RecordingAnalysis::FeedSlice() {
    if (!Running()) return;
    QElapsedTimer clock;
    clock.start();
    bool more = true;
    while (more && clock.elapsed() < kSliceMs) more = FeedOnce();
    if (!more || sinceRedraw_.elapsed() >= kRedrawMs) {
        platform_.UpdateAllViews();
        sinceRedraw_.start();
    }
    if (more) return;
    timer_.stop();
    const std::string outcome = feed_ ? feed_->Outcome() : channel_->Outcome();
    feed_.reset();
    channel_.reset();
    platform_.RefreshCommandStates();
    if (!outcome.empty()) platform_.ShowMessage(outcome);
}

void RecordingAnalysis::Abandon() {
    timer_.stop();
    feed_.reset();
    channel_.reset();
}

}  // namespace sorv
