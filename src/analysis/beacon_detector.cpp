#include "analysis/beacon_detector.h"

#include <algorithm>
#include <cmath>

#include "engine/sorvantel_doc.h"

namespace sorv {

namespace {

// The stored lines that hold the tones searched, and one line more on either side (a tone
// between two lines shares both).
bool StoredLinesForTones(const FrontEndSettings& band, int& first, int& last) {
    const int width = band.bandHigh - band.bandLow;
    if (width <= 0 || !(band.toneMin <= band.toneMax)) return false;
    first = std::max(0, DetectorFrontEnd::StoredLineOfTone(band, band.toneMin) - 1);
    last = DetectorFrontEnd::StoredLineOfTone(band, band.toneMax);
    if (last < 0) last = band.toneMax > (band.bandHigh + band.bandLow) / 2.0 ? 127 : -1;
    last = std::min(127, last + 1);
    return first <= last;
}

}  // namespace

BeaconDetector::BeaconDetector(const BeaconDetectorSettings& settings) : settings_(settings) {
    usable_ = front_.Configure(settings.band, rows_);
    if (usable_)
        for (int l = 0; l < rows_.Lines(); ++l)
            storedLine_.push_back(DetectorFrontEnd::StoredLineOfTone(settings.band, rows_.LineHz(l)));
}

double BeaconDetector::Seconds() const {
    return rows_.RowRate() > 0.0 ? rows_.Rows() / rows_.RowRate() : 0.0;
}

void BeaconDetector::AddAudio(const uint8_t* samples, size_t count) {
    if (!usable_ || stored_ || finished_) return;
    audio_ = true;
    front_.Feed(samples, count);
}

void BeaconDetector::AddStoredRow(const double* power) {
    if (!usable_ || audio_ || finished_) return;
    if (!stored_) {
        stored_ = true;
        int first = 0, last = -1;
        if (!StoredLinesForTones(settings_.band, first, last)) {
            usable_ = false;
            return;
        }
        const FrontEndSettings& b = settings_.band;
        const int width = b.bandHigh - b.bandLow;
        const int r = b.rowsPerFrame >= 1 && b.rowsPerFrame <= 128 ? b.rowsPerFrame : 1;
        storedInput_.rowRate = width / (128.0 / r);
        storedInput_.firstLine = first;
        storedInput_.lastLine = last;
        storedInput_.lineHz = 48000.0 / (128.0 * std::max(1, 48000 / width));
        storedInput_.centreHz = (b.bandHigh + b.bandLow) / 2.0;
        storedInput_.windowRows = r;
        CopyStoredRows(storedInput_, rows_, storedLine_);  // the layout, no rows yet
    }
    // As CopyStoredRows does it, a row at a time.
    const int first = storedInput_.firstLine;
    const int last = storedInput_.lastLine;
    const int floorFirst = std::max(0, first - 8);
    const int floorLast = std::min(kLines - 1, last + 8);
    rowWork_.resize(static_cast<size_t>(last - first + 1));
    floorWork_.resize(static_cast<size_t>(floorLast - floorFirst + 1));
    for (int l = first; l <= last; ++l) rowWork_[static_cast<size_t>(l - first)] = static_cast<float>(power[l]);
    for (int l = floorFirst; l <= floorLast; ++l) floorWork_[static_cast<size_t>(l - floorFirst)] = power[l];
    const size_t mid = floorWork_.size() / 2;
    std::nth_element(floorWork_.begin(), floorWork_.begin() + static_cast<long>(mid), floorWork_.end());
    const double rounding = 0.49 * (48000.0 / (128.0 * storedInput_.lineHz)) / 12.0 / 128.0 * 0.6931471805599453;
    rows_.Append(rowWork_.data(), static_cast<float>(std::max(floorWork_[mid], rounding)));
}

std::vector<SensitiveDetection> BeaconDetector::Finish() {
    if (!usable_ || finished_) return {};
    finished_ = true;
    if (audio_) front_.Finish(front_.ProducerRows());
    SensitiveSearchSettings s;
    s.periodMin = settings_.periodMin;
    s.periodMax = settings_.periodMax;
    s.manualWpm = settings_.manualWpm;
    s.threads = settings_.threads;
    s.observer = settings_.observer;
    s.readEverything = settings_.readEverything;
    if (settings_.integrationLimit && rows_.RowRate() > 0.0) s.longestPeriod = (kPhaseBins - 1.5) / rows_.RowRate();
    return SearchDetectorRows(rows_, storedLine_, s);
}

}  // namespace sorv
