// search: the batch search over saved spectrum files, headless. The files go to the batch one
// at a time, so that each identification is reported with its file and there is no limit on
// their number; the document is shared, so a name's carrier and time carry over as designed.
#include "cli/cli_commands.h"
#include "cli/cli_session.h"
#include "cli/headless_document.h"
#include "engine/text_format.h"

namespace sorv {

int RunSearch(const SearchCommand& command, CliStreams& streams) {
    CliSession session(streams.out, streams.err, command.json, streams.errIsTerminal);
    HeadlessDocument hd(streams.err);
    ApplyAnalysisSettings(*hd.doc, command.settings);
    hd.watcher.onFound = [&session](const Identification& id) { session.Report(id); };
    const double total = static_cast<double>(command.files.size());
    double done = 0.0;
    for (const std::string& path : command.files) {
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
        if (hd.platform.messages.size() != messagesBefore) session.Fail(path, "could not be searched");
        if (!truncated.empty()) session.Fail(path, truncated);
        if (!session.progress().Terminal())
            session.progress().Line(FormatC("%s: %d rows, %d identification%s", path.c_str(), hd.doc->m_nRows,
                                            hd.watcher.Count() - before,
                                            hd.watcher.Count() - before == 1 ? "" : "s"));
    }
    session.progress().Clear();
    return session.AnyFailure() ? 1 : 0;
}

}  // namespace sorv
