// File ▸ "Analyse recording...": an audio file fed through the engine as fast as the machine
// goes, in slices between the window's events, so that the title's row count shows the
// progress, the view keeps drawing and Stop ends it. The listener then walks the road as after
// a live capture. An I/Q recording first shows the carriers of its average spectrum; the one
// chosen is fed as its receiver's audio.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <memory>

namespace sorv {

class CSorvantelDoc;
class IPlatformServices;
class RecordingFeed;
class ChannelFeed;

class RecordingAnalysis : public QObject {
    Q_OBJECT
public:
    // Why a recording is not analysed in Loran-C mode.
    static const char* const kLoranRefusal;

    RecordingAnalysis(CSorvantelDoc& doc, IPlatformServices& platform, QObject* parent);
    ~RecordingAnalysis() override;

    // Asks for the file and starts on it; a file that cannot be read is reported at once.
    void Run();
    bool Running() const { return feed_ != nullptr || channel_ != nullptr; }
    // Ends a running feed at once, without a word (the window is closing).
    void Abandon();

private:
    void FeedSlice();
    bool FeedOnce();
    // The carriers of an I/Q recording, the listener's choice, and its channel's feed; false
    // when there is nothing to feed (reported, or cancelled).
    bool BeginChannel(const std::string& path);

    CSorvantelDoc& doc_;
    IPlatformServices& platform_;
    std::unique_ptr<RecordingFeed> feed_;
    std::unique_ptr<ChannelFeed> channel_;
    QTimer timer_;
    QElapsedTimer sinceRedraw_;
};

}  // namespace sorv
