// From the detections of every channel to the beacons of the band: a beacon is usually found
// on more than one line (both sidebands, the combined sidebands, the carrier of a keyed-carrier
// beacon that also keys a tone) and in more than one stretch of a long recording; and a strong
// beacon's keying can reach a neighbouring carrier's tone lines, where it reads the same.
#pragma once

#include <string>
#include <vector>

#include "survey/channel_layout.h"

namespace sorv {

struct ChannelDetection {
    int carrier = -1;           // index into the survey's carriers
    double carrierOffsetHz = 0.0;
    Sideband sideband = Sideband::Carrier;
    int line = -1;
    double toneOffsetHz = 0.0;  // the keyed line's offset from the carrier (negative below it)
    double periodSeconds = 0.0;
    double score = 0.0;         // noise units
    std::string ident;
    int wpm = 0;
    double startSeconds = 0.0;  // the stretch of the recording searched
    double endSeconds = 0.0;
};

struct SurveyBeacon {
    int carrier = -1;
    double carrierOffsetHz = 0.0;
    std::string ident;
    Sideband sideband = Sideband::Carrier;  // where it was read best
    double toneOffsetHz = 0.0;
    double periodSeconds = 0.0;
    double score = 0.0;
    int wpm = 0;
    double startSeconds = 0.0;  // from the first stretch it was found in to the end of the last
    double endSeconds = 0.0;
};

// The same ident at the same period (within 0.5 %) is one beacon per carrier, described by its
// best detection; of two carriers less than 2.5 kHz apart that both show it, the one that
// hears it on more of its lines (the carrier and the two sidebands, each at a tenth of the
// best of them or more) keeps it, or on as many, the one where it scores higher. A different ident at the same period on the same
// carrier is a misreading of the stronger one and dropped. Beacons come out in carrier order,
// then by ident.
std::vector<SurveyBeacon> MergeDetections(const std::vector<ChannelDetection>& detections);

}  // namespace sorv
