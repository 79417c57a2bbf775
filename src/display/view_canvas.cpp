#include "display/view_canvas.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace sorv::view {

namespace {

QFont PlainFont(const QStringList& families) {
    QFont f;
    f.setFamilies(families);
    f.setStyleHint(QFont::SansSerif);
    f.setStyleStrategy(QFont::NoAntialias);
    return f;
}

}  // namespace

const QFont& ViewFont() {
    // The largest pixel size whose line height is still 16 pixels, the height of the default
    // font of a drawing context on the system the layout was made for. Positions follow from
    // this font's measured sizes, so the layout does not move with desktop font settings.
    static const QFont font = [] {
        QFont f = PlainFont({QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")});
        int chosen = 14;
        for (int px = 8; px <= 24; ++px) {
            f.setPixelSize(px);
            if (QFontMetrics(f).height() <= 16) chosen = px;
        }
        f.setPixelSize(chosen);
        return f;
    }();
    return font;
}

const QFont& BannerFont() {
    static const QFont font = [] {
        QFont f = PlainFont({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
        double dpi = 96.0;
        if (const QScreen* s = QGuiApplication::primaryScreen()) {
            const double d = s->logicalDotsPerInchY();
            if (std::isfinite(d) && d >= 24.0 && d <= 960.0) dpi = d;
        }
        f.setPixelSize(static_cast<int>(std::lround(20.0 * dpi / 72.0)));
        return f;
    }();
    return font;
}

Canvas::Canvas(QImage& image)
    : image_(image),
      bits_(image.bits()),
      bpl_(image.bytesPerLine()),
      w_(image.width()),
      h_(image.height()),
      font_(ViewFont()) {
    painter_.begin(&image_);
    painter_.setRenderHint(QPainter::Antialiasing, false);
    painter_.setRenderHint(QPainter::TextAntialiasing, false);
    painter_.setFont(font_);
}

void Canvas::Fill(QRgb c) {
    for (int y = 0; y < h_; ++y) std::fill(Row(y), Row(y) + w_, c);
}

void Canvas::Plot(long long x, long long y) {
    if (x >= 0 && x < w_ && y >= 0 && y < h_) Row(static_cast<int>(y))[x] = penColour_;
}

void Canvas::LineTo(int x1, int y1) {
    const long long x0 = curX_, y0 = curY_;
    MoveTo(x1, y1);
    const long long dx = x1 - x0, dy = y1 - y0;
    const long long n = std::max(std::llabs(dx), std::llabs(dy));
    if (n == 0) return;
    // Step i = 0 .. n-1 advances one pixel along the major axis; the minor coordinate is the
    // nearest pixel to the ideal line (halves round up). Only the steps whose major
    // coordinate lies inside the image are visited, so far-away ends cost nothing.
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    const long long major0 = xMajor ? x0 : y0, minor0 = xMajor ? y0 : x0;
    const long long majorStep = (xMajor ? dx : dy) > 0 ? 1 : -1;
    const long long minorDelta = xMajor ? dy : dx;
    const long long minorStep = minorDelta >= 0 ? 1 : -1;
    const __int128 minorAbs = std::llabs(minorDelta);
    const long long limit = xMajor ? w_ : h_;
    long long iLo = majorStep > 0 ? -major0 : major0 - limit + 1;
    long long iHi = majorStep > 0 ? limit - major0 : major0 + 1;
    iLo = std::max(iLo, 0LL);
    iHi = std::min(iHi, n);
    if (iLo >= iHi) return;
    // minor(i) = minor0 + minorStep * floor((2 i |d| + n) / 2n), kept as quotient and
    // remainder from the first visible step on.
    const __int128 start = 2 * static_cast<__int128>(iLo) * minorAbs + n;
    long long minor = minor0 + minorStep * static_cast<long long>(start / (2 * n));
    long long error = static_cast<long long>(start % (2 * n));
    const long long errorStep = static_cast<long long>(2 * minorAbs);
    for (long long i = iLo; i < iHi; ++i) {
        const long long major = major0 + i * majorStep;
        if (i > iLo) {
            error += errorStep;
            if (error >= 2 * n) {
                error -= 2 * n;
                minor += minorStep;
            }
        }
        if (xMajor) {
            Plot(major, minor);
            if (penWidth_ > 1) Plot(major, minor - 1);
        } else {
            Plot(minor, major);
            if (penWidth_ > 1) Plot(minor - 1, major);
        }
    }
}

void Canvas::Circle5(int cx, int cy) {
    for (int dy = -6; dy <= 6; ++dy) {
        for (int dx = -6; dx <= 6; ++dx) {
            const int r2 = dx * dx + dy * dy;
            if (r2 >= 16 && r2 < 36) Plot(static_cast<long long>(cx) + dx, static_cast<long long>(cy) + dy);
        }
    }
}

void Canvas::SetFont(const QFont& font) {
    font_ = font;
    painter_.setFont(font_);
}

QSize Canvas::TextSize(const QString& text) const {
    const QFontMetrics fm(font_);
    return {fm.horizontalAdvance(text), fm.height()};
}

void Canvas::Text(int x, int y, const QString& text, QRgb colour) {
    const QFontMetrics fm(font_);
    painter_.fillRect(x, y, fm.horizontalAdvance(text), fm.height(), QColor::fromRgb(kBlack));
    painter_.setPen(QColor::fromRgb(colour));
    painter_.drawText(x, y + fm.ascent(), text);
}

}  // namespace sorv::view
