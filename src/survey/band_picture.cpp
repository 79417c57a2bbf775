#include "survey/band_picture.h"

#include <png.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/text_format.h"
#include "survey/pixel_font.h"

namespace sorv {

namespace {

constexpr uint32_t kBackground = 0x000000, kGrid = 0x303030, kAxisText = 0xB0B0B0, kTrace = 0x30D040;
constexpr uint32_t kIdentified = 0xFFD020, kUnidentified = 0x808080;
constexpr int kLeft = 50, kRight = 20, kTop = 110, kBottom = 40;
constexpr int kLabelRows = 6;
constexpr int kCharWidth = kGlyphWidth + 1;
constexpr int kLabelRowHeight = kGlyphHeight + 8;

void Text(Picture& p, int x, int y, const std::string& text, uint32_t colour) {
    for (char c : text) {
        const uint8_t* rows = GlyphRows(c);
        if (rows)
            for (int r = 0; r < kGlyphHeight; ++r)
                for (int b = 0; b < kGlyphWidth; ++b)
                    if (rows[r] & (0x10 >> b)) p.Set(x + b, y + r, colour);
        x += kCharWidth;
    }
}

void VerticalLine(Picture& p, int x, int y0, int y1, uint32_t colour) {
    if (y0 > y1) std::swap(y0, y1);
    for (int y = y0; y <= y1; ++y) p.Set(x, y, colour);
}

double Db(double ratio) { return ratio > 0.0 ? 10.0 * std::log10(ratio) : -100.0; }

// A tick step of 1, 2 or 5 times a power of ten that puts about `ticks` ticks across `span`.
double TickStep(double span, int ticks) {
    const double raw = span / std::max(1, ticks);
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * power >= raw) return m * power;
    return 10.0 * power;
}

}  // namespace

void Picture::Set(int x, int y, uint32_t colour) {
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    uint8_t* px = &rgb[(static_cast<size_t>(y) * width + x) * 3];
    px[0] = static_cast<uint8_t>(colour >> 16);
    px[1] = static_cast<uint8_t>(colour >> 8);
    px[2] = static_cast<uint8_t>(colour);
}

uint32_t Picture::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return 0;
    const uint8_t* px = &rgb[(static_cast<size_t>(y) * width + x) * 3];
    return (static_cast<uint32_t>(px[0]) << 16) | (static_cast<uint32_t>(px[1]) << 8) | px[2];
}

