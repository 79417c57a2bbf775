// Captions shared by the graphs: the designated line with its audio (and radio) frequency,
// and stacks of caption lines one line height apart.
#pragma once

#include <QString>
#include <string>

#include "display/view_canvas.h"
#include "engine/sorvantel_doc.h"

namespace sorv::view {

inline QString ToQ(const std::string& s) { return QString::fromStdString(s); }

// Radio frequencies are shown beside audio ones only with a carrier and a chosen sideband.
bool ShowsRadioFrequency(const CSorvantelDoc& doc);
// Radio frequency in kHz of an audio frequency in Hz (upper or lower sideband).
double RadioKHz(const CSorvantelDoc& doc, double audioHz);

// "Designated line %1.1lf Hz", with " (%6.3lf kHz)" when radio frequencies are shown.
QString DesignatedLineCaption(const CSorvantelDoc& doc);

// Lines of a caption stack: line k stands at (x, top + k h), k counting only lines drawn.
class CaptionStack {
public:
    CaptionStack(Canvas& canvas, int x, int top) : c_(canvas), x_(x), top_(top), h_(canvas.LineHeight()) {}
    void Add(const QString& text, QRgb colour = kGreen) {
        c_.Text(x_, top_ + k_ * h_, text, colour);
        ++k_;
    }

private:
    Canvas& c_;
    int x_, top_, h_;
    int k_ = 0;
};

}  // namespace sorv::view
