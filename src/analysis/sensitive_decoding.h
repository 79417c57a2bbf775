// The sensitive search's reading of a folded trace. The trace of a keyed beacon has two
// levels, key up and key down; the threshold between them is taken from the trace itself (the
// split that best separates its values into two groups, then the midpoint of the two groups'
// means). The on and off runs must then fit Morse timing: on runs of one or three units, gaps
// of one or three units inside the ident, and one long silence, the gap between repetitions.
// The unit is the one that fits the runs best within the allowed speeds. Only a reading that
// fits, and spells one to four letters or digits of the Morse table with at least two
// key-downs (a lone key-down is a dot at one speed and a dash at another), is plausible.
#pragma once

#include <string>

namespace sorv {

struct KeyingTiming {
    double unit = 0.0;  // rows per dot
    double bias = 0.0;  // rows that on runs are longer (and gaps shorter) than their units
};

struct KeyingReading {
    std::string text;      // the letters read (also when implausible, for diagnostics)
    KeyingTiming timing;
    double threshold = 0.0;  // between key up and key down, on the smoothed trace
    double misfit = 0.0;   // rms distance of the runs from whole units, in units
    bool plausible = false;
    const char* reason = "";  // why not, when not plausible
};

struct UnitRange {
    double shortest = 0.0;  // rows per dot
    double longest = 0.0;
};

// Reads trace[0..n-1] (one period, circular). The halves of a recording are read with the
// timing and the threshold of the whole (their traces have the same levels, with more noise):
// then only the on/off decisions are the trace's own.
KeyingReading ReadKeying(const double* trace, int n, const UnitRange& units);
KeyingReading ReadKeyingLike(const double* trace, int n, const KeyingReading& whole);

// The unit range for automatic speed: 4.5 to 16 words per minute, a dot lasting 1.2 / wpm
// seconds; and for a speed the user set (dot 1 / wpm seconds in the program's own convention),
// from 0.8 to 1.5 times that dot, which covers both conventions.
UnitRange AutomaticUnits(double rowRate);
UnitRange UnitsForSpeed(double rowRate, int wpm);

// The speed the program records for a reading: as the designed decoding derives it from the
// dash, counted as a run (its length less one row).
int WpmOfTiming(double rowRate, const KeyingTiming& timing);

}  // namespace sorv
