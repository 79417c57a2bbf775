// The speeds the sensitive detector reads at, and the speed it records for a reading.
#pragma once

namespace sorv {

struct KeyingTiming {
    double unit = 0.0;  // rows per dot
    double bias = 0.0;  // rows that on runs are longer (and gaps shorter) than their units
};

struct UnitRange {
    double shortest = 0.0;  // rows per dot
    double longest = 0.0;
};

// The unit range for automatic speed: 4.5 to 16 words per minute, a dot lasting 1.2 / wpm
// seconds; and for a speed the user set (dot 1 / wpm seconds in the program's own convention),
// from 0.8 to 1.5 times that dot, which covers both conventions.
UnitRange AutomaticUnits(double rowRate);
UnitRange UnitsForSpeed(double rowRate, int wpm);

// The speed the program records for a reading: as the designed decoding derives it from the
// dash, counted as a run (its length less one row).
int WpmOfTiming(double rowRate, const KeyingTiming& timing);

}  // namespace sorv
