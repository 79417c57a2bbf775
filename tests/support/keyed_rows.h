// Spectrogram rows made directly, without audio: noise in every line and, in one line, a Morse
// ident keyed on and off with a fixed repeat period. Fast enough to fill a whole store, and
// exactly reproducible from the seed.
#pragma once

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "support/morse_audio.h"

namespace sorv::test {

struct KeyedRowsSpec {
    std::string ident = "DGU";
    int line = 63;
    double rowRate = 31.25;     // rows per second (the start-up band)
    double periodSeconds = 9.0;
    int dotRows = 4;            // a dash is three dots; gaps one dot, three between letters
    double onPower = 5000.0;    // added to the line while keyed
    double noisePower = 1000.0; // every line: uniform noise 0 .. noisePower
    uint32_t seed = 7;
};

// Key-down flags per dot unit of one ident, from its first element to its last.
inline std::vector<bool> KeyingUnits(const std::string& ident) {
    std::vector<bool> units;
    for (char c : ident) {
        const std::string code = MorseCode(c);
        if (code.empty()) continue;
        if (!units.empty()) units.insert(units.end(), 3, false);
        for (size_t e = 0; e < code.size(); ++e) {
            if (e > 0) units.push_back(false);
            units.insert(units.end(), code[e] == '-' ? 3 : 1, true);
        }
    }
    return units;
}

inline void FillKeyedRows(double (*power)[128], int rows, const KeyedRowsSpec& spec) {
    std::mt19937 rng(spec.seed);
    std::uniform_real_distribution<double> noise(0.0, spec.noisePower);
    const std::vector<bool> units = KeyingUnits(spec.ident);
    for (int j = 0; j < rows; ++j) {
        for (int l = 0; l < 128; ++l) power[j][l] = noise(rng);
        const double phaseRows = std::fmod(j / spec.rowRate, spec.periodSeconds) * spec.rowRate;
        const size_t unit = static_cast<size_t>(phaseRows / spec.dotRows);
        if (unit < units.size() && units[unit]) power[j][spec.line] += spec.onPower;
    }
}

}  // namespace sorv::test
