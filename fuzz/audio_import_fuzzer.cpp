// The audio-file import, fed any bytes as a recording a listener was sent: opened with the
// options the last byte picks (channel, mix, automatic gain), read in one-second blocks and
// handed to the engine exactly as a recording is. At most two seconds are read: a short
// file that claims hours is the reader's business, reading all of it is not.
#include <cmath>
#include <string>

#include "audio/file/audio_file_reader.h"
#include "fuzz_document.h"

namespace {
constexpr int kSecondsRead = 2;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    sorv::fuzz::FuzzDocument& fd = sorv::fuzz::TheDocument();
    sorv::CSorvantelDoc& doc = fd.Fresh();
    const std::string path = fd.platform.dir.file("recording.wav");
    sorv::fuzz::WriteBytes(path, data, size);

    const uint8_t pick = data[size - 1];
    sorv::AudioImportOptions options;
    options.channel = 1 + (pick & 3);
    options.mix = (pick & 4) != 0;
    options.autoGain = (pick & 8) != 0;
    options.gainDb = (pick & 16) ? 12.0 : 0.0;

    sorv::AudioFileReader reader;
    std::string error;
    if (!reader.Open(path, options, error)) {
        FUZZ_CHECK(!error.empty(), "a refused file says why");
        return 0;
    }
    FUZZ_CHECK(std::isfinite(reader.DurationSeconds()) && reader.DurationSeconds() > 0.0, "a duration in seconds");
    FUZZ_CHECK(!reader.Description().empty(), "a description");
    FUZZ_CHECK(std::isfinite(reader.GainDb()), "a gain in dB");

    doc.StartRecordingInput();
    std::vector<uint8_t> block(sorv::kBufferBytes);
    uint64_t total = 0;
    for (int s = 0; s < kSecondsRead; ++s) {
        const size_t n = reader.Read(block.data(), block.size());
        FUZZ_CHECK(n <= block.size(), "never more than asked");
        total += n;
        doc.ProcessAudioBlock(block.data(), n);
        if (n < block.size()) break;
    }
    FUZZ_CHECK(reader.SamplesDelivered() == total, "the delivered count is what was read");
    fd.NoteRows();
    doc.OnStop();
    return 0;
}
