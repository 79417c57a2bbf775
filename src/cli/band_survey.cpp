#include "cli/band_survey.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <future>
#include <memory>

#include "survey/channel_audio.h"
#include "survey/channeliser.h"
#include "survey/parallel.h"
#include "survey/read_ahead.h"

namespace sorv {

namespace {

constexpr double kChunkSeconds = 2.0;  // of the recording channelised between two hand-overs

struct Channel {
    Channel(const ChannelBank& bank, int index, const Carrier& c, double gain, const ChannelSearch& search)
        : tap(bank, c.offsetHz), gain(gain),
          identifier(index, c.offsetHz, tap.CarrierAudioHz(), tap.BasebandCarrierHz(), gain, search) {}
    ChannelTap tap;
    double gain;
    ChannelIdentifier identifier;
};

struct Worker {
    Worker(const ChannelGeometry& g, int blocks)
        : scratch(g), in(static_cast<size_t>(g.blockSize)),
          audio(static_cast<size_t>(g.audioHop)),
          bytes(audio.size() * static_cast<size_t>(blocks)),
          baseband(static_cast<size_t>(g.basebandHop) * static_cast<size_t>(blocks)) {}
    ChannelScratch scratch;
    ComplexBuffer in;
    std::vector<float> audio;  // one block's
    std::vector<uint8_t> bytes;
    std::vector<std::complex<float>> baseband;
    EngineLane lane;
};

// Pass two: the recording in chunks of whole blocks; each chunk's blocks transformed on all
// workers, then each channel's share of them rendered, converted and analysed on one.
void Channelise(IqSource& source, const ChannelBank& bank, size_t firstCarrier, size_t carriers,
                const SurveyOptions& options, int threads, SurveyResult& result,
                std::vector<ChannelDetection>& detections, const SurveyProgress& progress) {
    const int rate = static_cast<int>(source.Info().sampleRate);
    const ChannelGeometry& g = bank.Geometry();
    const int half = (g.filterLength - 1) / 2;
    const int blocksPerChunk = std::max(1, static_cast<int>(std::lround(kChunkSeconds * rate / g.hop)));

    std::vector<std::unique_ptr<Channel>> channels;
    for (size_t i = firstCarrier; i < firstCarrier + carriers; ++i) {
        const Carrier& c = result.carriers[i];
        const double gain = ChannelGain(result, c.offsetHz);
        channels.push_back(std::make_unique<Channel>(bank, static_cast<int>(i), c, gain, options.search));
    }
    std::vector<std::unique_ptr<Worker>> workers;
    for (int w = 0; w < threads; ++w) workers.push_back(std::make_unique<Worker>(g, blocksPerChunk));
    OscillatorRun oscillator;
    const double increment = workers.front()->lane.Doc().MixerIncrement();
    std::vector<ComplexBuffer> spectra;
    for (int j = 0; j < blocksPerChunk; ++j) spectra.emplace_back(static_cast<size_t>(g.blockSize));

    // The buffer holds recording samples from blockStart on: the blocks of one chunk and the
    // overlap the last of them needs. Before the recording's start it holds silence.
    const size_t overlap = static_cast<size_t>(g.blockSize - g.hop);
    std::vector<std::complex<float>> buffer(static_cast<size_t>(blocksPerChunk) * g.hop + overlap);
    ReadAheadSource ahead(source, buffer.size() - overlap);
    size_t filled = static_cast<size_t>(half);
    std::fill(buffer.begin(), buffer.begin() + half, std::complex<float>(0.0f, 0.0f));
    uint64_t read = 0;
    bool ended = false;
    int64_t firstBlock = 0;
    const double total = static_cast<double>(ahead.Info().totalSamples) / rate;

    while (!ended) {
        const size_t n = ahead.Read(buffer.data() + filled, buffer.size() - filled);
        read += n;
        filled += n;
        if (filled < buffer.size()) {
            ended = true;
            std::fill(buffer.begin() + static_cast<long>(filled), buffer.end(), std::complex<float>(0.0f, 0.0f));
        }
        // Blocks whose new samples hold some of the recording.
        const int64_t blocksNeeded = (static_cast<int64_t>(read) + g.hop - 1) / g.hop;
        const int blocks = static_cast<int>(std::min<int64_t>(blocksPerChunk, blocksNeeded - firstBlock));
        if (blocks <= 0) break;
        // Audio of the recording's own length only: the last block's tail is silence.
        const uint64_t recordingAudio = read * 48000 / static_cast<uint64_t>(rate);
        const uint64_t chunkAudioStart = static_cast<uint64_t>(firstBlock) * static_cast<uint64_t>(g.audioHop);
        const size_t audioCount = static_cast<size_t>(std::min<uint64_t>(
            static_cast<uint64_t>(blocks) * g.audioHop, recordingAudio > chunkAudioStart ? recordingAudio - chunkAudioStart : 0));
        const size_t basebandCount = audioCount / 10;
        // The blocks' transforms, and beside them the oscillator every channel mixes this
        // chunk's audio with: all have heard the same number of samples, so all have the phase
        // of the first.
        ParallelFor(blocks + 1, threads, [&](int j, int w) {
            if (j == blocks) {
                if (!channels.empty()) oscillator.Compute(channels.front()->identifier.MixerPhase(), increment, audioCount);
                return;
            }
            Worker& work = *workers[static_cast<size_t>(w)];
            std::copy(buffer.begin() + static_cast<long>(j) * g.hop,
                      buffer.begin() + static_cast<long>(j) * g.hop + g.blockSize, work.in.data());
            bank.Transform(work.in.data(), spectra[static_cast<size_t>(j)].data());
        });
        ParallelFor(static_cast<int>(channels.size()), threads, [&](int c, int w) {
            Worker& work = *workers[static_cast<size_t>(w)];
            Channel& ch = *channels[static_cast<size_t>(c)];
            // Each block's audio is converted while it is still in the cache.
            for (int j = 0; j < blocks; ++j) {
                const size_t at = static_cast<size_t>(j) * g.audioHop;
                ch.tap.Render(spectra[static_cast<size_t>(j)].data(), firstBlock + j, work.scratch,
                              work.audio.data(), work.baseband.data() + static_cast<size_t>(j) * g.basebandHop);
                ToEngineSamples(work.audio.data(), work.audio.size(), static_cast<float>(ch.gain), work.bytes.data() + at);
            }
            ch.identifier.FeedAudio(work.lane, work.bytes.data(), audioCount, &oscillator);
            ch.identifier.FeedBaseband(work.lane, work.baseband.data(), basebandCount);
        });
        firstBlock += blocks;
        if (progress) progress("channels", static_cast<double>(firstBlock) * g.hop / rate, total);
        // The next chunk starts with the overlap its first block needs.
        std::copy(buffer.end() - static_cast<long>(overlap), buffer.end(), buffer.begin());
        filled = overlap;
    }
    ParallelFor(static_cast<int>(channels.size()), threads, [&](int c, int w) {
        channels[static_cast<size_t>(c)]->identifier.Finish(workers[static_cast<size_t>(w)]->lane);
    });
    for (const auto& ch : channels) {
        const auto& d = ch->identifier.Detections();
        detections.insert(detections.end(), d.begin(), d.end());
        result.clippedBlocks += ch->identifier.ClippedBlocks();
    }
    if (result.readError.empty()) result.readError = ahead.Error();
}

}  // namespace

bool RunBandSurvey(const IqSourceOpener& open, const SurveyOptions& options, SurveyResult& result,
                   std::string& message, const SurveyProgress& progress) {
    result = SurveyResult();
    const int threads = options.threads > 0 ? options.threads : SurveyThreads();
    std::unique_ptr<IqSource> first = open(message);
    if (!first) return false;
    result.info = first->Info();
    message = CheckChannelRate(result.info.sampleRate);
    if (!message.empty()) return false;
    auto scanProgress = [&](double done, double total) {
        if (progress) progress("spectrum", done, total);
    };
    // The channeliser's transforms are planned by measuring them, a second or so on one core:
    // that happens while the first pass reads the recording, instead of before the second.
    const int rate = static_cast<int>(result.info.sampleRate);
    std::future<std::unique_ptr<ChannelBank>> planned =
        std::async(std::launch::async, [rate] { return std::make_unique<ChannelBank>(rate); });
    if (!ScanBand(*first, options.carriersKHz, threads, result, scanProgress)) {
        message = result.readError.empty() ? "the recording holds no samples" : result.readError;
        return false;
    }
    first.reset();
    const std::unique_ptr<ChannelBank> bank = planned.get();
    std::vector<ChannelDetection> detections;
    const size_t perPass = static_cast<size_t>(std::max(1, options.channelsPerPass));
    for (size_t first = 0; first < result.carriers.size(); first += perPass) {
        std::unique_ptr<IqSource> again = open(message);
        if (!again) return false;
        const size_t count = std::min(perPass, result.carriers.size() - first);
        Channelise(*again, *bank, first, count, options, threads, result, detections, progress);
    }
    result.beacons = MergeDetections(detections);
    return true;
}

}  // namespace sorv
