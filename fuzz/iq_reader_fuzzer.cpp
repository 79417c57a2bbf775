// The I/Q recording reader, fed any bytes as a recording a listener was sent: written under a
// name the last byte picks (a WAV, or a raw .cu8, .cs16 or .cf32 file, with or without a
// frequency in the name), opened with or without --centre-khz and --rate, then read in odd
// blocks. Its start time and its classification are asked for as well, and the first bytes go
// through the name parsers as a file name. At most a second of samples is read: a short file
// that claims hours is the reader's business, reading all of it is not.
#include <cmath>
#include <complex>
#include <string>
#include <vector>

#include "audio/file/iq_recording.h"
#include "audio/file/recording_start.h"
#include "fuzz_document.h"

namespace {

constexpr size_t kMaxSamples = 250000;
constexpr size_t kBlock = 4099;

const char* const kNames[8] = {"band.wav", "night.cu8", "night.cs16", "night.cf32",
                               "HDSDR_20240305_211530Z_404kHz_RF.wav", "rx_0.404MHz.cu8", "rx_404000Hz.cs16",
                               "1206221530_404000hz.wav"};

// The name parsers on text that may hold anything a file name can (not '/' or NUL).
void FuzzNames(const uint8_t* data, size_t size) {
    std::string name;
    for (size_t i = 0; i < size && name.size() < 48; ++i)
        if (data[i] != '/' && data[i] != 0) name.push_back(static_cast<char>(data[i]));
    if (const auto hz = sorv::CentreFromFileName(name))
        FUZZ_CHECK(std::isfinite(*hz) && *hz >= sorv::kMinCentreHz && *hz <= sorv::kMaxCentreHz, "a centre in range");
    if (const auto stamp = sorv::FindNameStamp(name)) FUZZ_CHECK(sorv::IsPlausibleCivilTime(stamp->time), "a real date");
    if (const auto own = sorv::ParseProgramRecordingName(name)) {
        FUZZ_CHECK(own->month >= 1 && own->month <= 12 && own->hour < 24 && own->minute < 60, "a clock time");
        FUZZ_CHECK(!own->carrierHz || *own->carrierHz > 0, "a positive carrier");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    sorv::fuzz::FuzzDocument& fd = sorv::fuzz::TheDocument();
    fd.Fresh();
    FuzzNames(data, size);
    const uint8_t pick = data[size - 1];
    const std::string path = fd.platform.dir.file(kNames[pick & 7]);
    sorv::fuzz::WriteBytes(path, data, size);

    sorv::IqOpenOptions options;
    if (pick & 8) options.centreKHz = 404.0;
    if (pick & 16) options.rateHz = (pick & 32) ? 44100.0 : 250000.0;
    options.localToUtc = [](const sorv::CalendarTime& local, int64_t& utc) {
        sorv::CivilTime c{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                          local.tm_sec, 0};
        utc = sorv::CivilToUtcSeconds(c);
        return true;
    };

    const sorv::IqClassification kind = sorv::ClassifyRecording(path, (pick & 64) != 0);
    FUZZ_CHECK(kind.iq == !kind.reason.empty(), "an I/Q file says why");
    const auto start = sorv::FindRecordingStart(path, 1.0, options.localToUtc);
    FUZZ_CHECK(start.has_value(), "a file that exists has at least its file time");
    FUZZ_CHECK(!start->source.empty(), "the start says where it came from");

    std::string message;
    std::unique_ptr<sorv::IqSource> source = sorv::OpenIqRecording(path, options, message);
    if (!source) {
        FUZZ_CHECK(message.rfind(path + ": ", 0) == 0, "a refusal names the file");
        FUZZ_CHECK(message.size() > path.size() + 4, "a refusal says why");
        return 0;
    }
    const sorv::IqStreamInfo& info = source->Info();
    FUZZ_CHECK(info.sampleRate >= sorv::kMinIqRate && info.sampleRate <= sorv::kMaxIqRate, "a rate in range");
    FUZZ_CHECK(info.centreHz >= sorv::kMinCentreHz && info.centreHz <= sorv::kMaxCentreHz, "a centre in range");
    FUZZ_CHECK(!info.centreSource.empty() && !info.description.empty(), "the centre's source and a description");
    FUZZ_CHECK(info.totalSamples > 0, "samples to read");
    FUZZ_CHECK(info.totalSamples * 2 <= size, "never more samples than the bytes can hold");

    std::vector<std::complex<float>> block(kBlock);
    size_t total = 0;
    while (total < kMaxSamples) {
        const size_t n = source->Read(block.data(), block.size());
        FUZZ_CHECK(n <= block.size(), "never more than asked");
        for (size_t i = 0; i < n; ++i)
            FUZZ_CHECK(std::isfinite(block[i].real()) && std::isfinite(block[i].imag()), "samples are numbers");
        total += n;
        if (n < block.size()) break;
    }
    FUZZ_CHECK(total <= info.totalSamples, "never more samples than announced");
    if (total < kMaxSamples && total < info.totalSamples)
        FUZZ_CHECK(!source->Error().empty(), "a file that ends short says so");
    if (!source->Error().empty()) FUZZ_CHECK(source->Error().rfind(path + ": ", 0) == 0, "a fault names the file");
    return 0;
}
