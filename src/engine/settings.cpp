// Persistent settings: read once at construction, written once at exit, in the order and
// byte forms of the program's registry key (the five doubles as 8 raw bytes under REG_DWORD).
#include <cctype>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "engine/registry_file.h"
#include "engine/sorvantel_doc.h"

namespace sorv {

namespace {

const char kSettingsKey[] = "HKEY_CURRENT_USER\\SOFTWARE\\KELD\\Sorvantel";
constexpr size_t kMaxLogDirectoryBytes = 126;

struct IntSetting { const char* name; int CSorvantelDoc::*field; };
struct DoubleSetting { const char* name; double CSorvantelDoc::*field; };

constexpr IntSetting kIntSettings[] = {
    {"Soundcard", &CSorvantelDoc::m_nSoundcard}, {"RxMode", &CSorvantelDoc::m_nRxMode},
    {"Wpm", &CSorvantelDoc::m_nWpm},             {"LogCheck", &CSorvantelDoc::m_bLogCheck},
    {"AutoWpm", &CSorvantelDoc::m_bAutoWpm},     {"Loran", &CSorvantelDoc::m_bLoran},
};
// The main window's placement, written after every original value and only once a window has
// stood somewhere; read back only when all four of its place and size are there.
constexpr IntSetting kWindowSettings[] = {
    {"WindowLeft", &CSorvantelDoc::m_nWindowLeft},   {"WindowTop", &CSorvantelDoc::m_nWindowTop},
    {"WindowWidth", &CSorvantelDoc::m_nWindowWidth}, {"WindowHeight", &CSorvantelDoc::m_nWindowHeight},
    {"WindowMaximized", &CSorvantelDoc::m_bWindowMaximized},
};
constexpr DoubleSetting kDoubleSettings[] = {
    {"AutoToneMax", &CSorvantelDoc::m_dAutoToneMax},     {"AutoToneMin", &CSorvantelDoc::m_dAutoToneMin},
    {"AutoPeriodMax", &CSorvantelDoc::m_dAutoPeriodMax}, {"AutoPeriodMin", &CSorvantelDoc::m_dAutoPeriodMin},
    {"GRI", &CSorvantelDoc::m_dGri},
};

const RegistryValue* Find(const std::vector<RegistryValue>& values, const char* name) {
    // Registry value names compare without case.
    for (const auto& v : values) {
        if (v.name.size() != std::strlen(name)) continue;
        bool same = true;
        for (size_t i = 0; i < v.name.size() && same; ++i)
            same = std::tolower(static_cast<unsigned char>(v.name[i])) == std::tolower(static_cast<unsigned char>(name[i]));
        if (same) return &v;
    }
    return nullptr;
}

// The stored type is not examined, only the width: an int needs exactly 4 bytes, a double 8.
bool BytesOf(const RegistryValue* v, size_t width, uint8_t* out) {
    if (!v || v->kind == RegistryValue::Kind::String || v->bytes.size() != width) return false;
    std::memcpy(out, v->bytes.data(), width);
    return true;
}

bool ReadInt(const std::vector<RegistryValue>& values, const char* name, int& out) {
    uint8_t b[4];
    if (!BytesOf(Find(values, name), 4, b)) return false;
    out = static_cast<int32_t>(static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
                               (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24));
    return true;
}

RegistryValue DwordValue(const char* name, int value) {
    const uint32_t x = static_cast<uint32_t>(value);
    return {name, RegistryValue::Kind::Dword, 4,
            {static_cast<uint8_t>(x), static_cast<uint8_t>(x >> 8), static_cast<uint8_t>(x >> 16),
             static_cast<uint8_t>(x >> 24)},
            {}};
}

void LoadWindowPlacement(CSorvantelDoc& doc, const std::vector<RegistryValue>& values) {
    int read[5] = {0, 0, 0, 0, 0};
    bool placed = true;
    for (size_t i = 0; i < 4; ++i) placed = ReadInt(values, kWindowSettings[i].name, read[i]) && placed;
    // A size of nothing, or one no screen has, is no placement: the default size stands.
    constexpr int kLargest = 1 << 16;
    if (!placed || read[2] <= 0 || read[3] <= 0 || read[2] > kLargest || read[3] > kLargest) return;
    ReadInt(values, kWindowSettings[4].name, read[4]);
    for (size_t i = 0; i < 5; ++i) doc.*kWindowSettings[i].field = read[i];
    doc.m_bWindowMaximized = doc.m_bWindowMaximized ? 1 : 0;
    doc.m_bWindowStored = 1;
}

}  // namespace

void CSorvantelDoc::LoadSettings() {
    const std::string path = m_platform.SettingsFilePath();
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        // First run: create the empty key, read nothing.
        std::string error;
        WriteFileAtomically(path, FormatRegistryExport(kSettingsKey, {}), error);
        return;
    }
    std::string bytes, why;
    bool notRegular = false;
    if (!ReadWholeFile(path, bytes, &why, &notRegular)) {
        // A file that cannot be read leaves the defaults without a word, as a registry would;
        // something that is no file at all (a FIFO would have hung the start) is named.
        if (notRegular)
            m_platform.ShowMessage("The settings file " + path + " " + why +
                                   ". It was not read: the start-up defaults apply, and the settings are "
                                   "written to a new file in its place at exit.");
        return;
    }
    const auto values = ParseRegistryExport(bytes, kSettingsKey);

