#include "survey/parallel.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace sorv {

void ParallelFor(int count, int workers, const std::function<void(int, int)>& body) {
    if (count <= 0) return;
    workers = std::clamp(workers, 1, count);
    std::atomic<int> next{0};
    auto run = [&](int worker) {
        for (int i = next.fetch_add(1); i < count; i = next.fetch_add(1)) body(i, worker);
    };
    std::vector<std::thread> threads;
    threads.reserve(static_cast<size_t>(workers - 1));
    for (int w = 1; w < workers; ++w) threads.emplace_back(run, w);
    run(0);
    for (std::thread& t : threads) t.join();
}

int SurveyThreads() {
    const unsigned cores = std::thread::hardware_concurrency();
    return std::clamp(static_cast<int>(cores), 1, 8);
}

}  // namespace sorv
