// Batch auto search: the automatic search over many saved spectrum files, one after another,
// each loaded without questions; what it finds is logged as for a single search.
#include <string>
#include <vector>

#include "automation/spectrum_file.h"
#include "engine/sorvantel_doc.h"

namespace sorv {

namespace {
constexpr size_t kMaxBatchFiles = 200;
}

void CSorvantelDoc::OnBatchAutoSearch() {
    // Loading rows while capture adds more would run the store past its end.
    if (m_bProcessing) return;
    FileDialogSpec spec;
    spec.title = "Select files to analyse";
    spec.defaultSuffix = "svl";
    spec.initialName = "*.svl";
    spec.filters = {"Spectrum files (*.svl)", "All files (*)"};
    std::vector<std::string> paths;
    if (!m_platform.OpenFilesDialog(spec, paths)) return;
    if (paths.size() > kMaxBatchFiles) {
        m_platform.ShowMessage("Only 200 files can be handled.  The remainer are ignored");
        paths.resize(kMaxBatchFiles);
    }

    m_platform.SetWaitCursor(true);
    for (const std::string& path : paths) {
        const SpectrumFileStatus status = LoadSpectrumRows(*this, path);
        if (status == SpectrumFileStatus::OpenFailed || status == SpectrumFileStatus::NotRegular) {
            // The name is read before the file is opened, so an unreadable file still passes
            // its carrier and stamp on to the files after it; the file itself is skipped, and
            // one that is no regular file (a FIFO) is skipped unread rather than waited on.
            ApplySpectrumFileName(*this, path);
            continue;
        }
        if (status == SpectrumFileStatus::BadHeader) {
            m_platform.ShowMessage(SpectrumFileMessage(status, path, false));
            continue;
        }
        if (status == SpectrumFileStatus::ReadFailed) {
            m_platform.ShowMessage(SpectrumFileMessage(status, path, false));
            break;
        }
        OnAutoSearch();
    }
    m_platform.SetWaitCursor(false);
}

}  // namespace sorv
