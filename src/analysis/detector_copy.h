// The sensitive detector's own copy of what the engine is fed, kept beside the stored rows
// while audio arrives (live capture, a recording analysed in the window, a script's capture):
// the detector's own rows (detector_front_end.h) for the same stretch of audio as the store's
// rows, so that the automatic search can read them instead of the stored lines. It is made at
// Start when the sensitive detection is chosen, follows Purge, and counts as valid only while
// it matches the store row for row (a loaded spectrum file, Loran-C mode or a band changed
// since Start leave it aside, and the search falls back to the stored rows).
#pragma once

#include <cstdint>
#include <vector>

#include "analysis/detector_front_end.h"
#include "analysis/detector_rows.h"

namespace sorv {

class DetectorCopy {
public:
    explicit DetectorCopy(const FrontEndSettings& settings);
    bool Usable() const { return usable_; }
    const FrontEndSettings& Settings() const { return front_.Settings(); }

    // The samples the producer took.
    void Feed(const uint8_t* samples, size_t count);
    // The store was emptied: the rows so far are dropped, and the next row of the store is
    // the next row of the producer's cadence.
    void Purge();

    // The producer's rows since Start (or the last Purge): the store's row count, when the
    // copy has seen all the store's audio.
    long long StoreRows() const { return front_.ProducerRows() - purgedAt_; }
    // The copy's rows that belong to the store (fewer than the store holds, by up to
    // MostRowsWaiting(): the last rows wait for the audio after them).
    const DetectorRows& Rows() const { return rows_; }
    const std::vector<int>& StoredLines() const { return storedLine_; }
    long long MostRowsWaiting() const { return front_.MostRowsWaiting(); }

private:
    DetectorFrontEnd front_;
    DetectorRows rows_;
    std::vector<int> storedLine_;
    long long purgedAt_ = 0;
    bool usable_ = false;
};

}  // namespace sorv
