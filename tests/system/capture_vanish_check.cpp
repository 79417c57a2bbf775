// A capture device that disappears while the program captures and records, on the real Qt
// platform against a running sound server. Driven by capture_vanish.sh, which unloads the
// source when this program prints "CAPTURING".
//
//   capture_vanish_check <dir>
//
// Selects Card 2 (the first listed input), starts, waits for rows, records, prints
// "CAPTURING <rows>" and then keeps the program running for ten seconds in which the source
// goes away. Then: Stop must work and give the idle title, the recording must be finalised
// ("WAV <path> <bytes>"), and a second Start must report the step that failed
// ("STARTMSG <text>"). Exit status 0 when all of that held; messages go to stderr.
#include <QApplication>
#include <QElapsedTimer>
#include <clocale>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "check_platform.h"
#include "engine/sorvantel_doc.h"

namespace sorv {
namespace {

using check::CheckPlatform;
using check::Fail;

int Run(CheckPlatform& platform, CSorvantelDoc& doc) {
    if (doc.m_strCardName[1].empty()) return Fail("no capture device listed");
    doc.OnCard(1);
    doc.OnStart();
    if (!platform.messages.empty() || !doc.m_bProcessing) return Fail("Start reported an error");
    if (!check::WaitFor([&] { return doc.m_nRows >= 62; }, 15000)) return Fail("no rows within 15 s");
    doc.OnRecord();
    if (!doc.m_bRecording) return Fail("Record did not start");
    if (!check::WaitFor([&] { return doc.m_nWavDataBytes >= 2 * 48000; }, 6000)) return Fail("nothing recorded");
    std::printf("CAPTURING %d\n", doc.m_nRows);
    std::fflush(stdout);

    // The source goes away in here; the program keeps polling, redrawing and answering.
    QElapsedTimer alive;
    alive.start();
    check::WaitFor([] { return false; }, 10000);
    if (alive.elapsed() > 12000) return Fail("the event loop stalled after the device went");
    std::printf("ROWS_AFTER %d\n", doc.m_nRows);

    doc.OnStop();
    if (doc.m_bProcessing || doc.m_bRecording) return Fail("Stop did not end processing and recording");
    if (platform.title != "Sorvantel from KELD - idle") return Fail("no idle title after Stop");
    std::printf("WAV %s %llu\n", doc.m_strWavPath.c_str(), static_cast<unsigned long long>(doc.m_nWavDataBytes));
    const size_t before = platform.messages.size();

    doc.OnStart();
    if (platform.messages.size() == before) return Fail("a Start without the device reported nothing");
    std::printf("STARTMSG %s\n", platform.messages.back().c_str());
    // A failed Start leaves the program idle, not half-started; Stop then changes nothing.
    if (doc.m_bProcessing || platform.title != "Sorvantel from KELD - idle") return Fail("the failed Start is not idle");
    check::WaitFor([] { return false; }, 1000);
    doc.OnStop();
    if (doc.m_bProcessing || platform.title != "Sorvantel from KELD - idle") return Fail("Stop after the failed Start");
    std::printf("DONE\n");
    return 0;
}

}  // namespace
}  // namespace sorv

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <dir>\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    sorv::CheckPlatform platform(argv[1]);
    auto doc = std::make_unique<sorv::CSorvantelDoc>(platform);
    platform.SetDocument(doc.get());
    const int rc = sorv::Run(platform, *doc);
    platform.SetDocument(nullptr);
    doc.reset();
    std::printf("EXIT %d\n", rc);
    return rc;
}
