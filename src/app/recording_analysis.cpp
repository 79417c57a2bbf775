#include "app/recording_analysis.h"

#include "audio/file/recording_feed.h"
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
                    "All files (*)"};
    std::string path;
    if (!platform_.OpenFileDialog(spec, path)) return;
    auto feed = std::make_unique<RecordingFeed>(doc_);
    std::string message;
    if (!feed->Begin(path, {}, message)) {
        platform_.ShowMessage(message);
        return;
    }
    feed_ = std::move(feed);
    // The rows grow in the Spectrum, and the road starts there afterwards, as after a Load.
    doc_.m_nViewMode = 1;
    platform_.UpdateAllViews();
    sinceRedraw_.start();
    timer_.start();
}

void RecordingAnalysis::FeedSlice() {
    if (!feed_) return;
    QElapsedTimer clock;
    clock.start();
    bool more = true;
    while (more && clock.elapsed() < kSliceMs) more = feed_->Feed(1);
    if (!more || sinceRedraw_.elapsed() >= kRedrawMs) {
        platform_.UpdateAllViews();
        sinceRedraw_.start();
    }
    if (more) return;
    timer_.stop();
    const std::string outcome = feed_->Outcome();
    feed_.reset();
    platform_.RefreshCommandStates();
    if (!outcome.empty()) platform_.ShowMessage(outcome);
}

void RecordingAnalysis::Abandon() {
    timer_.stop();
    feed_.reset();
}

}  // namespace sorv
