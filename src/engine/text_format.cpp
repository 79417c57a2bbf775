#include "engine/text_format.h"

#include <cctype>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>
#if defined(__unix__) || defined(__APPLE__)
#include <locale.h>
#endif

namespace sorv {

namespace {

#if defined(__unix__) || defined(__APPLE__)
// A thread-local switch to the "C" locale for the length of one call.
class CLocaleScope {
public:
    CLocaleScope() {
        static locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
        previous_ = cLocale ? uselocale(cLocale) : static_cast<locale_t>(0);
    }
    ~CLocaleScope() {
        if (previous_) uselocale(previous_);
    }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    locale_t previous_;
};
#else
struct CLocaleScope {};
#endif

size_t SkipSpace(const char* text) {
    size_t i = 0;
    while (text[i] != '\0' && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    return i;
}

}  // namespace

std::string FormatC(const char* fmt, ...) {
    CLocaleScope scope;
    char small[256];
    va_list args;
    va_start(args, fmt);
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(small, sizeof small, fmt, args);
    va_end(args);
    std::string out;
    if (n < 0) {
        va_end(copy);
        return out;
    }
    if (static_cast<size_t>(n) < sizeof small) {
        out.assign(small, static_cast<size_t>(n));
    } else {
        std::vector<char> big(static_cast<size_t>(n) + 1);
        std::vsnprintf(big.data(), big.size(), fmt, copy);
        out.assign(big.data(), static_cast<size_t>(n));
    }
    va_end(copy);
    return out;
}

bool ScanDouble(const char* text, double& value, size_t* consumed) {
    if (!text) return false;
    size_t i = SkipSpace(text);
    size_t start = i;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') {
        negative = text[i] == '-';
        ++i;
    }
    // Only decimal digits and a point may begin the number: this refuses "nan" and "inf".
    if (!(std::isdigit(static_cast<unsigned char>(text[i])) ||
          (text[i] == '.' && std::isdigit(static_cast<unsigned char>(text[i + 1])))))
        return false;
    double v = 0;
    const char* first = text + i;
    const char* last = first + std::strlen(first);
    auto res = std::from_chars(first, last, v, std::chars_format::general);
    if (res.ec == std::errc::result_out_of_range) {
        return false;
    }
    if (res.ec != std::errc() || !std::isfinite(v)) return false;
    (void)start;
    value = negative ? -v : v;
    if (consumed) *consumed = static_cast<size_t>(res.ptr - text);
    return true;
}

bool ScanInt(const char* text, int& value, size_t* consumed) {
    if (!text) return false;
    size_t i = SkipSpace(text);
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') {
        negative = text[i] == '-';
        ++i;
    }
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
    long long v = 0;
    while (std::isdigit(static_cast<unsigned char>(text[i]))) {
        v = v * 10 + (text[i] - '0');
        if (v > 2147483648LL) return false;
        ++i;
    }
    if (negative) v = -v;
    if (v > 2147483647LL || v < -2147483648LL) return false;
    value = static_cast<int>(v);
    if (consumed) *consumed = i;
    return true;
}

bool ScanHex(const char* text, size_t maxChars, unsigned& value) {
    if (!text) return false;
    unsigned v = 0;
    size_t i = 0;
    for (; i < maxChars && std::isxdigit(static_cast<unsigned char>(text[i])); ++i) {
        char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
        v = v * 16 + static_cast<unsigned>(c <= '9' ? c - '0' : c - 'a' + 10);
    }
    if (i == 0) return false;
    value = v;
    return true;
}

}  // namespace sorv
