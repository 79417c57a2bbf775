// Spectrogram rows made directly for the sensitive detector's tests and benchmark, with the
// statistics of real ones: each line's power is |signal + noise|^2 of a complex Gaussian noise
// of mean power 1 per line and a keyed tone of constant amplitude, so that a line's power is
// exponentially distributed without a tone and grows with the tone's noise. A beacon may leak
// into its neighbouring lines (at a power ratio per line) and click there at every key edge,
// as a strong keyed tone does in the producer's unwindowed transform. Reproducible from the
// seed.
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/sorvantel_doc.h"
#include "support/keyed_rows.h"

namespace sorv::test {

struct RowBeacon {
    std::string ident = "DGU";
    int line = 64;
    double periodSeconds = 8.0;
    double dotSeconds = 0.15;     // 8 wpm
    double startSeconds = 0.5;
    double snr = 1.0;             // tone power over the line's noise power while keyed
    double leakPerLine = 0.0;     // power ratio per line of distance (0: none)
    double clickPower = 0.0;      // power added for a row at each key edge, relative to snr
    bool secondHalfIdent = false; // with secondIdent: the ident changes halfway through
    std::string secondIdent;
};

struct RowRecording {
    int rows = 18750;             // 10 minutes at 31.25 rows per second
    double rowRate = 31.25;
    double scale = 1.0;           // every power times this
    int firstLine = 50, lastLine = 78;  // lines filled (the others stay 0)
    std::vector<RowBeacon> beacons;
    uint32_t seed = 1;
};

// Key-down fraction of a row for a beacon at a time.
inline double KeyDown(const std::vector<bool>& units, const RowBeacon& b, double seconds) {
    const double since = seconds - b.startSeconds;
    if (since < 0.0) return 0.0;
    const double phase = std::fmod(since, b.periodSeconds);
    const double u = phase / b.dotSeconds;
    return u < static_cast<double>(units.size()) && units[static_cast<size_t>(u)] ? 1.0 : 0.0;
}

inline std::unique_ptr<double[][kLines]> MakeRows(const RowRecording& r) {
    std::unique_ptr<double[][kLines]> power(new double[static_cast<size_t>(r.rows)][kLines]());
    std::mt19937 rng(r.seed);
    std::normal_distribution<double> gauss(0.0, std::sqrt(0.5));
    std::vector<std::vector<bool>> first, second;
    for (const RowBeacon& b : r.beacons) {
        first.push_back(KeyingUnits(b.ident));
        second.push_back(KeyingUnits(b.secondIdent.empty() ? b.ident : b.secondIdent));
    }
    std::vector<double> amplitude(kLines);
    std::vector<double> previous(r.beacons.size(), 0.0);
    for (int j = 0; j < r.rows; ++j) {
        const double t = j / r.rowRate;
        std::fill(amplitude.begin(), amplitude.end(), 0.0);
        std::vector<double> click(kLines, 0.0);
        for (size_t k = 0; k < r.beacons.size(); ++k) {
            const RowBeacon& b = r.beacons[k];
            const bool late = b.secondHalfIdent && j >= r.rows / 2;
            const double key = KeyDown(late ? second[k] : first[k], b, t);
            const bool edge = key != previous[k];
            previous[k] = key;
            for (int l = r.firstLine; l <= r.lastLine; ++l) {
                const int d = std::abs(l - b.line);
                const double share = d == 0 ? 1.0 : b.leakPerLine > 0.0 ? std::pow(b.leakPerLine, d) : 0.0;
                amplitude[static_cast<size_t>(l)] += key * std::sqrt(b.snr * share);
                if (edge && d > 0 && d <= 8) click[static_cast<size_t>(l)] += b.clickPower * b.snr / d;
            }
        }
        for (int l = r.firstLine; l <= r.lastLine; ++l) {
            const double re = amplitude[static_cast<size_t>(l)] + gauss(rng);
            const double im = gauss(rng);
            power[j][l] = r.scale * (re * re + im * im + click[static_cast<size_t>(l)]);
        }
    }
    return power;
}

}  // namespace sorv::test
