// A document on the fake platform with its view, rendered into fixed-size images, and pixel
// checks whose expectations come from the same font metrics the view uses.
#pragma once

#include <gtest/gtest.h>

#include <QImage>
#include <QRect>
#include <QString>
#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <string>

#include "display/sorvantel_view.h"
#include "display/view_canvas.h"
#include "engine/sorvantel_doc.h"
#include "support/fake_platform.h"

namespace sorv::test {

inline std::string Hex(QRgb c) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "#%06x", c & 0xFFFFFFu);
    return buf;
}

// Whether `text` in `colour` (and `font`) stands with its top-left corner at (x, y): the
// image's pixels in the text's box equal those of the text drawn alone on black. Pixels of
// the colours in `drawnLater` are skipped: graphs drawn after the text may cross it.
inline ::testing::AssertionResult TextAt(const QImage& img, int x, int y, const QString& text, QRgb colour,
                                         const QFont& font = view::ViewFont(),
                                         std::initializer_list<QRgb> drawnLater = {}) {
    QImage probe(1, 1, QImage::Format_RGB32);
    QSize size;
    {
        view::Canvas c(probe);
        c.SetFont(font);
        size = c.TextSize(text);
    }
    QImage expected(size, QImage::Format_RGB32);
    int inked = 0;
    {
        view::Canvas c(expected);
        c.SetFont(font);
        c.Fill(view::kBlack);
        c.Text(0, 0, text, colour);
    }
    for (int j = 0; j < size.height(); ++j) {
        for (int i = 0; i < size.width(); ++i) {
            const QRgb want = expected.pixel(i, j) | 0xFF000000u;
            if (want == (colour | 0xFF000000u)) ++inked;
            if (!img.rect().contains(x + i, y + j)) continue;
            const QRgb got = img.pixel(x + i, y + j) | 0xFF000000u;
            if (std::find(drawnLater.begin(), drawnLater.end(), got) != drawnLater.end()) continue;
            if (got != want) {
                return ::testing::AssertionFailure()
                       << "\"" << text.toStdString() << "\" at (" << x << "," << y << "): pixel (" << x + i << ","
                       << y + j << ") is " << Hex(got) << ", expected " << Hex(want);
            }
        }
    }
    if (inked == 0) return ::testing::AssertionFailure() << "\"" << text.toStdString() << "\" draws no pixel";
    return ::testing::AssertionSuccess();
}

inline int TextWidth(const QString& text, const QFont& font = view::ViewFont()) {
    QImage probe(1, 1, QImage::Format_RGB32);
    view::Canvas c(probe);
    c.SetFont(font);
    return c.TextSize(text).width();
}

inline int TextHeight(const QFont& font = view::ViewFont()) {
    QImage probe(1, 1, QImage::Format_RGB32);
    view::Canvas c(probe);
    c.SetFont(font);
    return c.TextSize("Text").height();
}
inline int LineHeight() { return TextHeight(); }

// Pixels of one colour inside a rectangle of the image.
inline int Count(const QImage& img, const QRect& r, QRgb colour) {
    int n = 0;
    const QRect clipped = r.intersected(img.rect());
    for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
        for (int x = clipped.left(); x <= clipped.right(); ++x) n += (img.pixel(x, y) | 0xFF000000u) == (colour | 0xFF000000u);
    }
    return n;
}

inline QRgb At(const QImage& img, int x, int y) { return img.pixel(x, y) | 0xFF000000u; }

// A view at its default size, the one users first see, with processing off as it always is
// when working from files.
class ViewTest : public ::testing::Test {
protected:
    FakePlatform platform;
    CSorvantelDoc doc{platform};
    CSorvantelView view{doc};
    const int W = CSorvantelView::DefaultSize().width();
    const int H = CSorvantelView::DefaultSize().height();
    // The plot rectangle of the Spectral Density and Periodicity graphs at that size.
    const int P = W - 20, B = H - 30, Q = H - 40;

    QImage Render() { return Render(W, H); }

    // Sizes the view like the image, so that handlers and paint agree on W and H.
    QImage Render(int w, int h) {
        view.resize(w, h);
        QImage img(w, h, QImage::Format_RGB32);
        img.fill(Qt::magenta);  // anything the paint forgets shows
        view.OnDraw(img);
        return img;
    }
    // A period spectrum of `bins` bins, all zero.
    void SetPeriodSpectrum(int bins) {
        doc.m_pPeriodSpectrum.assign(static_cast<size_t>(bins) + 1, 0.0);
        doc.m_nPeriodBins = bins;
    }
};

}  // namespace sorv::test
