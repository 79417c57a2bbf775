// Synthetic beacon audio for tests: a tone keyed with a Morse ident that repeats at a fixed
// period, optionally a steady carrier tone beside it, in white Gaussian noise. Unsigned 8-bit
// samples at 48000 per second, exactly reproducible from the seed on every machine (the noise
// uses its own Box-Muller transform over mt19937, not the library's distributions).
//
// Timing follows the usual amateur convention: one dot lasts 1.2 / wpm seconds, a dash three
// dots, the gap inside a letter one dot, between letters three dots. Each ident starts at
// firstIdentSeconds + k * periodSeconds; the rest of the period is silence (or noise).
//
//   MorseIdentSpec spec;                    // "DGU", 1000 Hz, 8 wpm, every 9 s
//   spec.ident = "ABC";
//   spec.noiseRms = 20;                     // in 8-bit counts
//   FeedMorseIdent(doc, spec, 180.0);       // three minutes through ProcessSample
//
// or, for a stream fed in pieces:
//   MorseIdentAudio audio(spec);
//   std::vector<uint8_t> second = audio.Take(48000);
#pragma once

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "engine/sorvantel_doc.h"

namespace sorv::test {

// Dots and dashes of a letter or digit ("L" -> ".-.."), empty for anything else.
inline std::string MorseCode(char c) {
    static const char* const kLetters[26] = {
        ".-",   "-...", "-.-.", "-..",  ".",   "..-.", "--.",  "....", "..",   ".---", "-.-",  ".-..", "--",
        "-.",   "---",  ".--.", "--.-", ".-.", "...",  "-",    "..-",  "...-", ".--",  "-..-", "-.--", "--.."};
    static const char* const kDigits[10] = {"-----", ".----", "..---", "...--", "....-",
                                            ".....", "-....", "--...", "---..", "----."};
    const unsigned char u = static_cast<unsigned char>(c);
    if (std::isalpha(u)) return kLetters[std::toupper(u) - 'A'];
    if (std::isdigit(u)) return kDigits[u - '0'];
    return {};
}

struct MorseIdentSpec {
    std::string ident = "DGU";       // letters and digits; a space is a word gap (7 dots)
    double toneHz = 1000.0;          // audio frequency of the keyed tone
    double toneAmplitude = 40.0;     // peak of the keyed tone, 8-bit counts
    double wpm = 8.0;                // dot = 1.2 / wpm seconds
    double periodSeconds = 9.0;      // the ident starts again every period
    double firstIdentSeconds = 0.5;  // start of the first ident
    double rampSeconds = 0.004;      // raised-cosine key edges, against key clicks
    double noiseRms = 0.0;           // white Gaussian noise, rms in 8-bit counts
    double carrierHz = 0.0;          // optional steady tone (0: none)
    double carrierAmplitude = 0.0;
    uint32_t seed = 1;
};

// The keying of one ident as (on, off) times in seconds from the ident's start.
inline std::vector<std::pair<double, double>> MorseKeying(const std::string& ident, double wpm) {
    const double dot = 1.2 / wpm;
    std::vector<std::pair<double, double>> marks;
    double t = 0.0;
    bool letterDone = false;
    for (char c : ident) {
        if (c == ' ') {
            t += 4 * dot;  // the 3-dot letter gap already counted, plus 4 makes a word gap
            continue;
        }
        const std::string code = MorseCode(c);
        if (code.empty()) continue;
        if (letterDone) t += 2 * dot;  // one dot after the last element already, plus two
        for (char e : code) {
            const double len = e == '-' ? 3 * dot : dot;
            marks.emplace_back(t, t + len);
            t += len + dot;
        }
        letterDone = true;
    }
    return marks;
}

// Duration of one ident's keying, from the first key-down to the last key-up, in seconds.
inline double MorseIdentSeconds(const std::string& ident, double wpm) {
    const auto marks = MorseKeying(ident, wpm);
    return marks.empty() ? 0.0 : marks.back().second;
}

class MorseIdentAudio {
public:
    explicit MorseIdentAudio(const MorseIdentSpec& spec)
        : spec_(spec), marks_(MorseKeying(spec.ident, spec.wpm)), rng_(spec.seed) {}

