// The settings-file parser, fed any bytes as the settings file a user imported or a crash cut
// short: the parser itself, the export that it round-trips through, and the document's load
// and save of its settings.
#include <cmath>
#include <cstring>
#include <string>

#include "engine/registry_file.h"
#include "fuzz_document.h"

namespace {

const char kKey[] = "HKEY_CURRENT_USER\\SOFTWARE\\KELD\\Sorvantel";

bool SameValues(const std::vector<sorv::RegistryValue>& a, const std::vector<sorv::RegistryValue>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].name != b[i].name || a[i].kind != b[i].kind || a[i].bytes != b[i].bytes || a[i].text != b[i].text)
            return false;
        if (a[i].kind == sorv::RegistryValue::Kind::Hex && a[i].hexType != b[i].hexType) return false;
    }
    return true;
}

// The document's settings after a load: in range where the program indexes with them, and
// numbers where it computes with them.
void CheckLoadedSettings(const sorv::CSorvantelDoc& doc) {
    FUZZ_CHECK(doc.m_nSoundcard >= 0 && doc.m_nSoundcard <= 3, "the card selection indexes the card table");
    for (double v : {doc.m_dAutoToneMin, doc.m_dAutoToneMax, doc.m_dAutoPeriodMin, doc.m_dAutoPeriodMax, doc.m_dGri})
        FUZZ_CHECK(std::isfinite(v), "a stored number is a number");
    FUZZ_CHECK(doc.m_dGri > 0.0 && doc.m_dLoranLength > 0.0 && doc.m_dLoranLength < sorv::kLoranSlotLength,
               "the GRI fits a slot");
    const std::string& dir = doc.m_strLogDirectory;
    FUZZ_CHECK(!dir.empty() && dir[0] == '/' && dir.back() == '/', "the log directory is absolute and ends in /");
    FUZZ_CHECK(dir.find('\0') == std::string::npos, "the log directory has no NUL");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    // Parse, write and parse again: the export keeps every value the parser took.
    const auto values = sorv::ParseRegistryExport(bytes, kKey);
    const std::string exported = sorv::FormatRegistryExport(kKey, values);
    const auto again = sorv::ParseRegistryExport(exported, kKey);
    FUZZ_CHECK(SameValues(values, again), "an exported key reads back the same");

    // The document reads the file at construction; Load and Save are the same steps.
    sorv::fuzz::FuzzDocument& fd = sorv::fuzz::TheDocument();
    sorv::CSorvantelDoc& doc = fd.Fresh();
    sorv::fuzz::WriteBytes(fd.platform.settingsPath, data, size);
    doc.LoadSettings();
    // The constructor's own check of the loaded GRI.
    const double length = doc.m_dGri / 100000.0 * 48000.0;
    if (!std::isfinite(length) || length <= 0.0 || length + 0.5 >= sorv::kLoranSlotLength) doc.m_dGri = 6731.0;
    doc.m_dLoranLength = doc.m_dGri / 100000.0 * 48000.0;
    CheckLoadedSettings(doc);

    // What is saved loads back to the same fields.
    const int card = doc.m_nSoundcard, rx = doc.m_nRxMode, wpm = doc.m_nWpm;
    const double toneMin = doc.m_dAutoToneMin, gri = doc.m_dGri;
    const std::string dir = doc.m_strLogDirectory;
    doc.SaveSettings();
    doc.m_nSoundcard = 0;
    doc.m_nRxMode = -1;
    doc.m_nWpm = 6;
    doc.m_dAutoToneMin = 900.0;
    doc.m_strLogDirectory = fd.platform.logDirectory;
    doc.LoadSettings();
    FUZZ_CHECK(doc.m_nSoundcard == card && doc.m_nRxMode == rx && doc.m_nWpm == wpm, "saved integers read back");
    FUZZ_CHECK(std::memcmp(&doc.m_dAutoToneMin, &toneMin, sizeof toneMin) == 0 &&
                   std::memcmp(&doc.m_dGri, &gri, sizeof gri) == 0,
               "saved doubles read back bit for bit");
    FUZZ_CHECK(doc.m_strLogDirectory == dir, "the saved log directory reads back");
    return 0;
}