Picture DrawBandPicture(const AverageSpectrum& s, const std::vector<double>& floor, const BandPictureInfo& info,
                        const std::vector<BandMark>& marks, int width, int height) {
    Picture p;
    p.width = std::max(width, kLeft + kRight + 100);
    p.height = std::max(height, kTop + kBottom + 100);
    p.rgb.assign(static_cast<size_t>(p.width) * p.height * 3, 0);
    const int plotW = p.width - kLeft - kRight, plotH = p.height - kTop - kBottom;
    const int plotBottom = kTop + plotH;
    Text(p, 4, 4, info.title, kAxisText);
    if (s.Bins() == 0 || floor.size() != s.power.size()) return p;

    // Each column shows the strongest bin under it, in dB over the median floor of the band.
    std::vector<double> sortedFloor(floor);
    std::nth_element(sortedFloor.begin(), sortedFloor.begin() + static_cast<long>(sortedFloor.size() / 2), sortedFloor.end());
    const double reference = sortedFloor[sortedFloor.size() / 2];
    std::vector<double> column(static_cast<size_t>(plotW), -100.0);
    for (int i = 0; i < s.Bins(); ++i) {
        const int x = std::min(plotW - 1, static_cast<int>(static_cast<int64_t>(i) * plotW / s.Bins()));
        column[static_cast<size_t>(x)] = std::max(column[static_cast<size_t>(x)], Db(s.power[static_cast<size_t>(i)] / reference));
    }
    const double top = std::clamp(*std::max_element(column.begin(), column.end()) + 3.0, 20.0, 90.0);
    const double bottom = -10.0;
    auto yOf = [&](double db) {
        const double t = std::clamp((db - bottom) / (top - bottom), 0.0, 1.0);
        return plotBottom - static_cast<int>(std::lround(t * (plotH - 1)));
    };
    auto xOf = [&](double offsetHz) { return kLeft + static_cast<int>(std::lround((s.BinOfOffset(offsetHz)) * plotW / s.Bins())); };

    // Grid: every 10 dB, and frequency ticks in kHz.
    for (double db = 0.0; db <= top; db += 10.0) {
        const int y = yOf(db);
        for (int x = kLeft; x < kLeft + plotW; ++x) p.Set(x, y, kGrid);
        Text(p, 4, y - 3, FormatC("%+.0f", db), kAxisText);
    }
    const double half = s.sampleRate / 2.0;
    const double step = TickStep(s.sampleRate / 1000.0, 10) * 1000.0;
    for (double f = std::ceil((info.centreHz - half) / step) * step; f <= info.centreHz + half; f += step) {
        const int x = xOf(f - info.centreHz);
        VerticalLine(p, x, kTop, plotBottom, kGrid);
        const std::string label = FormatC(step >= 1000.0 ? "%.0f" : "%.1f", f / 1000.0);
        Text(p, x - static_cast<int>(label.size()) * kCharWidth / 2, plotBottom + 6, label, kAxisText);
    }
    Text(p, p.width - kRight - 3 * kCharWidth, plotBottom + 20, "KHZ", kAxisText);
    Text(p, 4, kTop - 14, "DB", kAxisText);

    // The trace.
    int lastY = yOf(column[0]);
    for (int x = 0; x < plotW; ++x) {
        const int y = yOf(column[static_cast<size_t>(x)]);
        VerticalLine(p, kLeft + x, lastY, y, kTrace);
        lastY = y;
    }

    // The carriers: a mark from the label down to the trace; labels in the first row where
    // they do not run into an earlier one.
    std::vector<int> rowEnd(kLabelRows, -1000000);
    std::vector<BandMark> sorted(marks);
    std::sort(sorted.begin(), sorted.end(), [](const BandMark& a, const BandMark& b) { return a.offsetHz < b.offsetHz; });
    for (const BandMark& m : sorted) {
        const int x = xOf(m.offsetHz);
        const int w = static_cast<int>(m.text.size()) * kCharWidth;
        int row = 0;
        while (row < kLabelRows - 1 && rowEnd[static_cast<size_t>(row)] + 4 > x - 1) ++row;
        rowEnd[static_cast<size_t>(row)] = x + w;
        const int labelY = 20 + row * kLabelRowHeight;
        const uint32_t colour = m.identified ? kIdentified : kUnidentified;
        Text(p, x + 2, labelY, m.text, colour);
        const int bin = static_cast<int>(std::lround(s.BinOfOffset(m.offsetHz)));
        const double db = bin >= 0 && bin < s.Bins() ? Db(s.power[static_cast<size_t>(bin)] / reference) : bottom;
        VerticalLine(p, x, labelY + kGlyphHeight + 1, yOf(db) - 2, colour);
    }
    return p;
}

std::string WritePng(const std::string& path, const Picture& picture) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return std::string("cannot create it: ") + std::strerror(errno);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::vector<png_bytep> rows(static_cast<size_t>(picture.height));
    for (int y = 0; y < picture.height; ++y)
        rows[static_cast<size_t>(y)] = const_cast<png_bytep>(&picture.rgb[static_cast<size_t>(y) * picture.width * 3]);
    bool ok = png && info;
    if (ok && setjmp(png_jmpbuf(png))) ok = false;
    else if (ok) {
        png_init_io(png, f);
        png_set_IHDR(png, info, static_cast<png_uint_32>(picture.width), static_cast<png_uint_32>(picture.height), 8,
                     PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        png_write_image(png, rows.data());
        png_write_end(png, nullptr);
    }
    png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
    const bool closed = std::fclose(f) == 0;
    if (ok && closed) return {};
    std::remove(path.c_str());
    return "writing it failed (is the disk full?)";
}

}  // namespace sorv
