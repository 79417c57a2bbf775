// Not one allocation on the per-sample path: seconds of samples through ProcessAudioBlock,
// making rows and changing titles, with every operator new counted. A program of its own,
// because it replaces the global operator new for everything linked into it.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cmath>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "engine/sorvantel_doc.h"
#include "support/fake_platform.h"

namespace {

std::atomic<bool> g_counting{false};
std::atomic<long> g_allocations{0};

void* Allocate(std::size_t n) {
    if (g_counting.load(std::memory_order_relaxed)) g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}

void* AllocateAligned(std::size_t n, std::align_val_t alignment) {
    if (g_counting.load(std::memory_order_relaxed)) g_allocations.fetch_add(1, std::memory_order_relaxed);
    void* p = nullptr;
    const std::size_t a = std::max(static_cast<std::size_t>(alignment), sizeof(void*));
    if (posix_memalign(&p, a, n ? n : 1) == 0) return p;
    throw std::bad_alloc();
}

}  // namespace

// Every form, so that whatever is allocated here is released by the matching free.
void* operator new(std::size_t n) { return Allocate(n); }
void* operator new[](std::size_t n) { return Allocate(n); }
void* operator new(std::size_t n, std::align_val_t a) { return AllocateAligned(n, a); }
void* operator new[](std::size_t n, std::align_val_t a) { return AllocateAligned(n, a); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    try {
        return Allocate(n);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t n, const std::nothrow_t& t) noexcept { return operator new(n, t); }
void* operator new(std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
    try {
        return AllocateAligned(n, a);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t n, std::align_val_t a, const std::nothrow_t& t) noexcept { return operator new(n, a, t); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }

namespace sorv::test {
namespace {

// Counts the allocations made while it lives.
class AllocationCount {
public:
    AllocationCount() {
        g_allocations = 0;
        g_counting = true;
    }
    ~AllocationCount() { g_counting = false; }
    long Count() const { return g_allocations.load(); }
};

void* volatile g_sink = nullptr;

std::vector<uint8_t> OneSecond() {
    std::mt19937 rng(3);
    std::vector<uint8_t> v(kBufferBytes);
    for (size_t i = 0; i < v.size(); ++i) {
        const double tone = 25.0 * std::sin(2 * M_PI * 1000.0 * static_cast<double>(i) / 48000.0);
        v[i] = static_cast<uint8_t>(128 + static_cast<int>(std::lround(tone)) + static_cast<int>(rng() % 31) - 15);
    }
    v[1000] = 255;  // audio limiting
    return v;
}

TEST(ProducerAllocations, TheCounterSeesAnAllocation) {
    // Without this, a count of zero below could mean the replacement was never linked.
    long seen;
    {
        AllocationCount count;
        g_sink = ::operator new(100);
        ::operator delete(g_sink);
        seen = count.Count();
    }
    EXPECT_EQ(seen, 1);
}

TEST(ProducerAllocations, SecondsOfSamplesMakeRowsAndTitlesWithoutAllocating) {
    FakePlatform platform;
    platform.recordTitles = false;
    CSorvantelDoc doc(platform);
    doc.StartRecordingInput();
    const std::vector<uint8_t> second = OneSecond();
    // Rows 301 to 331 of the start-up band cross from the count-only title to the gain title.
    doc.m_nRows = 300;
    const int titlesBefore = platform.titleCalls;

    size_t taken[3];
    long allocations;
    {
        AllocationCount count;
        taken[0] = doc.ProcessAudioBlock(second.data(), second.size());
        // The recording form of the title, the S-points and the narrowest band.
        doc.m_bRecording = 1;
        doc.m_nRows = 1100;
        doc.m_nBandLow = 906;
        doc.m_nBandHigh = 1094;
        doc.m_nRowsPerFrame = 16;
        taken[1] = doc.ProcessAudioBlock(second.data(), second.size());
        // Loran-C mode takes the samples another way.
        doc.m_bLoran = 1;
        taken[2] = doc.ProcessAudioBlock(second.data(), second.size());
        allocations = count.Count();
    }
    doc.m_bRecording = 0;
    EXPECT_EQ(allocations, 0);
    for (size_t t : taken) EXPECT_EQ(t, second.size());
    EXPECT_EQ(doc.m_bClipping, 1);
    EXPECT_GT(doc.m_nRows, 1120);
    EXPECT_EQ(platform.titleCalls - titlesBefore, 31 + (doc.m_nRows - 1100));
    const int g = static_cast<int>(10.0 * std::log10(doc.m_nRows / doc.RowRate() / 10.0) + 0.5);
    EXPECT_EQ(std::string(platform.lastTitle),
              "Sorvantel from KELD - processing and recording audio data (" + std::to_string(doc.m_nRows) +
                  " samples; +" + std::to_string(g) + "dB; " + std::to_string(g / 6) + " S-pts)");
}

}  // namespace
}  // namespace sorv::test
