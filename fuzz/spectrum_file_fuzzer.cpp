// The spectrum-file loader, fed any bytes as a file a listener was sent: through the Load
// command, then the analysis road over what was loaded, then Save and a reload, which must
// give back the same rows. The same bytes also serve as a file name for the name recogniser.
#include <cmath>
#include <cstring>
#include <string>

#include "automation/spectrum_file.h"
#include "fuzz_document.h"

namespace {

using sorv::kLines;
using sorv::kMaxRows;

// The road only runs over short files: it is the loader that is on trial, and 65536 rows of
// analysis per input would leave the fuzzer a handful of inputs a minute.
constexpr int kAnalysedRows = 256;
// Rows compared with the file: the first ones and the last (a full check of 65536 rows per
// input would cost more than the load).
constexpr int kCheckedRows = 1100;

void CheckNameRecognition(const uint8_t* data, size_t size) {
    const std::string name(reinterpret_cast<const char*>(data), std::min<size_t>(size, 256));
    const auto recognised = sorv::RecogniseSpectrumFileName(name);
    if (!recognised) return;
    FUZZ_CHECK(std::isfinite(recognised->carrierKHz), "a recognised carrier is a number");
    FUZZ_CHECK(recognised->timeStamp.size() == 14, "the stamp is YYYYMMDD HHMM and a space");
}

// The loaded rows are the file's, the rest zero; the display levels stay in 0..255.
void CheckLoadedRows(const sorv::CSorvantelDoc& doc, const uint8_t* data, size_t size, int count) {
    const size_t bodyBytes = size - 4;
    const size_t fullRows = bodyBytes / (kLines * sizeof(double));
    for (int r = 0; r < count; ++r) {
        if (r == kCheckedRows && count - 1 > r) r = count - 1;
        const size_t at = static_cast<size_t>(r) * kLines * sizeof(double);
        if (static_cast<size_t>(r) < fullRows) {
            FUZZ_CHECK(std::memcmp(doc.m_power[r], data + 4 + at, kLines * sizeof(double)) == 0,
                       "a loaded row holds the file's bytes");
        } else if (at >= bodyBytes) {
            for (int l = 0; l < kLines; ++l) FUZZ_CHECK(doc.m_power[r][l] == 0.0, "rows past the data keep their contents");
        }
        for (int l = 0; l < kLines; ++l)
            FUZZ_CHECK(doc.m_level[r][l] >= 0 && doc.m_level[r][l] <= 255, "display levels are 0..255");
    }
}

void CheckDesignations(const sorv::CSorvantelDoc& doc) {
    FUZZ_CHECK(doc.m_nLine >= -1 && doc.m_nLine <= 127, "the designated line is a line or none");
    FUZZ_CHECK(doc.m_nRows >= 0 && doc.m_nRows <= kMaxRows, "the row count fits the store");
    for (int d = 0; d < sorv::kTrials; ++d)
        FUZZ_CHECK(doc.m_nTrialRows[d] >= 0 && doc.m_nTrialRows[d] <= sorv::kPhaseBins, "trial lengths fit the image");
    for (char c : doc.m_strIdent)
        FUZZ_CHECK((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '?' || c == '.', "an ident is Morse text");
}

// Every step of the road a user or a search could take over the loaded rows.
void RunRoad(sorv::CSorvantelDoc& doc) {
    doc.OnSpectralDensity();
    int best = 0;
    for (int l = 1; l < kLines; ++l)
        if (doc.m_specDensity[l] > doc.m_specDensity[best]) best = l;
    doc.m_nLine = best;
    doc.OnPeriodSearch();
    int peak = 1;
    for (int k = 2; k < doc.m_nPeriodBins && k < static_cast<int>(doc.m_pPeriodSpectrum.size()); ++k)
        if (doc.m_pPeriodSpectrum[k] > doc.m_pPeriodSpectrum[peak]) peak = k;
    doc.SetRangeFromBin(peak);
    doc.OnIdent();
    doc.NarrowRangeAround(doc.m_dPeriodMin);
    doc.OnIdent();
    doc.OnSemiAutoFwd();
    doc.OnAutoSearch();
    CheckDesignations(doc);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CheckNameRecognition(data, size);

    sorv::fuzz::FuzzDocument& fd = sorv::fuzz::TheDocument();
    sorv::CSorvantelDoc& doc = fd.Fresh();
    auto& platform = fd.platform;
    const std::string path = platform.dir.file("sorvantel_20090315142530_404_0.svl");
    sorv::fuzz::WriteBytes(path, data, size);
    platform.openAnswers.push_back(path);
    doc.m_dCarrierKHz = 1.5;

    doc.OnLoad();
    fd.NoteRows();

    int32_t count = -1;
    if (size >= 4) std::memcpy(&count, data, 4);
    if (size < 4 || count < 0 || count > kMaxRows) {
        // Refused before anything changed, with a message naming the file.
        FUZZ_CHECK(doc.m_nRows == 0 && doc.m_dCarrierKHz == 1.5, "a refused file changes nothing");
        FUZZ_CHECK(platform.messages.size() == 1 && platform.messages[0].find(path) != std::string::npos,
                   "a refused file is named");
        return 0;
    }
    FUZZ_CHECK(doc.m_nRows == count, "the row count is the file's");
    FUZZ_CHECK(doc.m_dCarrierKHz == 404.0, "the carrier comes from the name");
    FUZZ_CHECK(platform.title() == "Loaded file sorvantel_20090315142530_404_0.svl", "the title names the file");
    CheckLoadedRows(doc, data, size, count);

    if (count >= 1 && count <= kAnalysedRows) RunRoad(doc);

    // What is loaded saves and loads again unchanged.
    if (count <= kAnalysedRows) {
        const std::string copy = platform.dir.file("copy.svl");
        FUZZ_CHECK(sorv::WriteSpectrumFile(copy, doc.m_power.get(), doc.m_nRows) == sorv::SpectrumFileStatus::Ok,
                   "saving the loaded rows works");
        std::string saved;
        std::ifstream in(copy, std::ios::binary);
        saved.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        const size_t complete = std::min(size, 4 + static_cast<size_t>(count) * kLines * sizeof(double));
        FUZZ_CHECK(saved.size() == 4 + static_cast<size_t>(count) * kLines * sizeof(double), "a saved file has its size");
        FUZZ_CHECK(std::memcmp(saved.data(), data, complete) == 0, "a saved file holds the loaded bytes");
        std::remove(copy.c_str());
    }
    return 0;
}
