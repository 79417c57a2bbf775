#include "survey/transform_tuning.h"

#include <cstdlib>
#include <vector>

#include "survey/average_spectrum.h"
#include "survey/channeliser.h"
#include "survey/fft_plans.h"

namespace sorv {

namespace {

struct Transform {
    FftPlan::Kind kind;
    int size;
};

// The transforms run thousands of times in a survey: the average spectrum's, the channel
// bank's forward one, and each channel's audio and baseband ones.
std::vector<Transform> SurveyTransforms(int sampleRate) {
    const ChannelGeometry g = ChooseChannelGeometry(sampleRate);
    return {{FftPlan::Kind::Forward, AverageSpectrumBins(sampleRate)},
            {FftPlan::Kind::Forward, g.blockSize},
            {FftPlan::Kind::ComplexToReal, g.audioSize},
            {FftPlan::Kind::Inverse, g.basebandSize}};
}

}  // namespace

std::string KeptPlansPath() {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache && *cache == '/') return std::string(cache) + "/KELD/Sorvantel/transform-plans";
    const char* home = std::getenv("HOME");
    if (home && *home == '/') return std::string(home) + "/.cache/KELD/Sorvantel/transform-plans";
    return {};
}

bool SurveyTransformsTuned(int sampleRate) {
    for (const Transform& t : SurveyTransforms(sampleRate))
        if (!FftPlan::IsKept(t.kind, t.size)) return false;
    return true;
}

void TuneSurveyTransforms(int sampleRate, TuningEffort effort, const std::function<void(int done, int total)>& progress) {
    const std::vector<Transform> all = SurveyTransforms(sampleRate);
    const int total = static_cast<int>(all.size());
    for (int i = 0; i < total; ++i) {
        if (progress) progress(i, total);
        const Transform& t = all[static_cast<size_t>(i)];
        if (!FftPlan::IsKept(t.kind, t.size)) FftPlan::Tuned(t.kind, t.size, effort == TuningEffort::Thorough);
    }
    if (progress) progress(total, total);
}

}  // namespace sorv
