// run: a script of the program's commands, with "start" capturing from an audio file through
// the headless capture device, and the waits on the recording's clock.
#include <cstdio>
#include <filesystem>

#include "audio/file/audio_file_reader.h"
#include "cli/cli_commands.h"
#include "cli/cli_session.h"
#include "cli/headless_document.h"
#include "engine/regular_file.h"

namespace sorv {

int RunScript(const RunCommand& command, CliStreams& streams) {
    CliSession session(streams.out, streams.err, command.json, streams.errIsTerminal);
    // The script is opened here first: the program's own opening stops without a word.
    std::string why;
    std::FILE* script = OpenRegularFile(command.script, why);
    if (!script) {
        session.Fail(command.script, "cannot open the script: " + why);
        return 1;
    }
    std::fclose(script);
    std::error_code ec;
    AudioFileReader input;
    std::string error;
    if (!input.Open(command.input, command.import, error)) {
        session.Fail(command.input, error);
        return 1;
    }

    HeadlessDocument hd(streams.err);
    CSorvantelDoc& doc = *hd.doc;
    ApplyAnalysisSettings(doc, command.settings);
    // "save" writes into the log directory: --log-dir, or the current directory.
    if (command.settings.logDir.empty()) doc.m_strLogDirectory = std::filesystem::current_path(ec).string() + "/";
    hd.platform.wallClockMs = streams.wallClockMs;
    hd.platform.SetCaptureInput(&input, command.realtime);
    hd.platform.SetRunTimeout(static_cast<int64_t>(command.timeoutSeconds * 1000.0));
    hd.watcher.SetSource(command.input, 0.0);
    hd.watcher.segmentStart = [&hd] { return hd.platform.CaptureStartSeconds(); };
    hd.watcher.onFound = [&session](const Identification& id) { session.Report(id); };
    hd.platform.onTitle = [&session, &hd, &input, &command](std::string_view title) {
        constexpr std::string_view prefix = "Sorvantel from KELD - ";
        const std::string_view stage = title.starts_with(prefix) ? title.substr(prefix.size()) : title;
        session.progress().Update(command.input, hd.platform.CaptureSecondsDelivered(), input.DurationSeconds(), stage);
    };
    hd.platform.openAnswers.push_back(command.script);
    doc.OnScript();
    if (doc.m_bProcessing) doc.OnStop();
    session.progress().Clear();
    if (!input.Error().empty()) session.Fail(command.input, input.Error());
    // Each failure names its line; any of them makes the exit status 1.
    for (const std::string& failure : doc.m_scriptFailures) session.Fail(command.script, failure);
    return session.AnyFailure() ? 1 : 0;
}

}  // namespace sorv
