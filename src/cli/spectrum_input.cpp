// A first look at a spectrum data file, so that a file that cannot be searched is named with
// its reason before the program's own loading (which skips such files without a word).
#include <sys/stat.h>

#include <cstdio>

#include "cli/cli_commands.h"
#include "engine/regular_file.h"
#include "engine/sorvantel_doc.h"
#include "engine/text_format.h"

namespace sorv {

std::string CheckSpectrumFile(const std::string& path, std::string& truncated) {
    truncated.clear();
    std::string why;
    std::FILE* f = OpenRegularFile(path, why);
    if (!f) return why;
    uint8_t b[4] = {};
    const size_t got = std::fread(b, 1, 4, f);
    struct stat st {};
    const bool sized = ::fstat(fileno(f), &st) == 0;
    std::fclose(f);
    if (got < 4 || !sized) return "not a spectrum data file: it is shorter than its 4-byte row count";
    const int32_t count = static_cast<int32_t>(static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
                                               (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24));
    if (count < 0 || count > kMaxRows)
        return FormatC("not a spectrum data file: its row count %d is outside 0 to 65536", count);
    // A file of 0 rows (a script's "save" before any capture) is a valid file with nothing in it.
    const uintmax_t rowsHeld = (static_cast<uintmax_t>(st.st_size) - 4) / 1024;
    if (rowsHeld < static_cast<uintmax_t>(count))
        truncated = FormatC("the file is truncated: its header announces %d rows, it holds %ju", count, rowsHeld);
    return {};
}

}  // namespace sorv
