#include "audio/synth/morse_code.h"

#include <cctype>
#include <cmath>

namespace sorv {

std::string MorseCode(char c) {
    static const char* const kLetters[26] = {
        ".-",   "-...", "-.-.", "-..",  ".",   "..-.", "--.",  "....", "..",   ".---", "-.-",  ".-..", "--",
        "-.",   "---",  ".--.", "--.-", ".-.", "...",  "-",    "..-",  "...-", ".--",  "-..-", "-.--", "--.."};
    static const char* const kDigits[10] = {"-----", ".----", "..---", "...--", "....-",
                                            ".....", "-....", "--...", "---..", "----."};
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 128 && std::isalpha(u)) return kLetters[std::toupper(u) - 'A'];
    if (u < 128 && std::isdigit(u)) return kDigits[u - '0'];
    return {};
}

std::vector<KeyMark> MorseKeying(const std::string& ident, double wpm) {
    std::vector<KeyMark> marks;
    if (!std::isfinite(wpm) || wpm <= 0.0) return marks;
    const double dot = 1.2 / wpm;
    double t = 0.0;
    bool afterLetter = false;
    for (char c : ident) {
        if (c == ' ') {
            if (afterLetter) t += 4 * dot;  // the letter gap's three dots come below: seven in all
            continue;
        }
        const std::string code = MorseCode(c);
        if (code.empty()) continue;
        if (afterLetter) t += 2 * dot;  // one dot already follows the last element
        for (char e : code) {
            const double length = e == '-' ? 3 * dot : dot;
            marks.push_back({t, t + length});
            t += length + dot;
        }
        afterLetter = true;
    }
    return marks;
}

double MorseIdentSeconds(const std::string& ident, double wpm) {
    const auto marks = MorseKeying(ident, wpm);
    return marks.empty() ? 0.0 : marks.back().off;
}

}  // namespace sorv
