// The chunk list of a RIFF/WAVE or RF64 file, walked without trusting any size in it: every
// chunk is checked against the file's real length, a chunk that runs past the end is cut to
// what the file holds, and the walk stops at bytes that are not a chunk header. The samples
// themselves are libsndfile's business; this is for what libsndfile does not read (the
// receiver's `auxi` chunk, the broadcast-wave `bext` chunk) and for the sizes the header
// claims, which tell a truncated recording from a whole one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sorv {

struct RiffChunk {
    std::string id;        // the four characters, "fmt ", "data", "auxi", ...
    uint64_t offset = 0;   // where its body starts in the file
    uint64_t size = 0;     // the body size the header declares (RF64: from ds64 for data)
    uint64_t present = 0;  // the body bytes the file really holds: size, or less at the end
};

// The format chunk as far as the readers need it. An extensible format's sub-format tag is
// put in tag, so that 1 is integer PCM and 3 float however the writer spelled it.
struct WavFormat {
    uint16_t tag = 0;
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
};

struct RiffLayout {
    bool rf64 = false;
    uint64_t fileSize = 0;
    std::vector<RiffChunk> chunks;
    std::optional<WavFormat> format;
    // A data chunk whose size is the placeholder of a recorder that never finished (0 or all
    // ones): its size is taken to be the rest of the file, and nothing is said to be missing.
    bool dataSizeUnknown = false;

    const RiffChunk* Find(const char* id) const;
};

enum class RiffStatus {
    Ok,
    NotRiff,     // the file does not begin as a RIFF/WAVE or RF64 file
    Unreadable,  // it could not be opened or read, or its header is damaged (see the reason)
};

// Walks the chunks of the file at path. The reason is set for Unreadable.
RiffStatus ReadRiffLayout(const std::string& path, RiffLayout& layout, std::string& reason);

// Up to maxBytes of a chunk's body (never more than the file holds); false on a read error.
bool ReadChunkBody(const std::string& path, const RiffChunk& chunk, size_t maxBytes, std::vector<uint8_t>& body);

}  // namespace sorv
