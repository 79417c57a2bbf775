// One run of sorvantel-cli: where results, progress and failures go, and whether any file
// failed (exit status 1).
#pragma once

#include <ostream>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/identification.h"

namespace sorv {

// Progress on stderr: a bar redrawn in place on a terminal, otherwise nothing but the lines
// the commands write (one per file or segment).
class Progress {
public:
    Progress(std::ostream& err, bool terminal) : err_(err), terminal_(terminal) {}
    bool Terminal() const { return terminal_; }
    // The bar: what is done of the current file, and what happens now.
    void Update(const std::string& file, double done, double total, std::string_view stage);
    // A line of its own: after the bar (which is cleared first) or alone.
    void Line(const std::string& text);
    void Clear();

private:
    std::ostream& err_;
    bool terminal_;
    bool barShown_ = false;
    long long lastDrawMs_ = 0;
};

class CliSession {
public:
    CliSession(std::ostream& out, std::ostream& err, bool json, bool terminal)
        : out_(out), err_(err), json_(json), progress_(err, terminal) {}

    void Report(const Identification& id);
    // A file that could not be read, or not wholly: named on stderr with the reason.
    void Fail(const std::string& file, const std::string& reason);
    void Warn(const std::string& file, const std::string& text);
    bool AnyFailure() const { return anyFailure_; }
    // One more file taken in hand, for the summary.
    void CountFile(const std::string& file) { countedFiles_.insert(file); ++files_; }
    // "3 files, 2 identifications: DGU x2, NDB", and how many files failed, if any.
    std::string Summary() const;
    Progress& progress() { return progress_; }
    std::ostream& err() { return err_; }

private:
    std::ostream& out_;
    std::ostream& err_;
    bool json_;
    Progress progress_;
    bool anyFailure_ = false;
    int files_ = 0;
    int identifications_ = 0;
    std::vector<std::pair<std::string, int>> idents_;  // each ident found, in order, with its count
    std::set<std::string> countedFiles_, failedFiles_;
};

}  // namespace sorv
