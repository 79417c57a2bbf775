// The back buffer as the graphs draw on it: pixels written straight into the image's scan
// lines, solid lines that stop one pixel short of their end, and texts placed by their
// top-left corner over an opaque black box, in one fixed font whatever the desktop says.
#pragma once

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRgb>
#include <QSize>
#include <QString>

namespace sorv::view {

inline constexpr QRgb kBlack = 0xFF000000u;
inline constexpr QRgb kBrightGreen = 0xFF00FF00u;  // start hint, traces, curves, bars
inline constexpr QRgb kGreen = 0xFF00C800u;        // hints, captions, axes, frames, ticks
inline constexpr QRgb kRed = 0xFFFF0000u;          // clipping warning, designations
inline constexpr QRgb kYellow = 0xFFFFFF00u;       // searched lines, measuring line

// Grey of an image value: only its low 8 bits count.
inline QRgb Grey(int v) {
    const unsigned g = static_cast<unsigned>(v) & 0xFFu;
    return 0xFF000000u | (g << 16) | (g << 8) | g;
}

// The one text font of the view: its line height is 16 pixels.
const QFont& ViewFont();
// The ident banner's font: Arial (or Liberation Sans) at 20 points of the screen.
const QFont& BannerFont();

class Canvas {
public:
    // The image must be 32 bits a pixel (RGB32 or ARGB32) and stay alive with the canvas.
    explicit Canvas(QImage& image);
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    int Width() const { return w_; }
    int Height() const { return h_; }

    // Pixels. Row() is null outside the image; writes outside it are dropped.
    QRgb* Row(int y) {
        return (y >= 0 && y < h_) ? reinterpret_cast<QRgb*>(bits_ + static_cast<qsizetype>(y) * bpl_) : nullptr;
    }
    void SetPixel(int x, int y, QRgb c) {
        if (x >= 0 && x < w_ && y >= 0 && y < h_) Row(y)[x] = c;
    }
    void Fill(QRgb c);

    // Lines with a current pen and position, as a drawing context keeps them. LineTo draws
    // from the current position up to, but not including, the end point, which becomes the
    // current position. A 2-pixel pen adds the neighbour above (or left of) every pixel.
    void SetPen(QRgb colour, int width = 1) {
        penColour_ = colour;
        penWidth_ = width;
    }
    void MoveTo(int x, int y) {
        curX_ = x;
        curY_ = y;
    }
    void LineTo(int x, int y);
    void Line(int x0, int y0, int x1, int y1) {
        MoveTo(x0, y0);
        LineTo(x1, y1);
    }
    // A full circle of radius 5 about (cx, cy) in the current pen's colour, 2 pixels thick.
    void Circle5(int cx, int cy);

    // Texts in the current font (ViewFont() unless changed).
    void SetFont(const QFont& font);
    const QFont& Font() const { return font_; }
    // Width and height of a text as drawn; every text of a font has the same height.
    QSize TextSize(const QString& text) const;
    // The height of "Test": the distance between stacked caption lines.
    int LineHeight() const { return TextSize(QStringLiteral("Test")).height(); }
    // Draws the text with its top-left corner at (x, y) over an opaque black box.
    void Text(int x, int y, const QString& text, QRgb colour);

private:
    void Plot(long long x, long long y);

    QImage& image_;
    uchar* bits_;
    qsizetype bpl_;
    int w_, h_;
    QRgb penColour_ = kGreen;
    int penWidth_ = 1;
    int curX_ = 0, curY_ = 0;
    QFont font_;
    QPainter painter_;
};

}  // namespace sorv::view
