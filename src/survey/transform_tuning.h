// The survey's transforms, tuned once per machine and recording rate. FFTW's quick
// measurement (half a second a size) leaves the survey's largest transforms two to four times
// slower than the plans it finds when it may try every algorithm it knows, which takes a
// couple of minutes at 192 kHz. Kept in a file, those plans serve every later survey at the
// rate, and make its results the same from one run to the next.
#pragma once

#include <functional>
#include <string>

namespace sorv {

// Where a user's tuned plans are kept: under $XDG_CACHE_HOME, else ~/.cache; empty when
// neither is known.
std::string KeptPlansPath();

// Whether all the transforms a survey at this rate runs have kept plans.
bool SurveyTransformsTuned(int sampleRate);

// Thorough: FFTW tries every algorithm it knows (minutes). Quick: its usual measurement
// without a time limit (seconds; FFTW keeps no plan whose measurement was cut short).
enum class TuningEffort { Thorough, Quick };

// Plans each of them that has no kept plan yet; progress gets the transforms done and in
// all. The plans stay in memory, for SaveKeptPlans to keep.
void TuneSurveyTransforms(int sampleRate, TuningEffort effort, const std::function<void(int done, int total)>& progress);

}  // namespace sorv
