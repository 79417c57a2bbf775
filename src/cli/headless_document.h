// The document as sorvantel-cli uses it: on the headless platform, set up from the command
// line's options instead of the user's settings, with its identifications watched.
#pragma once

#include <memory>
#include <ostream>

#include "cli/cli_options.h"
#include "cli/headless_platform.h"
#include "cli/identification.h"
#include "engine/sorvantel_doc.h"

namespace sorv {

class HeadlessDocument {
public:
    explicit HeadlessDocument(std::ostream& messages);
    HeadlessDocument(const HeadlessDocument&) = delete;
    HeadlessDocument& operator=(const HeadlessDocument&) = delete;

    HeadlessPlatform platform;  // outlives the document: its settings folder goes last
    std::unique_ptr<CSorvantelDoc> doc;
    IdentificationWatcher watcher;
};

// Each option replaces the start-up default it names, as the matching dialog would: the band
// as the spectral range dialog sets it (centre and one of five widths), the search limits,
// carrier and sideband, a manual speed, the period scale, and logging into --log-dir.
void ApplyAnalysisSettings(CSorvantelDoc& doc, const AnalysisSettings& settings);

}  // namespace sorv
