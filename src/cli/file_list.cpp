#include "cli/file_list.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "cli/cli_options.h"
#include "cli/cli_session.h"

namespace sorv {

namespace {

std::string LowerExtension(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

bool IsOfKind(const std::string& path, FileKind kind) {
    return kind == FileKind::Spectrum ? IsSpectrumFileName(path) : IsRecordingFileName(path);
}

std::string NoneFoundText(FileKind kind, bool holdsTheOtherKind) {
    if (kind == FileKind::Spectrum) return "the directory holds no spectrum files (.svl)";
    return holdsTheOtherKind ? "the directory holds no recordings (its .svl files are searched with "
                               "'sorvantel-cli search')"
                             : "the directory holds no recordings";
}

}  // namespace

bool IsRecordingFileName(const std::string& path) {
    static const char* const kExtensions[] = {".wav", ".wave", ".flac", ".ogg", ".oga", ".opus", ".aif",
                                              ".aiff", ".aifc", ".au", ".snd", ".caf", ".w64", ".rf64", ".mp3"};
    const std::string ext = LowerExtension(path);
    return std::any_of(std::begin(kExtensions), std::end(kExtensions), [&ext](const char* e) { return ext == e; });
}

std::vector<std::string> ExpandFileArguments(const std::vector<std::string>& args, FileKind kind,
                                             CliSession& session) {
    std::vector<std::string> files;
    for (const std::string& arg : args) {
        std::error_code ec;
        if (!std::filesystem::is_directory(arg, ec)) {
            files.push_back(arg);
            continue;
        }
        std::vector<std::string> found;
        bool otherKind = false;
        // Iterated by hand: the range form throws on an entry that cannot be read.
        for (std::filesystem::directory_iterator it(arg, ec), end; !ec && it != end; it.increment(ec)) {
            const std::filesystem::directory_entry& entry = *it;
            const std::string name = entry.path().filename().string();
            std::error_code typeError;
            if (name.empty() || name[0] == '.' || !entry.is_regular_file(typeError)) continue;
            if (IsOfKind(name, kind))
                found.push_back(entry.path().string());
            else if (IsSpectrumFileName(name))
                otherKind = true;
        }
        if (ec) {
            session.Fail(arg, "cannot read the directory: " + ec.message());
            continue;
        }
        if (found.empty()) session.Fail(arg, NoneFoundText(kind, otherKind));
        std::sort(found.begin(), found.end());
        files.insert(files.end(), found.begin(), found.end());
    }
    return files;
}

}  // namespace sorv
