// Writes the band survey's benchmark recording: a 16-bit two-channel I/Q WAV at 192 kHz with
// 40 beacons spread over 180 kHz (tones of 400 and 1020 Hz on one or both sidebands, some
// keyed carriers, levels from +10 to -18 dB in 2500 Hz) and two carriers without ident.
//
//   sorvantel_iq_scene_writer OUT.wav [MINUTES [RATE [BEACONS]]]   (60 minutes, 192000 Hz, 40)
//
// With a lower rate or fewer beacons, the first beacons of the same plan that fit.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/iq_beacons.h"

int main(int argc, char** argv) {
    using namespace sorv::test;
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUT.wav [MINUTES]\n", argv[0]);
        return 2;
    }
    IqScene scene;
    scene.rate = argc > 3 ? std::atof(argv[3]) : 192000.0;
    const int beacons = argc > 4 ? std::atoi(argv[4]) : 40;
    scene.centreHz = 400000.0;
    scene.seconds = (argc > 2 ? std::atof(argv[2]) : 60.0) * 60.0;
    scene.noisePower = 1e-4;
    scene.seed = 11;
    const char* letters = "ABDEGKLMNOPRSTUWXYZ";
    for (int i = 0; i < beacons; ++i) {
        IqBeacon b;
        b.offsetHz = -88000.0 * scene.rate / 192000.0 + i * 4400.0 + (i % 3) * 130.0;
        if (b.offsetHz > 0.46 * scene.rate) break;
        b.ident = std::string(1, letters[i % 19]) + letters[(i * 7 + 3) % 19] + (i % 2 ? std::string(1, letters[(i * 5) % 19]) : "");
        b.toneHz = i % 2 ? 400.0 : 1020.0;
        b.keying = i % 10 == 9 ? IqKeying::Carrier : i % 7 == 3 ? IqKeying::Upper : IqKeying::Both;
        b.toneDb = 10.0 - (i % 8) * 4.0;  // +10 to -18
        b.carrierDb = b.toneDb + 6.0;
        b.wpm = 6.0 + (i % 5);
        // Long enough for the ident and a pause of at least 2.5 s after it.
        b.periodSeconds = std::max(6.0 + (i % 9) * 0.75, std::ceil(sorv::MorseIdentSeconds(b.ident, b.wpm) + 2.5));
        b.firstSeconds = 0.2 + (i % 4) * 0.9;
        scene.beacons.push_back(b);
    }
    scene.carriers = {{-0.47 * scene.rate, 3.0}, {0.465 * scene.rate, -6.0}};
    SF_INFO sf{};
    sf.samplerate = static_cast<int>(scene.rate);
    sf.channels = 2;
    sf.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(argv[1], SFM_WRITE, &sf);
    if (!f) {
        std::fprintf(stderr, "%s: %s\n", argv[1], sf_strerror(nullptr));
        return 1;
    }
    IqBeaconSource source(scene);
    std::vector<std::complex<float>> block(1 << 16);
    std::vector<float> frames(block.size() * 2);
    for (;;) {
        const size_t n = source.Read(block.data(), block.size());
        for (size_t i = 0; i < n; ++i) {
            frames[2 * i] = block[i].real();
            frames[2 * i + 1] = block[i].imag();
        }
        sf_writef_float(f, frames.data(), static_cast<sf_count_t>(n));
        if (n < block.size()) break;
    }
    return sf_close(f) == 0 ? 0 : 1;
}
