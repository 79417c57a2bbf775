// The ident log: one text file per UTC day, one line per identification, appended and closed
// entry by entry so that no handle is held between decodings. Lines end in CR LF whatever the
// system, so the files read the same everywhere.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "engine/sorvantel_doc.h"
#include "engine/text_format.h"

namespace sorv {

namespace {

constexpr size_t kMaxLogDirectoryBytes = 126;

std::string WithSeparator(std::string dir) {
    if (!dir.empty() && dir.back() != '/') dir += '/';
    return dir;
}

// One entry is one line: the stamp (taken from a loaded file's name, which may hold any byte)
// and the ident carry no line break or other control character into the log, where a name
// with a newline in it would otherwise end the entry early and forge a second one.
std::string OnOneLine(std::string text) {
    for (char& c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) c = '?';
    }
    return text;
}

// The log whose last append failed: its failure has been reported, and is not again until an
// entry reaches it, so that an unattended search does not stack up a box for every entry.
std::string& LogFailureReported() {
    static std::string path;
    return path;
}

// Appends one line and closes the file. When the line does not reach the disk whole (a full
// disk), the file is cut back to its length before, so that no broken line is left for later
// entries to run on from, and the user learns which log missed an entry.
void AppendEntry(IPlatformServices& platform, std::FILE* f, const std::string& path, const std::string& line) {
    const long before = std::fseek(f, 0, SEEK_END) == 0 ? std::ftell(f) : -1L;
    int err = 0;
    bool ok = std::fwrite(line.data(), 1, line.size(), f) == line.size();
    if (!ok) err = errno;
    if (std::fflush(f) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (std::fclose(f) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok) {
        if (LogFailureReported() == path) LogFailureReported().clear();
        return;
    }
    std::error_code ec;
    if (before >= 0) std::filesystem::resize_file(path, static_cast<uintmax_t>(before), ec);
    if (LogFailureReported() == path) return;
    LogFailureReported() = path;
    platform.ShowMessage("Cannot write to the ident log " + path + ": " + std::strerror(err != 0 ? err : EIO) +
                         ". The entry was not logged.");
}

}  // namespace

void CSorvantelDoc::OnLogIdents() { m_bLogCheck = m_bLogCheck ? 0 : 1; }

void CSorvantelDoc::OnLogDirectory() {
    std::string chosen;
    if (!m_platform.BrowseFolderDialog("Choose the directory for Sorvantel log files", m_strLogDirectory, chosen))
        return;
    if (chosen.empty()) return;
    chosen = WithSeparator(chosen);
    // The settings keep at most 126 bytes; a longer folder would not survive a restart.
    if (chosen.size() > kMaxLogDirectoryBytes) {
        m_platform.ShowMessage("The folder path is too long for the log directory (at most 126 characters).");
        return;
    }
    m_strLogDirectory = chosen;
}

int64_t CSorvantelDoc::LogTimeUtc() { return m_tRowsStart ? *m_tRowsStart : m_platform.NowUtc(); }

std::string CSorvantelDoc::LogTimeStamp() {
    // Rows from a recording carry its time even after a spectrum file's name set a stamp: they
    // are not that file's rows. Without either, the entry is stamped now.
    if (!m_tRowsStart && !m_strTimeStamp.empty()) return m_strTimeStamp;
    const CalendarTime utc = m_platform.ToUtc(LogTimeUtc());
    return FormatC("%04d%02d%02d %02d%02d ", utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min);
}

void CSorvantelDoc::WriteLogEntry() {
    if (!m_bLogCheck || m_strIdent.empty()) return;
    if (m_nLine < 0 || m_nLine > 127 || m_strLogDirectory.empty()) return;

    // Items 2 to 6 of the entry: ident (two-letter idents padded to three columns), the
    // carrier part only when a carrier and a sideband are set, offset and period.
    std::string entry = OnOneLine(m_strIdent);
    if (m_strIdent.size() == 2) entry += ' ';
    entry += ' ';
    const double offset = LineFrequency(m_nLine);
    if (m_dCarrierKHz > 0.0 && m_nRxMode >= 0)
        entry += FormatC("%5.1lf kHz; sideband %7.3lf kHz; ", m_dCarrierKHz, RadioFrequencyKHz(offset));
    entry += FormatC("offset %6.1lf Hz; ", offset);
    entry += FormatC("period %5.2lf s", (m_dPeriodMin + m_dPeriodMax) / 2.0);

    const CalendarTime utc = m_platform.ToUtc(LogTimeUtc());
    const std::string stamp = OnOneLine(LogTimeStamp());
    const std::string dir = WithSeparator(m_strLogDirectory);
    const std::string path = dir + FormatC("sorvantel%02d%02d%02d.log", (utc.tm_year + 1900) % 100,
                                           utc.tm_mon + 1, utc.tm_mday);

    // The folder is made when the first entry needs it; a log that still cannot be opened is
    // skipped without a word, and the decoding result stands.
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    std::FILE* f = std::fopen(path.c_str(), "ab");
    if (!f) return;
    AppendEntry(m_platform, f, path, stamp + entry + "\r\n");
}

}  // namespace sorv
