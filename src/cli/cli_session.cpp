#include "cli/cli_session.h"

#include <algorithm>
#include <chrono>

#include "engine/text_format.h"

namespace sorv {

namespace {

long long NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string Clock(double seconds) {
    const long long s = seconds > 0.0 && seconds < 1e9 ? static_cast<long long>(seconds) : 0;
    return s >= 3600 ? FormatC("%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60)
                     : FormatC("%lld:%02lld", s / 60, s % 60);
}

}  // namespace

void Progress::Update(const std::string& file, double done, double total, std::string_view stage) {
    if (!terminal_) return;
    const long long now = NowMs();
    if (barShown_ && now - lastDrawMs_ < 100) return;
    lastDrawMs_ = now;
    const double fraction = total > 0.0 ? std::clamp(done / total, 0.0, 1.0) : 0.0;
    const int width = 30;
    const int filled = static_cast<int>(fraction * width);
    std::string bar(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(width - filled), '-');
    err_ << "\r\x1b[K[" << bar << "] " << FormatC("%3d%%", static_cast<int>(fraction * 100.0)) << "  " << file << "  "
         << Clock(done) << " of " << Clock(total) << "  " << stage << std::flush;
    barShown_ = true;
}

void Progress::Clear() {
    if (barShown_) err_ << "\r\x1b[K" << std::flush;
    barShown_ = false;
}

void Progress::Line(const std::string& text) {
    Clear();
    err_ << text << '\n' << std::flush;
}

void CliSession::Report(const Identification& id) {
    out_ << (json_ ? FormatIdentificationJson(id) : FormatIdentificationText(id)) << '\n' << std::flush;
    ++identifications_;
    auto same = std::find_if(idents_.begin(), idents_.end(), [&id](const auto& e) { return e.first == id.ident; });
    if (same == idents_.end())
        idents_.emplace_back(id.ident, 1);
    else
        ++same->second;
}

std::string CliSession::Summary() const {
    std::string text = FormatC("%d file%s", files_, files_ == 1 ? "" : "s");
    const auto failed = std::count_if(failedFiles_.begin(), failedFiles_.end(),
                                      [this](const std::string& f) { return countedFiles_.count(f) > 0; });
    if (failed > 0) text += FormatC(" (%ld could not be read, or not wholly)", static_cast<long>(failed));
    if (identifications_ == 0) return text + ", no identification";
    text += FormatC(", %d identification%s: ", identifications_, identifications_ == 1 ? "" : "s");
    for (size_t i = 0; i < idents_.size(); ++i) {
        if (i > 0) text += ", ";
        text += idents_[i].first;
        if (idents_[i].second > 1) text += FormatC(" x%d", idents_[i].second);
    }
    return text;
}

void CliSession::Fail(const std::string& file, const std::string& reason) {
    anyFailure_ = true;
    failedFiles_.insert(file);
    progress_.Line("sorvantel-cli: " + file + ": " + reason);
}

void CliSession::Warn(const std::string& file, const std::string& text) {
    progress_.Line("sorvantel-cli: " + file + ": " + text);
}

}  // namespace sorv
