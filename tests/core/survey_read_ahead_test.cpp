// A recording read ahead on a thread of its own gives exactly what the recording gives, in
// every size of request, ends where it ends and reports its read error only once it has
// delivered every sample before the fault.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "survey/read_ahead.h"

namespace sorv {
namespace {

// Sample i is (i, -i); the recording stops after `length` samples, with an error when it is
// cut short. It hands out pieces of its own size, as a file reader may.
class Numbered : public IqSource {
public:
    Numbered(size_t length, bool cutShort, size_t piece) : length_(length), piece_(piece) {
        info_.sampleRate = 48000.0;
        info_.totalSamples = cutShort ? length + 1000 : length;
        if (cutShort) failure_ = "the file ends before its header says";
    }
    const IqStreamInfo& Info() const override { return info_; }
    const std::string& Error() const override { return at_ >= length_ ? failure_ : none_; }
    size_t Read(std::complex<float>* out, size_t count) override {
        size_t n = 0;
        while (n < count && at_ < length_) {
            const size_t take = std::min({count - n, piece_, length_ - at_});
            for (size_t k = 0; k < take; ++k, ++at_) out[n + k] = {static_cast<float>(at_), -static_cast<float>(at_)};
            n += take;
        }
        return n;
    }

private:
    IqStreamInfo info_;
    size_t length_, piece_, at_ = 0;
    std::string failure_, none_;
};

TEST(ReadAheadSource, DeliversTheRecordingInAnySizeOfRequestAndEndsWhereItEnds) {
    for (size_t length : {0ul, 1ul, 999ul, 1000ul, 12345ul}) {
        for (size_t block : {1ul, 64ul, 1000ul, 50000ul}) {
            for (size_t request : {1ul, 7ul, 1000ul, 4096ul}) {
                Numbered recording(length, false, 333);
                ReadAheadSource ahead(recording, block);
                EXPECT_EQ(ahead.Info().totalSamples, length);
                std::vector<std::complex<float>> got, buffer(request);
                size_t n;
                do {
                    n = ahead.Read(buffer.data(), request);
                    got.insert(got.end(), buffer.begin(), buffer.begin() + static_cast<long>(n));
                } while (n == request);
                ASSERT_EQ(got.size(), length) << "block " << block << " request " << request;
                for (size_t i = 0; i < length; ++i)
                    ASSERT_EQ(got[i], std::complex<float>(static_cast<float>(i), -static_cast<float>(i))) << i;
                // After the end it stays at the end.
                EXPECT_EQ(ahead.Read(buffer.data(), request), 0u);
                EXPECT_TRUE(ahead.Error().empty());
            }
        }
    }
}

TEST(ReadAheadSource, AReadErrorComesAfterTheSamplesBeforeIt) {
    Numbered recording(5000, true, 100);
    ReadAheadSource ahead(recording, 1024);
    std::vector<std::complex<float>> buffer(3000);
    ASSERT_EQ(ahead.Read(buffer.data(), 3000), 3000u);
    // Whether or not the reader has come to the fault yet, the consumer has not.
    EXPECT_TRUE(ahead.Error().empty());
    EXPECT_EQ(ahead.Read(buffer.data(), 3000), 2000u);
    EXPECT_EQ(buffer[1999].real(), 4999.0f);
    EXPECT_EQ(ahead.Error(), "the file ends before its header says");
}

TEST(ReadAheadSource, LeftBeforeTheEndItStopsItsReader) {
    // A recording far longer than is ever read: the reader waits with its blocks full, and the
    // destructor must not hang on it.
    Numbered recording(100000000, false, 4096);
    {
        ReadAheadSource ahead(recording, 4096);
        std::vector<std::complex<float>> buffer(10);
        EXPECT_EQ(ahead.Read(buffer.data(), 10), 10u);
        EXPECT_EQ(buffer[9].real(), 9.0f);
    }
}

}  // namespace
}  // namespace sorv
