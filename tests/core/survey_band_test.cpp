// The band survey end to end on synthetic I/Q recordings: the carriers found, each beacon's
// ident read at its own carrier, nothing reported for carriers without an ident.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

#include "cli/band_survey.h"
#include "support/iq_beacons.h"

namespace sorv {
namespace {

using test::IqBeacon;
using test::IqBeaconSource;
using test::IqKeying;
using test::IqScene;

IqSourceOpener OpenerOf(const IqScene& scene) {
    return [scene](std::string&) -> std::unique_ptr<IqSource> { return std::make_unique<IqBeaconSource>(scene); };
}

IqBeacon Beacon(double offsetHz, const std::string& ident, double toneHz, IqKeying keying, double toneDb,
                double period) {
    IqBeacon b;
    b.offsetHz = offsetHz;
    b.ident = ident;
    b.toneHz = toneHz;
    b.keying = keying;
    b.toneDb = toneDb;
    b.periodSeconds = period;
    return b;
}

TEST(BandSurvey, FindsEachBeaconAtItsCarrier) {
    IqScene scene;
    scene.rate = 48000.0;
    scene.centreHz = 400000.0;
    scene.seconds = 150.0;
    scene.beacons = {Beacon(-9000.0, "DGU", 1020.0, IqKeying::Both, -6.0, 8.0),
                     Beacon(-2000.0, "KX", 400.0, IqKeying::Upper, -3.0, 7.0),
                     Beacon(5000.0, "RAM", 0.0, IqKeying::Carrier, -3.0, 9.0)};
    scene.carriers = {{12000.0, 10.0}};
    SurveyResult result;
    std::string message;
    auto t0 = std::chrono::steady_clock::now();
    std::string last;
    auto progress = [&](const std::string& stage, double, double) {
        if (stage != last) std::printf("%s at %.2f s\n", stage.c_str(), std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
        last = stage;
    };
    ASSERT_TRUE(RunBandSurvey(OpenerOf(scene), SurveyOptions{}, result, message, progress)) << message;
    std::printf("done at %.2f s\n", std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    for (const Carrier& c : result.carriers) std::printf("carrier %.2f Hz peak %.1f dB level %.1f dB\n", c.offsetHz, c.peakDb, c.LevelDb());
    for (const SurveyBeacon& b : result.beacons)
        std::printf("beacon %.2f %s %s %+.1f P %.3f score %.1f wpm %d %.0f-%.0f\n", b.carrierOffsetHz, b.ident.c_str(),
                    SidebandName(b.sideband), b.toneOffsetHz, b.periodSeconds, b.score, b.wpm, b.startSeconds, b.endSeconds);
}

}  // namespace
}  // namespace sorv
namespace sorv {
namespace {
TEST(SurveyScratch, WritesDemo) {
    IqScene scene;
    scene.rate = 48000.0;
    scene.centreHz = 400000.0;
    scene.seconds = 150.0;
    scene.beacons = {Beacon(-9000.0, "DGU", 1020.0, IqKeying::Both, -6.0, 8.0),
                     Beacon(-2000.0, "KX", 400.0, IqKeying::Upper, -3.0, 7.0),
                     Beacon(5000.0, "RAM", 0.0, IqKeying::Carrier, -3.0, 9.0)};
    scene.carriers = {{12000.0, 10.0}};
    ASSERT_TRUE(test::WriteIqWav("/tmp/survey_demo.wav", scene));
}
}
}
