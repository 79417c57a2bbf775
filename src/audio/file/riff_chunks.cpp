#include "audio/file/riff_chunks.h"

#include <stdio.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace sorv {

namespace {

// More chunks than any recorder writes; a file of tiny chunks cannot keep the walk going.
constexpr int kMaxChunks = 4096;
constexpr uint32_t kPlaceholderSize = 0xFFFFFFFFu;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}
uint64_t Le64(const uint8_t* p) { return Le32(p) | (static_cast<uint64_t>(Le32(p + 4)) << 32); }

bool ReadAt(std::FILE* f, uint64_t offset, uint8_t* out, size_t n) {
    if (offset > static_cast<uint64_t>(INT64_MAX)) return false;
    if (fseeko(f, static_cast<off_t>(offset), SEEK_SET) != 0) return false;
    return std::fread(out, 1, n, f) == n;
}

// Chunk identifiers are four printable characters; anything else is not a chunk header but
// padding or junk that some writers leave after the data.
bool LooksLikeChunkId(const uint8_t* p) {
    for (int i = 0; i < 4; ++i)
        if (p[i] < 0x20 || p[i] > 0x7E) return false;
    return true;
}

WavFormat ParseFormat(const uint8_t* b, size_t n) {
    WavFormat f;
    f.tag = Le16(b);
    f.channels = Le16(b + 2);
    f.sampleRate = Le32(b + 4);
    f.blockAlign = Le16(b + 12);
    f.bitsPerSample = Le16(b + 14);
    // WAVE_FORMAT_EXTENSIBLE: the real tag is the first two bytes of the sub-format GUID.
    if (f.tag == 0xFFFE && n >= 26) f.tag = Le16(b + 24);
    return f;
}

}  // namespace

const RiffChunk* RiffLayout::Find(const char* id) const {
    for (const RiffChunk& c : chunks)
        if (c.id == id) return &c;
    return nullptr;
}

RiffStatus ReadRiffLayout(const std::string& path, RiffLayout& layout, std::string& reason) {
    layout = {};
    // A FIFO or a device would block the open or never end: only regular files are read.
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        reason = std::strerror(errno);
        return RiffStatus::Unreadable;
    }
    if (!S_ISREG(st.st_mode)) {
        reason = "not a regular file";
        return RiffStatus::Unreadable;
    }
    File f(std::fopen(path.c_str(), "rb"));
    if (!f) {
        reason = std::strerror(errno);
        return RiffStatus::Unreadable;
    }
    layout.fileSize = static_cast<uint64_t>(st.st_size);
    uint8_t head[12];
    if (layout.fileSize < sizeof head || !ReadAt(f.get(), 0, head, sizeof head)) return RiffStatus::NotRiff;
    const bool riff = std::memcmp(head, "RIFF", 4) == 0;
    layout.rf64 = std::memcmp(head, "RF64", 4) == 0 || std::memcmp(head, "BW64", 4) == 0;
    if ((!riff && !layout.rf64) || std::memcmp(head + 8, "WAVE", 4) != 0) return RiffStatus::NotRiff;

    std::optional<uint64_t> ds64DataSize;
    uint64_t pos = sizeof head;
    for (int count = 0; count < kMaxChunks && pos + 8 <= layout.fileSize; ++count) {
        uint8_t h[8];
        if (!ReadAt(f.get(), pos, h, sizeof h)) {
            reason = "read error in the chunk list";
            return RiffStatus::Unreadable;
        }
        if (!LooksLikeChunkId(h)) break;
        RiffChunk c;
        c.id.assign(reinterpret_cast<const char*>(h), 4);
        c.offset = pos + 8;
        c.size = Le32(h + 4);
        if (layout.rf64 && count == 0) {
            uint8_t d[24];
            if (c.id != "ds64" || c.size < sizeof d || !ReadAt(f.get(), c.offset, d, sizeof d)) {
                reason = "an RF64 file without its ds64 chunk of 64-bit sizes";
                return RiffStatus::Unreadable;
            }
            ds64DataSize = Le64(d + 8);
        }
        if (c.id == "data") {
            if (layout.rf64 && c.size == kPlaceholderSize && ds64DataSize) {
                c.size = *ds64DataSize;
            } else if (!layout.rf64 && (c.size == 0 || c.size == kPlaceholderSize)) {
                c.size = layout.fileSize - c.offset;
                layout.dataSizeUnknown = true;
            }
        }
        c.present = c.offset >= layout.fileSize ? 0 : std::min(c.size, layout.fileSize - c.offset);
        if (c.id == "fmt " && !layout.format && c.present >= 16) {
            uint8_t b[26] = {};
            const size_t n = static_cast<size_t>(std::min<uint64_t>(c.present, sizeof b));
            if (!ReadAt(f.get(), c.offset, b, n)) {
                reason = "read error in the format chunk";
                return RiffStatus::Unreadable;
            }
            layout.format = ParseFormat(b, n);
        }
        layout.chunks.push_back(c);
        // Bodies of odd size are followed by one pad byte. A chunk that runs past the end is
        // the last one; its declared size stays for the caller to judge.
        if (c.size > layout.fileSize - c.offset) break;
        pos = c.offset + c.size + (c.size & 1);
    }
    return RiffStatus::Ok;
}

bool ReadChunkBody(const std::string& path, const RiffChunk& chunk, size_t maxBytes, std::vector<uint8_t>& body) {
    body.assign(static_cast<size_t>(std::min<uint64_t>(chunk.present, maxBytes)), 0);
    if (body.empty()) return true;
    File f(std::fopen(path.c_str(), "rb"));
    return f && ReadAt(f.get(), chunk.offset, body.data(), body.size());
}

}  // namespace sorv
