// The picture of a surveyed band: its average spectrum over the noise floor, every carrier
// marked, with its frequency and, where one was read, its ident written beside it.
#pragma once

#include <string>
#include <vector>

#include "survey/average_spectrum.h"

namespace sorv {

struct BandMark {
    double offsetHz = 0.0;  // the carrier, from the centre
    std::string text;       // "404.00 DGU", or just the frequency
    bool identified = false;
};

struct BandPictureInfo {
    double centreHz = 0.0;
    std::string title;  // the first line of text, top left
};

// An RGB image, row after row.
struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    void Set(int x, int y, uint32_t colour);
    uint32_t At(int x, int y) const;
};

Picture DrawBandPicture(const AverageSpectrum& spectrum, const std::vector<double>& floor, const BandPictureInfo& info,
                        const std::vector<BandMark>& marks, int width = 1600, int height = 520);

// Empty on success, else why the file could not be written.
std::string WritePng(const std::string& path, const Picture& picture);

}  // namespace sorv
