// The real capture and playback path against a running sound server: the Qt platform's devices,
// the document, and the view timers of a running program, without a window. Driven by
// live_audio.sh, which provides the server, the tone and the checks on the files.
//
// Settings and recordings go to <dir>.
//   live_audio_check capture <dir>        Start, wait for steady rows, check line 95, record
//                                         3 s, print "WAV <path> <bytes>"
//   live_audio_check killed <dir>         Start, record until 3 s are written, print
//                                         "KILL <path> <bytes>" and wait to be killed
//   live_audio_check monitor <dir>        list the cards, print "MONITOR <card> <name>" for the
//                                         monitor of VirtualSink, Start on it and wait for
//                                         steady rows with line 95
//   live_audio_check playback <dir> <s>   play a keyed 1484.375 Hz integrand for s seconds
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>

#include "check_platform.h"
#include "engine/sorvantel_doc.h"

namespace sorv {
namespace {

using check::CheckPlatform;
using check::Fail;

int PeakLine(const CSorvantelDoc& doc, int row) {
    const double* r = doc.m_power[row];
    return static_cast<int>(std::max_element(r, r + kLines) - r);
}

// Line 95 holds 1500 Hz on the default band; it must stand far above every other line. The one
// exception is line 31: mixing a real tone by 1000 Hz also gives -2500 Hz, which the decimating
// sum of 24 samples passes about 15 dB down and folds onto 500 Hz.
bool ToneDominates(const CSorvantelDoc& doc, int row) {
    const double* r = doc.m_power[row];
    double others = 0.0;
    for (int l = 0; l < kLines; ++l)
        if ((l < 93 || l > 97) && l != 31) others = std::max(others, r[l]);
    return PeakLine(doc, row) == 95 && r[95] > 10.0 * r[31] && r[95] > 1000.0 * others;
}

int StartAndReachSteadyState(CheckPlatform& platform, CSorvantelDoc& doc) {
    doc.OnStart();
    if (!platform.messages.empty()) return Fail("Start reported an error");
    if (platform.title != "Sorvantel from KELD - processing audio signals") return Fail("no processing title");
    // The source starts delivering one to two seconds after Start; then 31.25 rows a second.
    if (!check::WaitFor([&] { return doc.m_nRows >= 31; }, 15000)) return Fail("no rows within 15 s");
    const int rows = doc.m_nRows;
    if (!check::WaitFor([&] { return doc.m_nRows >= rows + 93; }, 8000)) return Fail("rows stopped coming");
    for (int r = doc.m_nRows - 60; r < doc.m_nRows; ++r) {
        if (!ToneDominates(doc, r)) {
            const double* p = doc.m_power[r];
            for (int l = 0; l < kLines; ++l) std::fprintf(stderr, "%d:%.3g ", l, p[l]);
            std::fprintf(stderr, "\nrow %d of %d peaks in line %d\n", r, doc.m_nRows, PeakLine(doc, r));
            return Fail("line 95 does not dominate");
        }
    }
    if (platform.title.find("processing audio data (") == std::string::npos) return Fail("no row title");
    std::printf("ROWS %d\n", doc.m_nRows);
    return 0;
}

int Capture(CheckPlatform& platform, CSorvantelDoc& doc) {
    if (int rc = StartAndReachSteadyState(platform, doc)) return rc;
    doc.OnRecord();
    if (!doc.m_bRecording) return Fail("Record did not start");
    if (!check::WaitFor([&] { return doc.m_nWavDataBytes >= 3 * 48000; }, 6000)) return Fail("nothing recorded");
    doc.OnRecord();
    if (doc.m_bRecording || !platform.messages.empty()) return Fail("recording did not end cleanly");
    std::printf("WAV %s %llu\n", doc.m_strWavPath.c_str(), static_cast<unsigned long long>(doc.m_nWavDataBytes));
    doc.OnStop();
    if (platform.title != "Sorvantel from KELD - idle") return Fail("no idle title after Stop");
    return 0;
}

int Killed(CheckPlatform& platform, CSorvantelDoc& doc) {
    if (int rc = StartAndReachSteadyState(platform, doc)) return rc;
    doc.m_dCarrierKHz = 404.5;
    doc.OnRecord();
    if (!check::WaitFor([&] { return doc.m_nWavDataBytes >= 3 * 48000; }, 6000)) return Fail("nothing recorded");
    std::printf("KILL %s %llu\n", doc.m_strWavPath.c_str(), static_cast<unsigned long long>(doc.m_nWavDataBytes));
    std::fflush(stdout);
    // No more ticks: the file stays exactly as the last second left it until the kill.
    std::this_thread::sleep_for(std::chrono::seconds(60));
    return Fail("was not killed");
}

// The monitor of the output the tone is played into, listed among the cards and captured
// directly: no virtual source in between.
int Monitor(CheckPlatform& platform, CSorvantelDoc& doc) {
    int card = -1;
    for (int c = 0; c < 4; ++c) {
        std::printf("CARD%d %s\n", c + 1, doc.m_strCardName[c].c_str());
        if (doc.m_strCardName[c] == "Monitor of VirtualSink") card = c;
    }
    if (card < 0) return Fail("the monitor of VirtualSink is not among the cards");
    std::printf("MONITOR %d %s\n", card + 1, doc.m_strCardName[card].c_str());
    doc.OnCard(card);
    if (doc.m_nSoundcard != card) return Fail("the monitor's card cannot be chosen");
    if (int rc = StartAndReachSteadyState(platform, doc)) return rc;
    doc.OnStop();
    return platform.messages.empty() ? 0 : Fail("messages while capturing from the monitor");
}

// An integrand keyed like "dah dit" over 50 rows (1.6 s at 31.25 rows a second):
// on 15 rows, off 5, on 5, off 25.
int Playback(CheckPlatform& platform, CSorvantelDoc& doc, int seconds) {
    doc.m_nRows = 100;
    doc.m_nLine = 95;
    doc.m_nPeriodBin = 10;
    doc.m_nTrialRows[256] = 50;
    for (int k = 0; k < 50; ++k) doc.m_integral[256][k] = (k < 15 || (k >= 20 && k < 25)) ? 9.0 : 2.0;
    doc.OnPlayback();
    if (!doc.m_bPlaying || !platform.messages.empty()) return Fail("playback did not start");
    std::printf("PLAYING\n");
    std::fflush(stdout);
    check::WaitFor([] { return false; }, seconds * 1000);
    if (!doc.m_bPlaying || !platform.messages.empty()) return Fail("playback stopped by itself");
    doc.OnPlayback();
    if (doc.m_bPlaying) return Fail("playback did not stop");
    return 0;
}

}  // namespace
}  // namespace sorv

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    const std::string mode = argc >= 3 ? argv[1] : "";
    const int seconds = argc == 4 ? QString(argv[3]).toInt() : 0;
    if (!((mode == "capture" || mode == "killed" || mode == "monitor") && argc == 3) &&
        !(mode == "playback" && seconds > 0)) {
        std::fprintf(stderr, "usage: %s capture|killed|monitor <dir> | playback <dir> <seconds>\n", argv[0]);
        return 2;
    }
    sorv::CheckPlatform platform(argv[2]);
    auto doc = std::make_unique<sorv::CSorvantelDoc>(platform);
    platform.SetDocument(doc.get());
    if (doc->m_strCardName[1].empty()) std::fprintf(stderr, "note: no capture device listed\n");
    else std::printf("CARD2 %s\n", doc->m_strCardName[1].c_str());
    int rc = 2;
    if (mode == "capture") rc = sorv::Capture(platform, *doc);
    else if (mode == "killed") rc = sorv::Killed(platform, *doc);
    else if (mode == "monitor") rc = sorv::Monitor(platform, *doc);
    else rc = sorv::Playback(platform, *doc, seconds);
    platform.SetDocument(nullptr);
    doc.reset();
    return rc;
}