    for (const auto& s : kIntSettings) {
        uint8_t b[4];
        if (BytesOf(Find(values, s.name), 4, b))
            this->*s.field = static_cast<int32_t>(static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
                                                  (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24));
    }
    for (const auto& s : kDoubleSettings) {
        uint8_t b[8];
        if (BytesOf(Find(values, s.name), 8, b)) {
            double d;
            std::memcpy(&d, b, 8);  // little-endian on every platform we build for
            // Eight bytes of NaN or infinity are no number to search or accumulate with
            // (a damaged or hand-made file): the default stays, as for an unreadable value.
            if (std::isfinite(d)) this->*s.field = d;
        }
    }
    if (const RegistryValue* dir = Find(values, "LogDirectory");
        dir && dir->kind == RegistryValue::Kind::String && !dir->text.empty() &&
        dir->text.find('\0') == std::string::npos) {
        // The limit holds for the directory as it is kept, separator included: one that passed
        // without it would be written back a byte longer and refused at the next start.
        const std::string kept = dir->text.back() == '/' ? dir->text : dir->text + '/';
        // A directory imported from Windows ("C:\...") is no path here: keep the default.
        if (kept.size() <= kMaxLogDirectoryBytes && std::filesystem::path(kept).is_absolute()) m_strLogDirectory = kept;
    }
    if (m_nSoundcard < 0 || m_nSoundcard > 3) m_nSoundcard = 0;
    // Absent (a settings file from before the choice existed) or of another width: off.
    if (uint8_t b[4]; BytesOf(Find(values, "SensitiveDetection"), 4, b))
        m_bSensitiveDetection = (b[0] | b[1] | b[2] | b[3]) != 0 ? 1 : 0;
    LoadWindowPlacement(*this, values);
}

void CSorvantelDoc::SaveSettings() {
    std::vector<RegistryValue> values;
    for (const auto& s : kIntSettings) {
        uint32_t x = static_cast<uint32_t>(this->*s.field);
        values.push_back({s.name, RegistryValue::Kind::Dword, 4,
                          {static_cast<uint8_t>(x), static_cast<uint8_t>(x >> 8), static_cast<uint8_t>(x >> 16),
                           static_cast<uint8_t>(x >> 24)},
                          {}});
    }
    for (const auto& s : kDoubleSettings) {
        RegistryValue v{s.name, RegistryValue::Kind::Hex, 4, std::vector<uint8_t>(8), {}};
        double d = this->*s.field;
        std::memcpy(v.bytes.data(), &d, 8);
        values.push_back(std::move(v));
    }
    values.push_back({"LogDirectory", RegistryValue::Kind::String, 1, {}, m_strLogDirectory});
    // The detector choice came after the original values and is written after them.
    const uint32_t sensitive = static_cast<uint32_t>(m_bSensitiveDetection);
    values.push_back({"SensitiveDetection", RegistryValue::Kind::Dword, 4,
                      {static_cast<uint8_t>(sensitive), static_cast<uint8_t>(sensitive >> 8),
                       static_cast<uint8_t>(sensitive >> 16), static_cast<uint8_t>(sensitive >> 24)},
                      {}});
    if (m_bWindowStored) {
        for (const auto& w : kWindowSettings) values.push_back(DwordValue(w.name, this->*w.field));
    }
    std::string error;
    WriteFileAtomically(m_platform.SettingsFilePath(), FormatRegistryExport(kSettingsKey, values), error);
}

}  // namespace sorv
