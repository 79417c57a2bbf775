#include "survey/beacon_merge.h"

#include <algorithm>
#include <array>
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

// A line hears a beacon of its own carrier when it reads it at a tenth of its best line's score
// or more; a neighbour's spill reaches one sideband only, and the other at most weakly.
constexpr double kOwnLineShare = 0.1;

// One ident at one period on one carrier, with the best score on each of its lines.
struct Heard {
    SurveyBeacon beacon;
    std::array<double, 4> scoreOn{};  // by Sideband
    bool dropped = false;

    // The carrier itself and the sidebands that hear it. The two sidebands combined count as
    // both when they read it better than either alone (a beacon too weak for each); otherwise
    // they only repeat what one of them holds.
    int LinesHearing() const {
        auto on = [&](Sideband s) { return scoreOn[static_cast<size_t>(s)]; };
        const double sides = std::max(on(Sideband::Upper), on(Sideband::Lower));
        const double best = std::max(on(Sideband::Carrier), sides);
        auto hears = [&](Sideband s) { return best > 0.0 && on(s) >= kOwnLineShare * best ? 1 : 0; };
        const int sidebands = on(Sideband::Both) > sides ? 2 : hears(Sideband::Upper) + hears(Sideband::Lower);
        return hears(Sideband::Carrier) + sidebands;
    }
};

SurveyBeacon BeaconOf(const ChannelDetection& d) {
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
    return b;
}

// Every detection joined to the ident heard at its period on its carrier, strongest first.
std::vector<Heard> HeardOnEachCarrier(const std::vector<ChannelDetection>& detections) {
    std::vector<ChannelDetection> sorted = detections;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const ChannelDetection& a, const ChannelDetection& b) { return a.score > b.score; });
    std::vector<Heard> heard;
    for (const ChannelDetection& d : sorted) {
        const size_t side = static_cast<size_t>(d.sideband);
        auto same = std::find_if(heard.begin(), heard.end(), [&](const Heard& h) {
            return h.beacon.carrier == d.carrier && SameKeying(h.beacon.ident, h.beacon.periodSeconds, d.ident, d.periodSeconds);
        });
        if (same != heard.end()) {
            same->beacon.startSeconds = std::min(same->beacon.startSeconds, d.startSeconds);
            same->beacon.endSeconds = std::max(same->beacon.endSeconds, d.endSeconds);
            same->scoreOn[side] = std::max(same->scoreOn[side], d.score);
            continue;
        }
        Heard h{BeaconOf(d), {}, false};
        h.scoreOn[side] = d.score;
        heard.push_back(h);
    }
    return heard;
}

// Of an ident heard on two carriers close together, the carrier that transmits it hears it on
// more of its lines, or on as many and more strongly.
bool Owns(const Heard& a, const Heard& b) {
    if (a.LinesHearing() != b.LinesHearing()) return a.LinesHearing() > b.LinesHearing();
    return a.beacon.score >= b.beacon.score;
}

}  // namespace

std::vector<SurveyBeacon> MergeDetections(const std::vector<ChannelDetection>& detections) {
    std::vector<Heard> heard = HeardOnEachCarrier(detections);
    for (size_t i = 0; i < heard.size(); ++i) {
        for (size_t j = 0; j < heard.size(); ++j) {
            Heard& a = heard[i];
            Heard& b = heard[j];
            if (i == j || a.dropped || b.dropped) continue;
            const SurveyBeacon& x = a.beacon;
            const SurveyBeacon& y = b.beacon;
            if (x.carrier == y.carrier) {
                // One carrier keys one ident at a period: another text there at the same period
                // is that keying misread on a line where it is weaker (a sideband's leftovers).
                if (x.ident != y.ident && SamePeriod(x.periodSeconds, y.periodSeconds) && x.score >= y.score)
                    b.dropped = true;
            } else if (SameKeying(x.ident, x.periodSeconds, y.ident, y.periodSeconds) &&
                       std::fabs(x.carrierOffsetHz - y.carrierOffsetHz) < kNeighbourHz && Owns(a, b)) {
                b.dropped = true;  // that carrier only overheard it
            }
        }
    }
    std::vector<SurveyBeacon> beacons;
    for (const Heard& h : heard)
        if (!h.dropped) beacons.push_back(h.beacon);
    std::sort(beacons.begin(), beacons.end(), [](const SurveyBeacon& a, const SurveyBeacon& b) {
        if (a.carrierOffsetHz != b.carrierOffsetHz) return a.carrierOffsetHz < b.carrierOffsetHz;
        return a.ident < b.ident;
    });
    return beacons;
}

}  // namespace sorv
