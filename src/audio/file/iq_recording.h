// Opening a software-defined receiver's I/Q recording, whatever it is:
//
// - a two-channel WAV or RF64 file (16-bit, 24-bit or 32-bit integer, 32-bit or 64-bit
//   float; 8-bit too), I in the first channel, Q in the second, read through libsndfile;
// - a raw interleaved file by its extension: ".cu8" unsigned 8-bit (offset 127.5), ".cs16"
//   signed 16-bit little-endian, ".cf32" 32-bit float little-endian, at the rate given.
//
// The rate must lie from 48 kHz to 2.4 MHz. The centre frequency comes from the file's `auxi`
// chunk, else from the caller's option (--centre-khz), else from a frequency in the file name
// ("_404kHz", "_0.404MHz", "_404000Hz"); otherwise the open fails asking for --centre-khz.
// The start time comes from the recording's own evidence (see recording_start.h).
//
// Every refusal is one message naming the file and the step that failed. A file that ends
// before its header said it would delivers what it holds and says so through Error().
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "audio/file/iq_source.h"
#include "audio/file/recording_start.h"

namespace sorv {

constexpr double kMinIqRate = 48000.0;
constexpr double kMaxIqRate = 2400000.0;

struct IqOpenOptions {
    std::optional<double> centreKHz;  // --centre-khz: used when the file has no auxi chunk
    std::optional<double> rateHz;     // --rate: needed by raw files, ignored by WAV files
    LocalToUtcFn localToUtc;          // zone rules for local-time names; the machine's when empty
};

// The recording at path as a stream of I/Q samples, or null with the message in message
// ("night.wav: reading the auxi chunk: its start time 2023-02-30 12:00:00 is not a date").
std::unique_ptr<IqSource> OpenIqRecording(const std::string& path, const IqOpenOptions& options, std::string& message);

// Whether a recording is to be read as I/Q rather than as receiver audio, and why.
//
// Raw ".cu8", ".cs16" and ".cf32" files always are, and with --iq (iqOption) every file is.
// A two-channel WAV or RF64 file is when it carries an `auxi` chunk, runs at more than
// 192 kHz (no sound card records audio faster), or has a radio frequency ("_404kHz") or the
// word "IQ" in its name. Anything else -- a mono file, a stereo 44.1 or 48 kHz WAV from a
// sound card, FLAC and the other audio formats -- is audio.
struct IqClassification {
    bool iq = false;
    std::string reason;  // "an auxi chunk", "raw .cu8 samples", "--iq", ... ; empty for audio
};
IqClassification ClassifyRecording(const std::string& path, bool iqOption);

// The radio frequency in Hz that a file name gives the way SDR programs write it: a number
// directly after "_", "-", "." or a space, followed by "Hz", "kHz" or "MHz" in any case.
std::optional<double> CentreFromFileName(const std::string& fileName);

// The raw formats by extension; nullopt for anything else.
enum class RawIqFormat { Cu8, Cs16, Cf32 };
std::optional<RawIqFormat> RawIqFormatOf(const std::string& path);

}  // namespace sorv
