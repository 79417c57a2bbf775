// Where a beacon's signals lie in the audio of its channel. The channel is what a receiver in
// upper sideband gives when its dial is set 1800 Hz below the carrier: the carrier sounds at
// 1800 Hz, the upper sideband above it and the lower sideband below, within a 2400 Hz band
// (600 to 3000 Hz) that the engine analyses with 18.75 Hz lines at 37.5 rows a second (its
// decimation is 20, two rows per frame). That band holds the carrier and both usual
// modulation tones, about 400 Hz and about 1020 Hz, on both sides at once.
//
// The carrier's place is chosen so that the engine's decimation does not fold one beacon
// signal onto another: the 2400 Hz decimated rate folds the audio mirror of a component at
// 1800 + x Hz to 1800 + 1200 - x or 1800 - 1200 - x, which for the carrier and tones is never
// another tone's line.
#pragma once

#include <string>
#include <vector>

namespace sorv {

constexpr double kChannelToneHz = 1800.0;  // the carrier's audio frequency
constexpr int kChannelBandLow = 600;
constexpr int kChannelBandHigh = 3000;
constexpr int kChannelRowsPerFrame = 2;
constexpr double kChannelLineHz = 18.75;   // 48000 / (128 * 20)
constexpr double kChannelRowRate = 37.5;   // rows per second
constexpr int kChannelSlotRate = 2400;     // the engine's decimated rate
constexpr int kChannelCarrierLine = 63;    // the producer's line of its mixing frequency

// The modulation tones searched, offsets from the carrier in hertz.
constexpr double kLowToneMinHz = 370.0, kLowToneMaxHz = 430.0;
constexpr double kHighToneMinHz = 970.0, kHighToneMaxHz = 1070.0;
constexpr double kCarrierSpreadHz = 10.0;  // a keyed carrier: its own line and one to each side

enum class Sideband { Carrier, Upper, Lower, Both };
const char* SidebandName(Sideband s);  // "carrier", "upper", "lower", "both"

// A run of adjacent lines searched together: the carrier's lines, or one tone on one side.
// Lines are numbered as the producer numbers them: line 63 + k holds the carrier's offset
// k * 18.75 Hz. Both = the two sidebands combined, computed beside the engine.
struct LineGroup {
    Sideband sideband = Sideband::Carrier;
    int first = 0, last = -1;  // inclusive
    int Count() const { return last - first + 1; }
};

// The carrier's lines and the four tone ranges of the engine's rows.
const std::vector<LineGroup>& ReceiverLineGroups();
// The two tone ranges of the combined sidebands, numbered like the upper sideband's lines.
const std::vector<LineGroup>& CombinedLineGroups();

// The offset from the carrier of a line, in hertz (negative below the carrier).
inline double LineOffsetHz(int line) { return (line - kChannelCarrierLine) * kChannelLineHz; }

}  // namespace sorv
