// The ident-log entry builder with hostile idents, stamps and directory names, and with every
// number an entry prints taken from what the dialogs, the script and the file names let
// through. Directories stay inside a sandbox folder of the test platform (".." is refused
// here, so that the fuzzer cannot write about the machine); inside it they may be long, hold
// any bytes, or name a file.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

#include "automation/spectrum_file.h"
#include "engine/text_format.h"
#include "fuzz_document.h"

namespace {

// The log's bytes; empty when there is none (or the path names a directory).
std::string ReadAll(const std::string& path) {
    std::string bytes;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return bytes;
    char chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.append(chunk, n);
    std::fclose(f);
    return bytes;
}

size_t CountOf(const std::string& s, char c) {
    size_t n = 0;
    for (char x : s) n += x == c ? 1 : 0;
    return n;
}

// A directory inside the sandbox: plain, deep, long, a file, or with any bytes in its name.
std::string SandboxDirectory(FuzzedDataProvider& in, const std::string& sandbox) {
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
        case 0:
            return sandbox + "/" + in.ConsumeRandomLengthString(300);
        case 1:
            return sandbox + "/a-file/" + in.ConsumeRandomLengthString(40);  // below a file
        case 2:
            return sandbox + "/" + std::string(in.ConsumeIntegralInRange<size_t>(1, 5000), 'd') + "/";
        default:
            return sandbox + "/a-file";  // the directory is a file
    }
}

double AnyNumber(FuzzedDataProvider& in) {
    const double v = in.ConsumeFloatingPoint<double>();
    return std::isfinite(v) ? v : 0.0;  // numbers typed or scripted are never inf or NaN
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    sorv::fuzz::FuzzDocument& fd = sorv::fuzz::TheDocument();
    sorv::CSorvantelDoc& doc = fd.Fresh();
    auto& platform = fd.platform;
    const std::string sandbox = platform.logDirectory + "sandbox";
    std::error_code ec;
    std::filesystem::create_directories(sandbox, ec);
    std::ofstream(sandbox + "/a-file") << "not a directory\n";

    const std::string dir = SandboxDirectory(in, sandbox);
    if (dir.find("..") != std::string::npos) return 0;
    doc.m_strLogDirectory = dir;
    doc.m_strIdent = in.ConsumeRandomLengthString(64);
    // A stamp taken from the name of a loaded file: any bytes a file name can hold.
    const std::string fileName = in.ConsumeRandomLengthString(80);
    if (fileName.find('/') == std::string::npos && fileName.find('\0') == std::string::npos)
        sorv::ApplySpectrumFileName(doc, "/somewhere/" + fileName);
    doc.m_dCarrierKHz = AnyNumber(in);
    doc.m_nRxMode = in.ConsumeIntegralInRange<int>(-1, 1);
    doc.m_nLine = in.ConsumeIntegralInRange<int>(-2, 130);  // the lines and both edges
    doc.m_nRows = 1;
    platform.spectrumAnswers.push_back(sorv::SpectrumDlgValues{in.ConsumeIntegral<int>(), in.ConsumeIntegralInRange<int>(0, 4)});
    doc.OnSpectralRange();
    doc.m_dPeriodMin = AnyNumber(in);
    doc.m_dPeriodMax = AnyNumber(in);
    platform.now = in.ConsumeIntegralInRange<int64_t>(0, 4102444800);  // 1970 .. 2100
    const int entries = in.ConsumeIntegralInRange<int>(1, 3);

    const sorv::CalendarTime utc = platform.ToUtc(platform.now);
    const std::string logName = sorv::FormatC("sorvantel%02d%02d%02d.log", (utc.tm_year + 1900) % 100, utc.tm_mon + 1, utc.tm_mday);
    const std::string logPath = (dir.empty() || dir.back() == '/' ? dir : dir + "/") + logName;
    for (int i = 0; i < entries; ++i) doc.WriteLogEntry();

    // Either nothing was written, or one line per entry, each ended by CR LF, and the line holds
    // the entry's fields after its stamp.
    const std::string log = ReadAll(logPath);
    if (log.empty()) return 0;
    FUZZ_CHECK(doc.m_nLine >= 0 && doc.m_nLine <= 127 && !doc.m_strIdent.empty(), "only a valid entry is written");
    FUZZ_CHECK(CountOf(log, '\n') == static_cast<size_t>(entries), "one line per entry");
    FUZZ_CHECK(CountOf(log, '\r') == static_cast<size_t>(entries), "one CR per entry");
    FUZZ_CHECK(log.size() >= 2 && log.compare(log.size() - 2, 2, "\r\n") == 0, "every entry ends in CR LF");
    FUZZ_CHECK(log.find("offset ") != std::string::npos && log.find("period ") != std::string::npos, "the fields are there");
    return 0;
}
