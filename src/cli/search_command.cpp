// search: the batch search over saved spectrum files, headless. The files go to the batch one
// at a time, so that each identification is reported with its file and there is no limit on
// their number; the document is shared, so a name's carrier and time carry over as designed.
#include <algorithm>

#include "automation/spectrum_file.h"
#include "cli/cli_commands.h"
#include "cli/cli_session.h"
#include "cli/file_list.h"
#include "cli/headless_document.h"
#include "engine/text_format.h"

namespace sorv {

namespace {

// The batch speaks about a file only when it could not load it (and so did not search it);
// other messages of the search (an ident log that cannot be written) are no such failure.
bool BatchRefusedTheFile(const std::vector<std::string>& messages, size_t from, const std::string& path) {
    const std::string refusals[] = {SpectrumFileMessage(SpectrumFileStatus::BadHeader, path, false),
                                    SpectrumFileMessage(SpectrumFileStatus::ReadFailed, path, false),
                                    SpectrumFileMessage(SpectrumFileStatus::NotRegular, path, false)};
    return std::any_of(messages.begin() + static_cast<long>(from), messages.end(), [&](const std::string& m) {
        return std::find(std::begin(refusals), std::end(refusals), m) != std::end(refusals);
    });
}

}  // namespace

int RunSearch(const SearchCommand& command, CliStreams& streams) {
    CliSession session(streams.out, streams.err, command.json, streams.errIsTerminal);
    HeadlessDocument hd(streams.err);
    ApplyAnalysisSettings(*hd.doc, command.settings);
    hd.watcher.onFound = [&session](const Identification& id) { session.Report(id); };
    const std::vector<std::string> files = ExpandFileArguments(command.files, FileKind::Spectrum, session);
    const double total = static_cast<double>(files.size());
    double done = 0.0;
    for (const std::string& path : files) {
        session.CountFile(path);
        session.progress().Update(path, done, total, "searching");
        done += 1.0;
        std::string truncated;
        const std::string problem = CheckSpectrumFile(path, truncated);
        if (!problem.empty()) {
            session.Fail(path, problem);
            continue;
        }
        hd.watcher.SetSource(path, 0.0);
        const int before = hd.watcher.Count();
        const size_t messagesBefore = hd.platform.messages.size();
        hd.platform.multiOpenAnswers.push_back({path});
        hd.doc->OnBatchAutoSearch();
        if (BatchRefusedTheFile(hd.platform.messages, messagesBefore, path)) {
            session.Fail(path, "could not be searched");
            continue;
        }
        if (!truncated.empty()) session.Fail(path, truncated);
        if (!session.progress().Terminal())
            session.progress().Line(FormatC("%s: %d rows, %d identification%s", path.c_str(), hd.doc->m_nRows,
                                            hd.watcher.Count() - before,
                                            hd.watcher.Count() - before == 1 ? "" : "s"));
    }
    session.progress().Line(session.Summary());
    return session.AnyFailure() ? 1 : 0;
}

}  // namespace sorv
