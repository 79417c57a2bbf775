#include "automation/spectrum_file.h"

#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include <sys/stat.h>

#include "automation/save_target.h"
#include "engine/regular_file.h"
#include "engine/sorvantel_doc.h"
#include "engine/text_format.h"

namespace sorv {

static_assert(std::endian::native == std::endian::little,
              "spectrum files hold little-endian values and are read and written in place");

namespace {

constexpr size_t kRowBytes = sizeof(double) * kLines;

std::string FileNameOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

bool EndsWith(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The display level that the producer gives a power value, so that loaded rows look in the
// Spectrum graph as they did when they were made.
int LevelOfPower(double p, int decimation) {
    if (!(p > 1e-9)) return 0;
    const double v = std::sqrt(p) * 60.0 / decimation;
    return v > 255.0 ? 255 : static_cast<int>(v);
}

void DeriveLevels(CSorvantelDoc& doc, int rows) {
    const int decimation = doc.Decimation();
    for (int r = 0; r < rows; ++r) {
        for (int l = 0; l < kLines; ++l) doc.m_level[r][l] = LevelOfPower(doc.m_power[r][l], decimation);
    }
}

// Creates a fresh temporary file beside the destination; never reuses an existing one.
std::FILE* CreateTemporaryBeside(const std::string& path, std::string& tmp) {
    for (int i = 0; i < 100; ++i) {
        tmp = path + (i == 0 ? std::string(".part") : FormatC(".part%d", i));
        if (std::FILE* f = std::fopen(tmp.c_str(), "wbx")) return f;
        if (errno != EEXIST) return nullptr;
    }
    return nullptr;
}

}  // namespace

std::string SpectrumFileName(const CalendarTime& utc, double carrierKHz) {
    const std::string stamp = FormatC("sorvantel_%04d%02d%02d%02d%02d%02d", utc.tm_year + 1900,
                                      utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
    if (carrierKHz == 0.0 || !std::isfinite(carrierKHz)) return stamp + ".svl";
    std::string suffix = FormatC("_%3.1lf", carrierKHz);
    for (char& c : suffix) {
        if (c == '.') c = '_';
    }
    return stamp + suffix + ".svl";
}

std::optional<RecognisedSpectrumName> RecogniseSpectrumFileName(const std::string& path) {
    const std::string name = FileNameOf(path);
    // A name without a carrier suffix has 28 characters and is never recognised.
    if (name.size() < 32 || !StartsWith(name, "sorvantel_") || !EndsWith(name, ".svl")) return std::nullopt;
    const std::string m = name.substr(10, name.size() - 14);  // the time stamp, "_" and the carrier
    int carrier = 0;
    if (!ScanInt(m.c_str() + 15, carrier)) return std::nullopt;
    RecognisedSpectrumName r;
    r.carrierKHz = carrier;
    r.timeStamp = m.substr(0, 8) + " " + m.substr(8, 4) + " ";
    return r;
}

bool ApplySpectrumFileName(CSorvantelDoc& doc, const std::string& path) {
    const auto recognised = RecogniseSpectrumFileName(path);
    if (!recognised) return false;
    doc.m_dCarrierKHz = recognised->carrierKHz;
    doc.m_strTimeStamp = recognised->timeStamp;
    return true;
}

SpectrumFileStatus WriteSpectrumFile(const std::string& path, const double (*power)[128], int rows) {
    if (rows < 0) rows = 0;
    if (rows > kMaxRows) rows = kMaxRows;
    SaveTarget target;
    if (!FindSaveTarget(path, target)) return SpectrumFileStatus::OpenFailed;
    std::string tmp;
    std::FILE* f = CreateTemporaryBeside(target.path, tmp);
    if (!f) return SpectrumFileStatus::OpenFailed;
    // The file that replaces an existing one keeps its permission bits.
    if (target.exists) ::fchmod(fileno(f), target.mode);

    const int32_t count = rows;
    unsigned char header[4];
    std::memcpy(header, &count, sizeof header);
    const size_t bodyBytes = static_cast<size_t>(rows) * kRowBytes;
    bool ok = std::fwrite(header, 1, sizeof header, f) == sizeof header;
    if (ok && bodyBytes > 0) ok = std::fwrite(power, 1, bodyBytes, f) == bodyBytes;
    if (ok) ok = std::fflush(f) == 0;
    int error = ok ? 0 : errno;
    if (std::fclose(f) != 0 && ok) {
        ok = false;
        error = errno;
    }
    std::error_code ec;
    if (ok) {
        std::filesystem::rename(tmp, target.path, ec);
        if (ec) {
            ok = false;
            error = ec.value();
        }
    }
    if (ok) return SpectrumFileStatus::Ok;
    std::filesystem::remove(tmp, ec);
    return error == ENOSPC ? SpectrumFileStatus::DiskFull : SpectrumFileStatus::WriteFailed;
}

SpectrumFileStatus LoadSpectrumRows(CSorvantelDoc& doc, const std::string& path) {
    std::string why;
    bool notRegular = false;
    std::FILE* f = OpenRegularFile(path, why, &notRegular);
    if (!f) return notRegular ? SpectrumFileStatus::NotRegular : SpectrumFileStatus::OpenFailed;

    unsigned char header[4];
    if (std::fread(header, 1, sizeof header, f) != sizeof header) {
        const bool failed = std::ferror(f) != 0;
        std::fclose(f);
        return failed ? SpectrumFileStatus::ReadFailed : SpectrumFileStatus::BadHeader;
    }
    int32_t count = 0;
    std::memcpy(&count, header, sizeof count);
    // Nothing in the document changes for a count the store cannot hold.
    if (count < 0 || count > kMaxRows) {
        std::fclose(f);
        return SpectrumFileStatus::BadHeader;
    }

    ApplySpectrumFileName(doc, path);
    doc.m_tRowsStart.reset();  // the rows are the file's now, stamped by its name if at all
    // A file shorter than its count gives the rows it holds; the rest keep their contents.
    const size_t got = std::fread(&doc.m_power[0][0], 1, static_cast<size_t>(count) * kRowBytes, f);
    (void)got;
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    doc.m_nRows = count;
    DeriveLevels(doc, count);
    return failed ? SpectrumFileStatus::ReadFailed : SpectrumFileStatus::Ok;
}

std::string SpectrumFileMessage(SpectrumFileStatus status, const std::string& path, bool writing) {
    switch (status) {
        case SpectrumFileStatus::Ok:
            return {};
        case SpectrumFileStatus::OpenFailed:
            return writing ? path + " could not be created." : path + " could not be opened.";
        case SpectrumFileStatus::NotRegular:
            return path + " is not a regular file (a FIFO, a device or a directory). Nothing was loaded.";
        case SpectrumFileStatus::BadHeader:
            return path + " is not a spectrum data file: its row count is missing or outside 0 to 65536."
                          " Nothing was loaded.";
        case SpectrumFileStatus::ReadFailed:
            return "Encountered an unexpected error while reading " + path + ".";
        case SpectrumFileStatus::WriteFailed:
            return "Encountered an unexpected error while writing " + path + ".";
        case SpectrumFileStatus::DiskFull:
            return "Disk full while accessing " + path + ".";
    }
    return {};
}

SpectrumFileStatus SaveSpectrumToLogDirectory(CSorvantelDoc& doc, std::string* path) {
    std::string dir = doc.m_strLogDirectory;
    if (dir.empty() || dir.back() != '/') dir += '/';
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    const std::string name = SpectrumFileName(doc.Platform().ToUtc(doc.Platform().NowUtc()), doc.m_dCarrierKHz);
    // A file that cannot be created is passed over, as for every file a script touches; one
    // that could be created but not written whole (a full disk) is reported by name, since
    // the night's rows would otherwise be lost without a word. No partial file is left.
    const SpectrumFileStatus status = WriteSpectrumFile(dir + name, doc.m_power.get(), doc.m_nRows);
    if (status == SpectrumFileStatus::WriteFailed || status == SpectrumFileStatus::DiskFull)
        doc.Platform().ShowMessage(SpectrumFileMessage(status, dir + name, true));
    if (path) *path = dir + name;
    return status;
}

void CSorvantelDoc::OnSave() {
    if (m_nRows <= 0) return;
    FileDialogSpec spec;
    spec.defaultSuffix = "svl";
    spec.initialName = SpectrumFileName(m_platform.ToUtc(m_platform.NowUtc()), m_dCarrierKHz);
    std::string path;
    if (!m_platform.SaveFileDialog(spec, path)) return;
    const SpectrumFileStatus status = WriteSpectrumFile(path, m_power.get(), m_nRows);
    if (status != SpectrumFileStatus::Ok) m_platform.ShowMessage(SpectrumFileMessage(status, path, true));
}

void CSorvantelDoc::OnLoad() {
    if (m_bProcessing) return;
    if (m_nRows > 0 && !m_platform.AskYesNo("Overwrite the existing spectrum data?")) return;
    FileDialogSpec spec;
    spec.defaultSuffix = "svl";
    spec.initialName = "*.svl";
    spec.filters = {"Spectrum files (*.svl)", "All files (*)"};
    std::string path;
    if (!m_platform.OpenFileDialog(spec, path)) return;

    const SpectrumFileStatus status = LoadSpectrumRows(*this, path);
    if (status != SpectrumFileStatus::Ok) {
        m_platform.ShowMessage(SpectrumFileMessage(status, path, false));
        if (status != SpectrumFileStatus::ReadFailed) return;
        UpdateAllViews();  // rows may have been replaced before the error
        return;
    }
    SetTitle(FormatC("Sorvantel from KELD - loaded spectrum data (%d samples)", m_nRows));
    m_nViewMode = 1;
    EnsureViewTimers();
    UpdateAllViews();
    SetTitle("Loaded file " + FileNameOf(path));
}

}  // namespace sorv
