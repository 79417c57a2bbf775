// The sensitive detector's calibration on noise: recordings of one kind of noise alone (see
// tests/support/noise_kinds.h), each searched as a whole by the detector, every candidate it
// reads written as one line, so that the distributions behind its thresholds can be studied
// and the rate of false identifications per 100 hours estimated (docs/sensitivity.md).
//
//   sorvantel_detector_calibration KIND HOURS [MINUTES_EACH] [FIRST_SEED]  > candidates.tsv
//
// KIND: white, impulsive, drifting, coloured, carriers. Columns: kind, seed, then those of
// candidate_columns.h. A summary goes to stderr.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "analysis/beacon_detector.h"
#include "candidate_columns.h"
#include "support/noise_kinds.h"

using namespace sorv;

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s white|impulsive|drifting|coloured|carriers HOURS [MINUTES_EACH] [FIRST_SEED]\n",
                     argv[0]);
        return 2;
    }
    const std::string kindName = argv[1];
    test::NoiseKind kind = test::NoiseKind::White;
    bool known = false;
    for (test::NoiseKind k : {test::NoiseKind::White, test::NoiseKind::Impulsive, test::NoiseKind::Drifting,
                              test::NoiseKind::Coloured, test::NoiseKind::Carriers})
        if (kindName == test::NoiseKindName(k)) {
            kind = k;
            known = true;
        }
    const double hours = std::atof(argv[2]);
    const double minutes = argc > 3 ? std::atof(argv[3]) : 35.0;
    const unsigned firstSeed = argc > 4 ? static_cast<unsigned>(std::atoi(argv[4])) : 1000u;
    if (!known || !(hours > 0.0) || !(minutes > 0.0)) {
        std::fprintf(stderr, "%s: a noise kind, and hours and minutes above 0\n", argv[0]);
        return 2;
    }
    long candidates = 0, read = 0, accepted = 0;
    int recordings = 0;
    std::vector<uint8_t> block(48000);
    for (double done = 0.0; done < hours * 60.0; done += minutes) {
        const unsigned seed = firstSeed + static_cast<unsigned>(recordings++);
        test::NoiseRecording spec;
        spec.kind = kind;
        spec.seconds = minutes * 60.0;
        spec.seed = seed;
        test::NoiseKindAudio audio(spec);
        BeaconDetectorSettings settings;
        settings.threads = 2;
        settings.readEverything = true;
        settings.observer = [&](const CandidateRecord& c) {
            ++candidates;
            read += c.read ? 1 : 0;
            accepted += c.accepted ? 1 : 0;
            std::printf("%s\t%u\t", kindName.c_str(), seed);
            PrintCandidateColumns(c);
        };
        BeaconDetector detector(settings);
        for (;;) {
            const size_t n = audio.Fill(block.data(), block.size());
            detector.AddAudio(block.data(), n);
            if (n < block.size()) break;
        }
        detector.Finish();
        std::fflush(stdout);
    }
    std::fprintf(stderr, "%s: %d recordings of %.0f minutes (%.1f h): %ld candidates, %ld read, %ld accepted\n",
                 kindName.c_str(), recordings, minutes, recordings * minutes / 60.0, candidates, read, accepted);
    return 0;
}
