// The script interpreter: a text file of one-line commands that runs the program unattended.
// While it waits it keeps the program alive by pumping the application's events itself, so
// capture, timers and the user's commands go on; the window cannot be closed meanwhile.
#include <cstdio>
#include <string>

#include "automation/com_port.h"
#include "automation/script_time.h"
#include "automation/spectrum_file.h"
#include "engine/regular_file.h"
#include "engine/sorvantel_doc.h"
#include "engine/text_format.h"

namespace sorv {

namespace {

constexpr size_t kMaxArgument = 99;
constexpr int kWaitStepMs = 100;

bool StartsWith(const std::string& line, const char* keyword) { return line.rfind(keyword, 0) == 0; }

bool EndsWith(const std::string& s, const char* suffix) {
    const std::string t(suffix);
    return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

// The argument skips the one character after the keyword and holds at most 99 characters;
// a line no longer than the keyword and that character has none.
bool ArgumentOf(const std::string& line, size_t keywordLength, std::string& argument) {
    if (line.size() <= keywordLength + 1) return false;
    argument = line.substr(keywordLength + 1, kMaxArgument);
    return true;
}

class ScriptRun {
public:
    ScriptRun(CSorvantelDoc& doc, std::FILE* file) : doc_(doc), file_(file) {}

    // Runs the file to its end, an "exit", Esc or an error; false after an error.
    bool Run() {
        std::string line;
        MarkProgress();
        while (ReadLine(line)) {
            if (doc_.m_bScriptExit) break;
            doc_.m_nScriptLine = ++lineNumber_;
            doc_.m_strScriptLine = line;
            doc_.SetTitle("Sorvantel from KELD - processing script command " + line);
            if (!Execute(line)) return false;
            Wait();
        }
        return true;
    }

private:
    // One line without its end; a Windows CR and a UTF-8 byte-order mark are dropped.
    bool ReadLine(std::string& line) {
        const bool first = std::ftell(file_) == 0;
        line.clear();
        int c = 0;
        while ((c = std::fgetc(file_)) != EOF && c != '\n') line += static_cast<char>(c);
        if (c == EOF && line.empty()) return false;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (first && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
        return true;
    }

    void Rewind() {
        std::rewind(file_);
        lineNumber_ = 0;
    }

    // Keywords are tested in this order; none begins another, so at most one matches.
    bool Execute(const std::string& line) {
        std::string arg;
        if (StartsWith(line, "carrier")) {
            Carrier(line);
        } else if (StartsWith(line, "start")) {
            doc_.OnStart();
        } else if (StartsWith(line, "stop")) {
            doc_.OnStop();
        } else if (StartsWith(line, "save")) {
            Save();
        } else if (StartsWith(line, "autosearch")) {
            doc_.OnAutoSearch();
        } else if (StartsWith(line, "com")) {
            if (ArgumentOf(line, 3, arg)) {
                std::string failure;
                if (SendComLine(doc_, arg, &failure)) return true;
                doc_.NoteScriptFailure(failure + "; the script ended there");
                return false;
            }
        } else if (StartsWith(line, "shell")) {
            if (ArgumentOf(line, 5, arg)) doc_.Platform().ShellOpen(arg);
        } else if (StartsWith(line, "wait for")) {
            if (ArgumentOf(line, 8, arg)) DeadlineAfter(doc_.Platform(), arg, deadline_);
        } else if (StartsWith(line, "wait samples")) {
            if (ArgumentOf(line, 12, arg)) ScanInt(arg.c_str(), rowTarget_);
        } else if (StartsWith(line, "wait until")) {
            if (ArgumentOf(line, 10, arg)) return WaitUntil(line, arg);
        } else if (StartsWith(line, "repeat")) {
            Rewind();
            // A loop without a wait would never let the Esc key through: let events in once
            // per pass, without sleeping.
            doc_.Platform().WaitStep(0);
            EndPassWithoutProgress();
        } else if (StartsWith(line, "exit")) {
            doc_.m_bScriptExit = 1;
        }
        return true;
    }

    void Carrier(const std::string& line) {
        if (EndsWith(line, "USB")) doc_.m_nRxMode = 0;
        if (EndsWith(line, "LSB")) doc_.m_nRxMode = 1;
        std::string arg;
        double khz = 0.0;
        if (ArgumentOf(line, 7, arg) && ScanDouble(arg.c_str(), khz)) doc_.m_dCarrierKHz = khz;
    }

    bool WaitUntil(const std::string& line, const std::string& arg) {
        switch (DeadlineAt(doc_.Platform(), arg, deadline_)) {
            case DeadlineStatus::NotRead:
            case DeadlineStatus::Ok:
                return true;
            case DeadlineStatus::OutOfRange:
                doc_.Platform().ShowMessage("The time in the script line \"" + line +
                                            "\" is out of range. The script ends.");
                doc_.NoteScriptFailure("the time is out of range; the script ended there");
                return false;
            case DeadlineStatus::Unconvertible:
                doc_.Platform().ShowMessage("The time in the script line \"" + line +
                                            "\" cannot be converted. The script ends.");
                doc_.NoteScriptFailure("the time cannot be converted; the script ended there");
                return false;
        }
        return true;
    }

    // The window passes over a "save" that wrote nothing, as designed; the failure is kept so
    // that a tool running the script can say so.
    void Save() {
        std::string path;
        const SpectrumFileStatus status = SaveSpectrumToLogDirectory(doc_, &path);
        if (status == SpectrumFileStatus::Ok) return;
        std::string message = SpectrumFileMessage(status, path, true);
        if (!message.empty() && message.back() == '.') message.pop_back();
        doc_.NoteScriptFailure(message);
    }

    // After every line: a deadline still ahead, then a row target not yet reached. Neither is
    // ever cleared, so a row target holds for every later line.
    void Wait() {
        IPlatformServices& platform = doc_.Platform();
        while (deadline_ > 0 && deadline_ > platform.NowUtc() && !doc_.m_bScriptExit) platform.WaitStep(kWaitStepMs);
        while (rowTarget_ > 0 && rowTarget_ > doc_.m_nRows && !doc_.m_bScriptExit) {
            if (platform.ScriptsRunUnattended() && !RowsCanStillArrive()) {
                doc_.EndScriptOnFailure(FormatC("waits for %d rows, but ", rowTarget_) + WhyNothingChanges() +
                                        ": the wait can never end");
                break;
            }
            platform.WaitStep(kWaitStepMs);
        }
    }

    // Without a user, rows come only from a capture that is open and still has input.
    bool RowsCanStillArrive() {
        return doc_.m_bProcessing && doc_.m_capture.headers[0] && doc_.m_capture.device &&
               !doc_.Platform().CaptureInputUsedUp();
    }

    std::string WhyNothingChanges() {
        if (!doc_.m_bProcessing || !doc_.m_capture.headers[0]) return "no capture is running";
        return "the input is used up";
    }

    // Without a user, a pass of a "repeat" loop in which neither the clock nor the rows moved
    // leaves everything as the pass before it found it: every later pass would be the same.
    void MarkProgress() {
        markTime_ = doc_.Platform().NowUtc();
        markRows_ = doc_.m_nRows;
    }

    void EndPassWithoutProgress() {
        IPlatformServices& platform = doc_.Platform();
        if (!platform.ScriptsRunUnattended()) return;
        if (platform.NowUtc() == markTime_ && doc_.m_nRows == markRows_ && !RowsCanStillArrive()) {
            doc_.EndScriptOnFailure("repeats without waiting, and " + WhyNothingChanges() +
                                    ": the script would run for ever without anything changing");
            return;
        }
        MarkProgress();
    }

    CSorvantelDoc& doc_;
    std::FILE* file_;
    int64_t deadline_ = 0;
    int rowTarget_ = 0;
    int lineNumber_ = 0;
    int64_t markTime_ = 0;
    int markRows_ = 0;
};

}  // namespace

void CSorvantelDoc::OnScript() {
    if (!CanScript()) return;
    FileDialogSpec spec;
    spec.defaultSuffix = "txt";
    spec.initialName = "*.txt";
    spec.filters = {"Script files (*.txt)", "All files (*)"};
    std::string path;
    if (!m_platform.OpenFileDialog(spec, path)) return;
    m_scriptFailures.clear();
    std::string why;
    bool notRegular = false;
    std::FILE* file = OpenRegularFile(path, why, &notRegular);
    if (!file) {
        // A file that cannot be opened stops the command without a word; a FIFO or a device
        // is refused by name, since reading it would wait for ever.
        if (notRegular) m_platform.ShowMessage("The script " + path + " " + why + ". It was not run.");
        return;
    }

    m_bScriptRunning = 1;
    m_platform.RefreshCommandStates();
    SetTitle("Sorvantel from KELD - processing script commands");
    m_bScriptExit = 0;
    m_nScriptLine = 0;
    m_strScriptLine.clear();
    ScriptRun run(*this, file);
    // After an error the title keeps showing the line that failed.
    if (run.Run()) SetTitle("Sorvantel from KELD - script ended");
    std::fclose(file);
    m_bScriptRunning = 0;
    m_platform.RefreshCommandStates();
}

void CSorvantelDoc::NoteScriptFailure(const std::string& reason) {
    m_scriptFailures.push_back(FormatC("line %d \"", m_nScriptLine) + m_strScriptLine + "\": " + reason);
}

void CSorvantelDoc::EndScriptOnFailure(const std::string& reason) {
    NoteScriptFailure(reason);
    m_bScriptExit = 1;
}

}  // namespace sorv
