// Mode 0: the raw input, so that the receiver's audio level can be set before anything else.
#include "display/graphs.h"

namespace sorv::view {

void DrawSignalGraph(Canvas& c, const CSorvantelDoc& doc) {
    const int w = c.Width();
    c.Text(1, 150, QStringLiteral("Ensure the audio is not limiting then double click to display the spectrum"), kGreen);

    c.SetPen(kGreen);
    c.Line(0, 100, w, 100);
    for (int x = 0; x < w; x += 40) c.Line(x, 100, x, 105);

    // 1024 points whatever the width: the newest sample lands on x = W - 1 when W <= 1024.
    c.SetPen(kBrightGreen);
    for (int x = 0; x < kRawRingSize; ++x) {
        const long long at = (static_cast<long long>(doc.m_nRawPos) - w + x) % kRawRingSize;
        const int index = static_cast<int>(at < 0 ? at + kRawRingSize : at);
        const int y = 100 + doc.m_rawRing[index] / 2;
        if (x == 0) {
            c.MoveTo(x, y);
        } else {
            c.LineTo(x, y);
        }
    }
}

}  // namespace sorv::view
