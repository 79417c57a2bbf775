// The carriers of a band, from its average spectrum: every narrow peak that stands above the
// noise floor by more than noise alone would ever reach, less the peaks that belong to a
// stronger carrier (its keying skirts, its modulation sidebands).
#pragma once

#include <optional>
#include <vector>

#include "survey/average_spectrum.h"

namespace sorv {

struct Carrier {
    double offsetHz = 0.0;      // from the centre of the recording
    double power = 0.0;         // full-scale power of the carrier (its peak's bins less the floor)
    double floorPerHz = 0.0;    // noise power per hertz around it
    double peakDb = 0.0;        // its strongest bin over the floor there, dB
    bool givenByHand = false;   // from --carriers rather than found
    bool seenInSpectrum = true; // false for a carrier given by hand that the spectrum does not show
    // Level over the noise in 2500 Hz, the way beacon levels are quoted.
    double LevelDb() const;
};

// The floor under each bin: a running median (over some 600 Hz) of the average spectrum, so
// that carriers, which occupy a few bins, do not raise it.
std::vector<double> NoiseFloor(const AverageSpectrum& spectrum);

// How far above the floor a bin of noise alone gets with the probability `tail`, as a factor:
// the average of `segments` exponential powers is a gamma variate of that shape.
double NoiseThresholdFactor(int segments, double tail);

struct CarrierSearch {
    // A carrier's channel reaches this far to either side; carriers nearer the edges of the
    // recording's band are passed over (the receiver's own filters roll off there).
    double channelHalfWidthHz = 1300.0;
    double tail = 1e-10;  // chance per bin that noise alone passes the threshold
};

// The carriers, lowest frequency first.
std::vector<Carrier> FindCarriers(const AverageSpectrum& spectrum, const CarrierSearch& search = {});

// A carrier the user named, at its offset from the centre: moved onto the peak within 25 Hz
// when the spectrum shows one there, else taken as given.
Carrier CarrierAt(const AverageSpectrum& spectrum, const std::vector<double>& floor, double offsetHz,
                  const CarrierSearch& search = {});

}  // namespace sorv
