// Morse code for the synthesiser: the dots and dashes of a character, and the keying of a
// whole ident with the standard timing (dot 1.2 / wpm seconds, dash three dots, one dot inside
// a letter, three between letters, seven between words).
#pragma once

#include <string>
#include <vector>

namespace sorv {

// ".-.." for 'L'; empty for a character that has no code here.
std::string MorseCode(char c);

struct KeyMark {
    double on = 0.0;   // seconds from the ident's start
    double off = 0.0;
};

// Key-down intervals of one ident at a speed; a space is a word gap. Unknown characters are
// skipped. Empty for a non-positive or non-finite speed.
std::vector<KeyMark> MorseKeying(const std::string& ident, double wpm);

// From the first key-down to the last key-up, in seconds; 0 for an empty keying.
double MorseIdentSeconds(const std::string& ident, double wpm);

}  // namespace sorv
