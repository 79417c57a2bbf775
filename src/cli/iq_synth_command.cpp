// synth --iq: an SDR's I/Q recording of a band of beacons, written as WAV (RF64 past 4 GiB).
#include <vector>

#include "audio/synth/iq_synth.h"
#include "audio/synth/iq_wav_writer.h"
#include "cli/cli_commands.h"
#include "engine/text_format.h"

namespace sorv {

namespace {

const char* KeyingName(IqKeying k) {
    switch (k) {
        case IqKeying::Upper: return "tone above";
        case IqKeying::Lower: return "tone below";
        case IqKeying::Both: return "tone on both sides";
        case IqKeying::Carrier: return "keyed carrier";
    }
    return "";
}

std::string Describe(const IqSynthCommand& c, const IqSynthesiser& synth, bool rf64) {
    const IqSynthSpec& s = c.spec;
    std::string text = FormatC("%s: %s, %.1f min at %g Hz around %g kHz", c.output.c_str(), rf64 ? "RF64" : "WAV",
                               s.seconds / 60.0, s.sampleRate, s.centreKHz);
    for (const IqBeacon& b : s.beacons) {
        text += FormatC(", %s at %g kHz (%s", b.ident.c_str(), b.carrierKHz, KeyingName(b.keying));
        if (b.keying != IqKeying::Carrier) text += FormatC(" %g Hz", b.toneHz);
        text += FormatC(", every %g s, %g wpm, %+g dB)", b.periodSeconds, b.wpm, b.levelDb);
    }
    for (const IqSteadyCarrier& k : s.carriers) text += FormatC(", carrier at %g kHz, %+g dB", k.kHz, k.levelDb);
    if (s.withNoise)
        text += FormatC(", SNR %g dB in 2500 Hz (noise %.4f rms, 0 dB tone %.5f peak), seed %u", s.snrDb,
                        synth.NoiseRms(), synth.ReferenceAmplitude(), s.seed);
    return text;
}

}  // namespace

int RunIqSynth(const IqSynthCommand& command, CliStreams& streams) {
    IqSynthesiser synth(command.spec);
    IqWavSpec wav;
    wav.sampleRate = command.spec.sampleRate;
    wav.format = command.format;
    wav.frames = synth.TotalSamples();
    wav.centreHz = command.spec.centreKHz * 1000.0;
    wav.startUtc = command.spec.startUtc;
    IqWavWriter writer;
    std::string error;
    if (!writer.Open(command.output, wav, error)) {
        streams.err << "sorvantel-cli: " << error << '\n';
        return 1;
    }
    std::vector<std::complex<float>> block(65536);
    while (const size_t n = synth.Fill(block.data(), block.size())) {
        if (!writer.Write(block.data(), n, error)) {
            streams.err << "sorvantel-cli: " << error << '\n';
            return 1;
        }
    }
    if (!writer.Close(error)) {
        streams.err << "sorvantel-cli: " << error << '\n';
        return 1;
    }
    streams.err << Describe(command, synth, writer.Rf64()) << '\n';
    if (writer.ClippedSamples() > 0)
        streams.err << FormatC("sorvantel-cli: %llu samples were clipped to 16 bits\n",
                               static_cast<unsigned long long>(writer.ClippedSamples()));
    return 0;
}

}  // namespace sorv
