// Every candidate the sensitive detector judges in one recording, one line each, so that a
// missed ident can be followed to the step that let it go (its line never stood out, its
// period was wrong, its reading fell short of the margin or the halves disagreed).
//
//   sorvantel_detector_trace FILE.wav [--all]  > candidates.tsv
//
// --all reads every candidate whatever its bound, as the calibration does. Columns: those of
// candidate_columns.h.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "analysis/beacon_detector.h"
#include "audio/file/audio_file_reader.h"
#include "candidate_columns.h"

using namespace sorv;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE.wav [--all] [--gain DB]\n", argv[0]);
        return 2;
    }
    AudioImportOptions options;
    bool all = false;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--all") == 0) all = true;
        if (std::strcmp(argv[i], "--gain") == 0 && i + 1 < argc) options.gainDb = std::atof(argv[++i]);
    }
    AudioFileReader reader;
    std::string error;
    if (!reader.Open(argv[1], options, error)) {
        std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
        return 1;
    }
    BeaconDetectorSettings settings;
    settings.threads = 2;
    settings.readEverything = all;
    settings.observer = [](const CandidateRecord& c) { PrintCandidateColumns(c); };
    BeaconDetector detector(settings);
    std::vector<uint8_t> block(48000);
    for (;;) {
        const size_t n = reader.Read(block.data(), block.size());
        detector.AddAudio(block.data(), n);
        if (n < block.size()) break;
    }
    detector.Finish();
    if (!reader.Error().empty()) std::fprintf(stderr, "%s: %s\n", argv[1], reader.Error().c_str());
    return 0;
}
