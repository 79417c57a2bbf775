#include "analysis/rank_value.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <vector>

namespace sorv {

namespace {

// A double's bits turned into an unsigned number that orders as the double does: positive
// numbers get the sign bit set, negative ones all their bits flipped.
uint64_t OrderKey(double x) {
    uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    const uint64_t flip = (0 - (bits >> 63)) | 0x8000000000000000ull;
    return bits ^ flip;
}

double FromOrderKey(uint64_t key) {
    const uint64_t bits = (key >> 63) ? key & 0x7FFFFFFFFFFFFFFFull : ~key;
    double x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

constexpr int kDigitBits = 8;
constexpr size_t kFewEnoughToSort = 32;
constexpr size_t kCountedFourWays = 512;

}  // namespace

// Radix selection: each pass counts the keys by the 8 highest bits in which the remaining keys
// differ, keeps those of the digit that holds the rank, and goes on with the next 8 bits.
// Values of one line's noise share their sign and most of their exponent, so that the first
// pass already keeps a few percent of them.
double ValueAtRank(const double* values, size_t n, size_t rank) {
    if (rank >= n) return 0.0;
    thread_local std::vector<uint64_t> keys;
    keys.resize(n);
    uint64_t* k = keys.data();
    uint64_t lowest = ~0ull, highest = 0;
    for (size_t i = 0; i < n; ++i) {
        k[i] = OrderKey(values[i]);
        lowest = std::min(lowest, k[i]);
        highest = std::max(highest, k[i]);
    }
    size_t count = n;
    while (count > kFewEnoughToSort) {
        const uint64_t differ = lowest ^ highest;
        if (differ == 0) return FromOrderKey(lowest);
        const int shift = std::max(0, 63 - std::countl_zero(differ) - (kDigitBits - 1));
        // Many keys are counted four ways side by side: runs of equal digits would otherwise
        // wait on each other's increments. Few are counted one way, as clearing the counts
        // would then cost more than the wait.
        const int lanes = count >= kCountedFourWays ? 4 : 1;
        uint32_t counts[4][1 << kDigitBits];
        for (int lane = 0; lane < lanes; ++lane) std::fill(std::begin(counts[lane]), std::end(counts[lane]), 0u);
        size_t i = 0;
        if (lanes == 4)
            for (; i + 4 <= count; i += 4)
                for (int lane = 0; lane < 4; ++lane) ++counts[lane][(k[i + lane] >> shift) & 0xFF];
        for (; i < count; ++i) ++counts[0][(k[i] >> shift) & 0xFF];
        unsigned digit = 0;
        size_t below = 0;
        for (;; ++digit) {
            size_t here = 0;
            for (int lane = 0; lane < lanes; ++lane) here += counts[lane][digit];
            if (below + here > rank) break;
            below += here;
        }
        rank -= below;
        size_t kept = 0;
        for (i = 0; i < count; ++i) {
            const uint64_t key = k[i];
            k[kept] = key;
            kept += ((key >> shift) & 0xFF) == digit;
        }
        count = kept;
        lowest = ~0ull;
        highest = 0;
        for (i = 0; i < count; ++i) {
            lowest = std::min(lowest, k[i]);
            highest = std::max(highest, k[i]);
        }
    }
    std::nth_element(k, k + rank, k + count);
    return FromOrderKey(k[rank]);
}

}  // namespace sorv
