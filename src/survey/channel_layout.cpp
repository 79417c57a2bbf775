#include "survey/channel_layout.h"

#include <cmath>

namespace sorv {

namespace {

LineGroup GroupFor(Sideband side, double fromHz, double toHz) {
    // The lines whose 18.75 Hz span reaches into the range.
    LineGroup g;
    g.sideband = side;
    g.first = kChannelCarrierLine + static_cast<int>(std::floor(fromHz / kChannelLineHz));
    g.last = kChannelCarrierLine + static_cast<int>(std::ceil(toHz / kChannelLineHz));
    return g;
}

}  // namespace

const char* SidebandName(Sideband s) {
    switch (s) {
        case Sideband::Carrier: return "carrier";
        case Sideband::Upper: return "upper";
        case Sideband::Lower: return "lower";
        case Sideband::Both: return "both";
    }
    return "";
}

const std::vector<LineGroup>& ReceiverLineGroups() {
    static const std::vector<LineGroup> groups = {
        GroupFor(Sideband::Lower, -kHighToneMaxHz, -kHighToneMinHz),
        GroupFor(Sideband::Lower, -kLowToneMaxHz, -kLowToneMinHz),
        GroupFor(Sideband::Carrier, -kCarrierSpreadHz, kCarrierSpreadHz),
        GroupFor(Sideband::Upper, kLowToneMinHz, kLowToneMaxHz),
        GroupFor(Sideband::Upper, kHighToneMinHz, kHighToneMaxHz),
    };
    return groups;
}

const std::vector<LineGroup>& CombinedLineGroups() {
    static const std::vector<LineGroup> groups = {
        GroupFor(Sideband::Both, kLowToneMinHz, kLowToneMaxHz),
        GroupFor(Sideband::Both, kHighToneMinHz, kHighToneMaxHz),
    };
    return groups;
}

}  // namespace sorv
