#include "survey/beacon_merge.h"

#include <algorithm>
#include <cmath>

namespace sorv {

namespace {

constexpr double kSamePeriod = 0.005;     // relative
constexpr double kNeighbourHz = 2500.0;   // a channel's band reaches 1200 Hz to either side

bool SamePeriod(double periodA, double periodB) {
    return std::fabs(periodA - periodB) <= kSamePeriod * std::max(periodA, periodB);
}

bool SameKeying(const std::string& identA, double periodA, const std::string& identB, double periodB) {
    return identA == identB && SamePeriod(periodA, periodB);
}

}  // namespace

std::vector<SurveyBeacon> MergeDetections(const std::vector<ChannelDetection>& detections) {
    // Strongest first, so that each beacon is described by its best reading.
    std::vector<ChannelDetection> sorted = detections;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const ChannelDetection& a, const ChannelDetection& b) { return a.score > b.score; });
    std::vector<SurveyBeacon> beacons;
    for (const ChannelDetection& d : sorted) {
        bool merged = false;
        for (SurveyBeacon& b : beacons) {
            // One carrier keys one ident at a period: another text there at the same period is
            // that keying misread on a line where it is weaker (a sideband's leftovers).
            if (b.carrier == d.carrier && b.ident != d.ident && SamePeriod(b.periodSeconds, d.periodSeconds)) {
                merged = true;
                break;
            }
            if (!SameKeying(b.ident, b.periodSeconds, d.ident, d.periodSeconds)) continue;
            if (b.carrier == d.carrier) {
                b.startSeconds = std::min(b.startSeconds, d.startSeconds);
                b.endSeconds = std::max(b.endSeconds, d.endSeconds);
                merged = true;
                break;
            }
            // Read more weakly on a neighbouring carrier: that carrier only overheard it.
            if (std::fabs(b.carrierOffsetHz - d.carrierOffsetHz) < kNeighbourHz) {
                merged = true;
                break;
            }
        }
        if (merged) continue;
        SurveyBeacon b;
        b.carrier = d.carrier;
        b.carrierOffsetHz = d.carrierOffsetHz;
        b.ident = d.ident;
        b.sideband = d.sideband;
        b.toneOffsetHz = d.toneOffsetHz;
        b.periodSeconds = d.periodSeconds;
        b.score = d.score;
        b.wpm = d.wpm;
        b.startSeconds = d.startSeconds;
        b.endSeconds = d.endSeconds;
        beacons.push_back(b);
    }
    std::sort(beacons.begin(), beacons.end(), [](const SurveyBeacon& a, const SurveyBeacon& b) {
        if (a.carrierOffsetHz != b.carrierOffsetHz) return a.carrierOffsetHz < b.carrierOffsetHz;
        return a.ident < b.ident;
    });
    return beacons;
}

}  // namespace sorv
