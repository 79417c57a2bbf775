// WAV recording of the raw captured audio: a canonical RIFF/WAVE file with an 18-byte format
// chunk, named from the local time and the carrier, written one captured second at a time.
// The size fields are brought up to date after every second, so a recording cut off by a
// crash or a kill is still a valid file holding everything written so far.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "engine/sorvantel_doc.h"
#include "engine/text_format.h"

namespace sorv {

namespace {

constexpr uint32_t kHeaderBytes = 46;
constexpr uint32_t kRiffOverhead = 38;  // RIFF size = data bytes + 38
// The RIFF size field is 32 bits and holds data + 38.
constexpr uint64_t kMaxDataBytes = 0xFFFFFFFFull - kRiffOverhead;
constexpr uint32_t kPlaceholderData = 240000;  // five seconds, until the real size is known

void Put16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void Put32(uint8_t* p, uint32_t v) {
    Put16(p, v);
    Put16(p + 2, v >> 16);
}

void BuildHeader(uint8_t (&h)[kHeaderBytes], uint32_t dataBytes) {
    std::memcpy(h + 0, "RIFF", 4);
    Put32(h + 4, dataBytes + kRiffOverhead);
    std::memcpy(h + 8, "WAVE", 4);
    std::memcpy(h + 12, "fmt ", 4);
    Put32(h + 16, 18);
    Put16(h + 20, 1);       // PCM
    Put16(h + 22, 1);       // mono
    Put32(h + 24, 48000);   // samples per second
    Put32(h + 28, 48000);   // bytes per second
    Put16(h + 32, 1);       // block alignment
    Put16(h + 34, 8);       // bits per sample
    Put16(h + 36, 0);       // extra format bytes
    std::memcpy(h + 38, "data", 4);
    Put32(h + 42, dataBytes);
}

bool WriteAt(std::FILE* f, long offset, const uint8_t* bytes, size_t n) {
    return std::fseek(f, offset, SEEK_SET) == 0 && std::fwrite(bytes, 1, n, f) == n;
}

// Rewrites the two size fields, then returns to the end for the next second of audio.
bool UpdateSizes(std::FILE* f, uint32_t dataBytes) {
    uint8_t riff[4], data[4];
    Put32(riff, dataBytes + kRiffOverhead);
    Put32(data, dataBytes);
    return WriteAt(f, 4, riff, 4) && WriteAt(f, 42, data, 4) && std::fseek(f, 0, SEEK_END) == 0 &&
           std::fflush(f) == 0;
}

// The carrier in whole Hz, rounded; false when no carrier is set or it cannot be named.
bool CarrierHz(double carrierKHz, long& hz) {
    if (carrierKHz == 0.0 || !std::isfinite(carrierKHz)) return false;
    const double value = carrierKHz * 1000.0;
    if (!(std::fabs(value) < 2e9)) return false;
    hz = std::lround(value);
    return true;
}

// Local month, day, hour, minute and second, then the carrier when one is set.
std::string RecordingName(CSorvantelDoc& doc, int64_t utc) {
    const CalendarTime t = doc.Platform().ToLocal(utc);
    std::string name = FormatC("%02d%02d%02d%02d%02d", t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    long hz = 0;
    if (CarrierHz(doc.m_dCarrierKHz, hz)) name += FormatC("_%ldhz", hz);
    return name + ".wav";
}

// errno after a failed call, never 0 (a short count from a buffered write can leave it unset).
int FailureErrno() { return errno != 0 ? errno : EIO; }

// Writes the final header and closes the file; 0, or the error number of a failing step.
int CloseRecording(CSorvantelDoc& doc) {
    doc.m_bRecording = 0;
    if (!doc.m_fileWav) return 0;
    std::FILE* f = doc.m_fileWav;
    doc.m_fileWav = nullptr;
    uint8_t header[kHeaderBytes];
    BuildHeader(header, static_cast<uint32_t>(std::min<uint64_t>(doc.m_nWavDataBytes, kMaxDataBytes)));
    int err = WriteAt(f, 0, header, kHeaderBytes) ? 0 : FailureErrno();
    if (std::fclose(f) != 0 && err == 0) err = FailureErrno();
    return err;
}

// After a failed write the counted bytes may include some that never reached the disk (the C
// library counts what it buffered). Once the file is closed, its size is the truth: the header
// is written again to describe exactly the bytes the file holds, so that it stays a valid WAV
// file with nothing claimed that is not there. Overwriting the first 46 bytes needs no room.
void DescribeWhatTheFileHolds(const std::string& path) {
    std::error_code ec;
    const uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec || size < kHeaderBytes) return;
    std::FILE* f = std::fopen(path.c_str(), "r+b");
    if (!f) return;
    uint8_t header[kHeaderBytes];
    BuildHeader(header, static_cast<uint32_t>(std::min<uintmax_t>(size - kHeaderBytes, kMaxDataBytes)));
    WriteAt(f, 0, header, kHeaderBytes);
    std::fclose(f);
}

// A recording whose file has gone from its folder (the folder removed, or replaced by a file)
// would go on writing into a file that no longer has a name and is lost when it is closed.
// A folder renamed away takes the file with it; that recording is stopped too (what it holds
// is finalised in its new place), since the program can no longer say where it is.
bool FileIsStillThere(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

}  // namespace

void CSorvantelDoc::StartRecording() {
    if (m_bRecording) return;
    const std::string path = m_strLogDirectory + RecordingName(*this, m_platform.NowUtc());
    std::error_code ec;
    std::filesystem::create_directories(m_strLogDirectory, ec);
    // "x": create only. Names carry no year and use local time, so an existing file is an
    // earlier recording (last year's same date, the repeated autumn hour) and is kept.
    std::FILE* f = std::fopen(path.c_str(), "wbx");
    if (!f) {
        const int err = errno;
        if (err == EEXIST) {
            m_platform.ShowMessage("The recording " + path +
                                   " already exists. It is kept, and nothing is recorded.");
        } else {
            m_platform.ShowMessage("Cannot create the recording " + path + ": " + std::strerror(err));
        }
        return;
    }
    uint8_t header[kHeaderBytes];
    BuildHeader(header, kPlaceholderData);
    if (std::fwrite(header, 1, kHeaderBytes, f) != kHeaderBytes || std::fflush(f) != 0) {
        const int err = FailureErrno();
        std::fclose(f);
        m_platform.ShowMessage("Cannot write the recording " + path + ": " + std::strerror(err));
        return;
    }
    m_fileWav = f;
    m_strWavPath = path;
    m_nWavDataBytes = 0;
    m_bRecording = 1;
}

void CSorvantelDoc::AppendRecording(const uint8_t* bytes, uint32_t n) {
    if (!m_bRecording || !m_fileWav) return;
    if (m_nWavDataBytes + n > kMaxDataBytes) {
        FinaliseRecording();
        m_platform.ShowMessage("The recording " + m_strWavPath +
                               " has reached the largest size a WAV file can describe (4 GiB) and has been closed.");
        return;
    }
    if (!FileIsStillThere(m_strWavPath)) {
        CloseRecording(*this);
        m_platform.ShowMessage("The recording " + m_strWavPath +
                               " is no longer where it was made (its folder was removed, renamed or"
                               " replaced). The recording has been stopped.");
        return;
    }
    errno = 0;
    const size_t written = std::fwrite(bytes, 1, n, m_fileWav);
    const int writeErr = errno;
    m_nWavDataBytes += written;
    if (written == n && UpdateSizes(m_fileWav, static_cast<uint32_t>(m_nWavDataBytes))) return;
    // The disk is full or gone: keep what was written, described by a correct header, and stop
    // recording rather than fail again every second.
    const int err = written == n ? FailureErrno() : (writeErr != 0 ? writeErr : EIO);
    CloseRecording(*this);
    DescribeWhatTheFileHolds(m_strWavPath);
    m_platform.ShowMessage("Error writing the recording " + m_strWavPath + ": " + std::strerror(err) +
                           ". The recording has been stopped.");
}

void CSorvantelDoc::FinaliseRecording() {
    const int err = CloseRecording(*this);
    if (err == 0) return;
    DescribeWhatTheFileHolds(m_strWavPath);
    m_platform.ShowMessage("Error writing the recording " + m_strWavPath + ": " + std::strerror(err));
}

}  // namespace sorv