    // Envelope of the keyed tone at a time, 0 (up) to 1 (down), with the ramps.
    double KeyAt(double seconds) const {
        if (spec_.periodSeconds <= 0.0) return 0.0;
        const double since = seconds - spec_.firstIdentSeconds;
        if (since < 0.0) return 0.0;
        const double t = std::fmod(since, spec_.periodSeconds);
        const double r = spec_.rampSeconds;
        for (const auto& [on, off] : marks_) {
            if (t < on || t >= off) continue;
            const double edge = std::min(t - on, off - t);
            if (r <= 0.0 || edge >= r) return 1.0;
            return 0.5 - 0.5 * std::cos(M_PI * edge / r);
        }
        return 0.0;
    }
    bool KeyedAt(double seconds) const { return KeyAt(seconds) > 0.5; }

    uint8_t NextSample() {
        const double t = static_cast<double>(n_) / 48000.0;
        double v = 128.0;
        const double key = KeyAt(t);
        if (key > 0.0) v += spec_.toneAmplitude * key * std::sin(2 * M_PI * spec_.toneHz * t);
        if (spec_.carrierAmplitude != 0.0) v += spec_.carrierAmplitude * std::sin(2 * M_PI * spec_.carrierHz * t);
        if (spec_.noiseRms > 0.0) v += spec_.noiseRms * Gaussian();
        ++n_;
        const long r = std::lround(v);
        return static_cast<uint8_t>(r < 0 ? 0 : r > 255 ? 255 : r);
    }
    void Fill(uint8_t* out, size_t count) {
        for (size_t i = 0; i < count; ++i) out[i] = NextSample();
    }
    std::vector<uint8_t> Take(size_t count) {
        std::vector<uint8_t> out(count);
        Fill(out.data(), count);
        return out;
    }
    size_t SamplesSoFar() const { return n_; }
    const MorseIdentSpec& spec() const { return spec_; }

private:
    double Uniform() { return (static_cast<double>(rng_() >> 8) + 0.5) / 16777216.0; }  // (0, 1)
    double Gaussian() {
        if (haveSpare_) {
            haveSpare_ = false;
            return spare_;
        }
        const double r = std::sqrt(-2.0 * std::log(Uniform()));
        const double a = 2 * M_PI * Uniform();
        spare_ = r * std::sin(a);
        haveSpare_ = true;
        return r * std::cos(a);
    }

    MorseIdentSpec spec_;
    std::vector<std::pair<double, double>> marks_;
    std::mt19937 rng_;
    size_t n_ = 0;
    bool haveSpare_ = false;
    double spare_ = 0.0;
};

// Synthesises `seconds` of the ident and feeds it through the spectrogram producer, one
// second at a time (as capture would), without holding the whole recording in memory.
inline void FeedMorseIdent(CSorvantelDoc& doc, MorseIdentAudio& audio, double seconds) {
    std::vector<uint8_t> block(48000);
    size_t left = static_cast<size_t>(seconds * 48000.0);
    while (left > 0) {
        const size_t n = std::min(left, block.size());
        audio.Fill(block.data(), n);
        for (size_t i = 0; i < n; ++i) doc.ProcessSample(block[i]);
        left -= n;
    }
}
inline void FeedMorseIdent(CSorvantelDoc& doc, const MorseIdentSpec& spec, double seconds) {
    MorseIdentAudio audio(spec);
    FeedMorseIdent(doc, audio, seconds);
}

// The whole of `seconds` of the ident as one block of samples.
inline std::vector<uint8_t> MorseIdentSamples(const MorseIdentSpec& spec, double seconds) {
    MorseIdentAudio audio(spec);
    return audio.Take(static_cast<size_t>(seconds * 48000.0));
}

}  // namespace sorv::test
