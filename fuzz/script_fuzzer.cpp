// The script interpreter on the test platform (its "com" goes to a fake serial port, its
// "shell" is only recorded, capture is the fake device): the first byte chooses whether the
// rest runs as one script file or line by line, each line as a script of its own. Waits end
// with the user's Esc after a fixed number of steps.
#include <string>

#include "fuzz_document.h"

namespace {

constexpr size_t kMaxLines = 64;

void RunScript(sorv::fuzz::FuzzDocument& fd, const std::string& text) {
    sorv::CSorvantelDoc& doc = *fd.doc;
    auto& platform = fd.platform;
    const std::string path = platform.dir.file("script.txt");
    sorv::fuzz::WriteBytes(path, reinterpret_cast<const uint8_t*>(text.data()), text.size());
    platform.openAnswers.push_back(path);
    const size_t opensBefore = platform.serialOpens.size();
    const int closesBefore = platform.serialLog.closes;

    doc.OnScript();
    fd.NoteRows();

    // The script has ended and let go of everything it held.
    FUZZ_CHECK(doc.m_bScriptRunning == 0, "the script command has ended");
    FUZZ_CHECK(doc.m_hComPort == nullptr, "no serial port stays open after a script");
    const size_t opened = platform.serialOpens.size() - opensBefore;
    const int closed = platform.serialLog.closes - closesBefore;
    FUZZ_CHECK(platform.serialOpenResult != sorv::SerialOpenResult::Ok || static_cast<int>(opened) == closed,
               "every port opened is closed again");
    FUZZ_CHECK(doc.m_nRows >= 0 && doc.m_nRows <= sorv::kMaxRows, "the row count fits the store");
    for (const std::string& shown : platform.shellOpens) FUZZ_CHECK(shown.size() <= 99, "an argument holds at most 99 characters");
    const std::string& title = platform.title();
    FUZZ_CHECK(title == "Sorvantel from KELD - script ended" ||
                   title.rfind("Sorvantel from KELD - processing script command ", 0) == 0,
               "a script ends with its title, or an error leaves the failing line");
    platform.openAnswers.clear();
    platform.shellOpens.clear();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    sorv::fuzz::FuzzDocument& fd = sorv::fuzz::TheDocument();
    sorv::CSorvantelDoc& doc = fd.Fresh();
    const uint8_t mode = data[0];
    // Some inputs meet a serial port that cannot be opened, or refuses its settings.
    if (mode & 2) fd.platform.serialOpenResult = sorv::SerialOpenResult::OpenFailed;
    if (mode & 4) fd.platform.serialOpenResult = sorv::SerialOpenResult::BadSettings;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

    if ((mode & 1) == 0) {
        RunScript(fd, text);
    } else {
        size_t start = 0;
        for (size_t n = 0; n < kMaxLines && start <= text.size(); ++n) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            RunScript(fd, text.substr(start, end - start) + "\n");
            // Processing that a line started stops before the next file, as the command needs.
            if (doc.m_bProcessing) doc.OnStop();
            start = end + 1;
        }
    }
    if (doc.m_bProcessing) doc.OnStop();
    fd.NoteRows();
    return 0;
}
