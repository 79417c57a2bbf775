// synth: receiver audio for the demo and the round trips, written as an 8-bit 48 kHz WAV.
#include <vector>

#include "audio/synth/receiver_audio.h"
#include "audio/synth/wav_file_writer.h"
#include "cli/cli_commands.h"
#include "engine/text_format.h"

namespace sorv {

namespace {

std::string Describe(const SynthCommand& c, const ReceiverAudio& audio) {
    std::string text = FormatC("%s: %.1f min", c.output.c_str(), c.spec.seconds / 60.0);
    for (const SynthIdent& id : c.spec.idents)
        text += FormatC(", %s at %g Hz every %g s, %g wpm, %+g dB", id.ident.c_str(), id.toneHz, id.periodSeconds,
                        id.wpm, id.levelDb);
    for (const SynthCarrier& s : c.spec.carriers) text += FormatC(", carrier at %g Hz, %+g dB", s.toneHz, s.levelDb);
    if (c.spec.withNoise)
        text += FormatC(", SNR %g dB in 2500 Hz (noise %.1f counts rms, 0 dB = %.2f counts peak), seed %u",
                        c.spec.snrDb, audio.NoiseRms(), audio.ReferenceAmplitude(), c.spec.seed);
    return text;
}

}  // namespace

int RunSynth(const SynthCommand& command, CliStreams& streams) {
    ReceiverAudio audio(command.spec);
    WavFileWriter writer;
    std::string error;
    if (!writer.Open(command.output, error)) {
        streams.err << "sorvantel-cli: " << error << '\n';
        return 1;
    }
    std::vector<uint8_t> block(48000);
    for (;;) {
        const size_t n = audio.Fill(block.data(), block.size());
        if (n == 0) break;
        if (!writer.Write(block.data(), n, error)) {
            streams.err << "sorvantel-cli: " << error << '\n';
            return 1;
        }
    }
    if (!writer.Close(error)) {
        streams.err << "sorvantel-cli: " << error << '\n';
        return 1;
    }
    streams.err << Describe(command, audio) << '\n';
    return 0;
}

}  // namespace sorv
