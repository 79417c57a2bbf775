// A 5 x 7 pixel font for the band picture's labels: digits, capital letters (small letters
// are drawn as capitals) and a little punctuation.
#pragma once

#include <cstdint>

namespace sorv {

constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;

// The glyph's rows, top first, the leftmost pixel in bit 4; null for a character it lacks.
const uint8_t* GlyphRows(char c);

}  // namespace sorv
