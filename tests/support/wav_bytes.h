// WAV files built byte by byte, so that a test can write exactly the header it means: chunks
// in any order, sizes that lie, auxi and bext chunks with any content. Header-only.
#pragma once

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace sorv::test {

class WavBytes {
public:
    // "RIFF" (or "RF64") <size> "WAVE"; the size is filled in by Bytes() unless forced.
    explicit WavBytes(const char* form = "RIFF") {
        b_.reserve(256);
        Tag(form), U32(0), Tag("WAVE");
    }

    WavBytes& Chunk(const char* id, const std::vector<uint8_t>& body, int64_t declaredSize = -1) {
        Tag(id);
        U32(declaredSize >= 0 ? static_cast<uint32_t>(declaredSize) : static_cast<uint32_t>(body.size()));
        b_.insert(b_.end(), body.begin(), body.end());
        if (body.size() & 1) b_.push_back(0);
        return *this;
    }

    // A PCM (tag 1) or float (tag 3) format chunk.
    WavBytes& Fmt(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
        std::vector<uint8_t> f;
        Put16(f, tag), Put16(f, channels), Put32(f, rate), Put32(f, rate * channels * bits / 8);
        Put16(f, static_cast<uint16_t>(channels * bits / 8)), Put16(f, bits);
        return Chunk("fmt ", f);
    }

    // An auxi chunk: start and stop as SYSTEMTIMEs (day of week left 0), centre and rate.
    static std::vector<uint8_t> Auxi(int year, int month, int day, int hour, int minute, int second,
                                     uint32_t centreHz, uint32_t rate = 0) {
        std::vector<uint8_t> a;
        for (int i = 0; i < 2; ++i)
            for (int v : {year, month, 0, day, hour, minute, second, 0}) Put16(a, static_cast<uint16_t>(v));
        Put32(a, centreHz), Put32(a, rate);
        for (int i = 0; i < 7; ++i) Put32(a, 0);
        return a;
    }

    // A bext chunk with the given origination date ("2024-03-05") and time ("21:15:30").
    static std::vector<uint8_t> Bext(const std::string& date, const std::string& time) {
        std::vector<uint8_t> e(602, 0);
        std::memcpy(e.data() + 320, date.data(), std::min<size_t>(10, date.size()));
        std::memcpy(e.data() + 330, time.data(), std::min<size_t>(8, time.size()));
        return e;
    }

    // Interleaved 16-bit samples as a data chunk.
    static std::vector<uint8_t> Pcm16(const std::vector<int16_t>& samples) {
        std::vector<uint8_t> d;
        for (int16_t s : samples) Put16(d, static_cast<uint16_t>(s));
        return d;
    }

    std::vector<uint8_t> Bytes(int64_t riffSize = -1) const {
        std::vector<uint8_t> out = b_;
        const uint32_t size = riffSize >= 0 ? static_cast<uint32_t>(riffSize) : static_cast<uint32_t>(out.size() - 8);
        for (int i = 0; i < 4; ++i) out[4 + i] = static_cast<uint8_t>(size >> (8 * i));
        return out;
    }

    bool Write(const std::string& path, int64_t riffSize = -1) const { return WriteFile(path, Bytes(riffSize)); }

    static bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
        std::ofstream f(path, std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return static_cast<bool>(f);
    }

    static void Put16(std::vector<uint8_t>& v, uint16_t x) {
        v.push_back(static_cast<uint8_t>(x)), v.push_back(static_cast<uint8_t>(x >> 8));
    }
    static void Put32(std::vector<uint8_t>& v, uint32_t x) {
        for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
    }

private:
    void Tag(const char* t) {
        for (int i = 0; i < 4; ++i) b_.push_back(static_cast<uint8_t>(t[i]));
    }
    void U32(uint32_t x) { Put32(b_, x); }
    std::vector<uint8_t> b_;
};

}  // namespace sorv::test
