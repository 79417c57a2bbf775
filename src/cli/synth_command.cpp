// synth: receiver audio for the demo, the round trips and the sensitivity measurements, written
// as an 8-bit 48 kHz WAV (or 16-bit stereo at 44.1 kHz).
#include <vector>

#include "audio/synth/receiver_audio.h"
#include "audio/synth/wav_file_writer.h"
#include "cli/cli_commands.h"
#include "engine/text_format.h"

namespace sorv {

namespace {

std::string DescribeNoiseKinds(const SynthSpec& s, const ReceiverAudio& audio) {
    std::string text;
    if (s.crashes.perSecond > 0.0)
        text += FormatC(", %g crashes/s at %g..%g dB, %g ms (%llu made)", s.crashes.perSecond,
                        s.crashes.levelDb - s.crashes.spreadDb / 2.0, s.crashes.levelDb + s.crashes.spreadDb / 2.0,
                        s.crashes.milliseconds, static_cast<unsigned long long>(audio.Crashes()));
    if (s.noiseDriftDb != 0.0) text += FormatC(", noise drifting by %+g dB", s.noiseDriftDb);
    if (s.noiseWanderDb > 0.0)
        text += FormatC(", noise wandering by %g dB over %g s", s.noiseWanderDb, s.noiseWanderSeconds);
    if (s.noiseTiltDbPerOctave != 0.0) text += FormatC(", noise tilted %+g dB/octave", s.noiseTiltDbPerOctave);
    if (s.humHz > 0.0) text += FormatC(", %g Hz hum at %+g dB", s.humHz, s.humLevelDb);
    if (s.qsbDb > 0.0) text += FormatC(", random fading of %g dB over %g s", s.qsbDb, s.qsbSeconds);
    if (s.agc.on)
        text += FormatC(", AGC %g/%g ms above %+g dB", s.agc.attackMs, s.agc.decayMs, s.agc.thresholdDb);
    return text;
}

std::string Describe(const SynthCommand& c, const ReceiverAudio& audio) {
    std::string text = FormatC("%s: %.1f min", c.output.c_str(), c.spec.seconds / 60.0);
    if (c.spec.format == SynthFormat::Stereo16Bit44k) text += ", 16-bit stereo 44100 Hz";
    for (const SynthIdent& id : c.spec.idents)
        text += FormatC(", %s at %g Hz every %g s, %g wpm, %+g dB", id.ident.c_str(), id.toneHz, id.periodSeconds,
                        id.wpm, id.levelDb);
    for (const SynthCarrier& s : c.spec.carriers) text += FormatC(", carrier at %g Hz, %+g dB", s.toneHz, s.levelDb);
    if (c.spec.withNoise)
        text += FormatC(", SNR %g dB in 2500 Hz (noise %.1f counts rms, 0 dB = %.2f counts peak), seed %u",
                        c.spec.snrDb, audio.NoiseRms(), audio.ReferenceAmplitude(), c.spec.seed);
    text += DescribeNoiseKinds(c.spec, audio);
    if (audio.ClippedSamples() > 0)
        text += FormatC("; %llu samples clipped", static_cast<unsigned long long>(audio.ClippedSamples()));
    return text;
}

bool WriteAll(ReceiverAudio& audio, WavFileWriter& writer, SynthFormat format, std::string& error) {
    if (format == SynthFormat::Stereo16Bit44k) {
        std::vector<int16_t> block(44100);
        while (const size_t n = audio.Fill(block.data(), block.size()))
            if (!writer.WriteEveryChannel(block.data(), n, error)) return false;
        return true;
    }
    std::vector<uint8_t> block(48000);
    while (const size_t n = audio.Fill(block.data(), block.size()))
        if (!writer.Write(block.data(), n, error)) return false;
    return true;
}

}  // namespace

int RunSynth(const SynthCommand& command, CliStreams& streams) {
    ReceiverAudio audio(command.spec);
    WavFileWriter writer;
    std::string error;
    const WavFormat format = command.spec.format == SynthFormat::Stereo16Bit44k ? WavFormat{2, 44100, 16} : WavFormat{};
    if (!writer.Open(command.output, format, error) || !WriteAll(audio, writer, command.spec.format, error) ||
        !writer.Close(error)) {
        streams.err << "sorvantel-cli: " << error << '\n';
        return 1;
    }
    streams.err << Describe(command, audio) << '\n';
    return 0;
}

}  // namespace sorv
