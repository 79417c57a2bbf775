// Work shared by the survey's threads: a loop whose iterations run on a fixed number of
// threads, each iteration told which worker runs it so that it can use that worker's buffers.
#pragma once

#include <functional>

namespace sorv {

// Runs body(i, worker) for every i in [0, count) on `workers` threads (worker 0 is the calling
// thread); iterations are handed out one by one, so uneven ones still share the work fairly.
// Returns when all are done.
void ParallelFor(int count, int workers, const std::function<void(int index, int worker)>& body);

// The threads the survey uses: the machine's cores, at least 1 and at most 8.
int SurveyThreads();

}  // namespace sorv
