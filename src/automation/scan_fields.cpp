#include "automation/scan_fields.h"

#include <cctype>
#include <cstddef>

#include "engine/text_format.h"

namespace sorv {

int ScanIntFields(const char* text, const char* pattern, int* out) {
    int read = 0;
    const char* p = text;
    for (const char* f = pattern; *f; ++f) {
        if (*f == 'd') {
            size_t used = 0;
            if (!ScanInt(p, out[read], &used)) return read;
            ++read;
            p += used;
        } else if (*f == ' ') {
            while (*p && std::isspace(static_cast<unsigned char>(*p))) ++p;
        } else {
            if (*p != *f) return read;
            ++p;
        }
    }
    return read;
}

}  // namespace sorv
