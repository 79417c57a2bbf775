// What analyse and search take in hand: directories as the files of their kind in them, sorted;
// a spectrum file of 0 rows as a file with nothing in it; a FIFO refused at once; and the
// one-line summary each run ends with.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "automation/spectrum_file.h"
#include "support/cli_runner.h"
#include "support/fake_platform.h"
#include "support/fifo_guard.h"

namespace sorv {
namespace {

class CliFiles : public ::testing::Test {
protected:
    std::string Folder(const std::string& name) {
        std::filesystem::create_directories(dir.file(name));
        return dir.file(name);
    }
    std::string Write(const std::string& name, const std::string& bytes) {
        std::ofstream(dir.file(name), std::ios::binary) << bytes;
        return dir.file(name);
    }
    // The last line of stderr: the summary.
    static std::string LastLine(const std::string& text) {
        const size_t end = text.find_last_not_of('\n');
        if (end == std::string::npos) return {};
        const size_t start = text.rfind('\n', end);
        return text.substr(start == std::string::npos ? 0 : start + 1, end - (start == std::string::npos ? 0 : start + 1) + 1);
    }
    test::TempDir dir;
};

TEST_F(CliFiles, ADirectoryIsAnalysedAsItsRecordingsInNameOrderWithASummary) {
    const std::string rec = Folder("night");
    ASSERT_TRUE(test::WriteSynthWav(rec + "/b.wav", test::IdentSpec("NDB", 1000, 9, 6, 3, 3, 2)));
    ASSERT_TRUE(test::WriteSynthWav(rec + "/a.WAV", test::IdentSpec("DGU", 1015, 8, 8, 3, 3, 1)));
    // Neither notes, nor hidden files, nor subdirectories, nor spectrum files are recordings.
    Write("night/notes.txt", "not audio");
    Write("night/.partial.wav", "not audio either");
    Folder("night/older");
    Write("night/sorvantel_20240101000000.svl", std::string(4, '\0'));

    const test::CliResult r = test::RunCliArgs({"analyse", "--detector", "classic", rec, dir.file("gone.wav"),
                                                rec + "/a.WAV"});
    EXPECT_EQ(r.status, 1);  // gone.wav
    EXPECT_NE(r.err.find("sorvantel-cli: " + dir.file("gone.wav") + ": No such file\n"), std::string::npos) << r.err;
    const auto lines = r.OutLines();
    ASSERT_EQ(lines.size(), 3u) << r.out;
    EXPECT_EQ(lines[0].rfind(rec + "/a.WAV: ", 0), 0u);
    EXPECT_NE(lines[0].find(" DGU "), std::string::npos);
    EXPECT_EQ(lines[1].rfind(rec + "/b.wav: ", 0), 0u);
    EXPECT_NE(lines[1].find(" NDB "), std::string::npos);
    EXPECT_EQ(lines[2].rfind(rec + "/a.WAV: ", 0), 0u);
    EXPECT_EQ(LastLine(r.err), "4 files (1 could not be read, or not wholly), 3 identifications: DGU x2, NDB");

    // A directory of spectrum files only says where they belong.
    const std::string spectra = Folder("spectra");
    Write("spectra/sorvantel_20240101000000.svl", std::string(4, '\0'));
    const test::CliResult none = test::RunCliArgs({"analyse", spectra});
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.find(spectra + ": the directory holds no recordings (its .svl files are searched with "
                                      "'sorvantel-cli search')"),
              std::string::npos)
        << none.err;
    EXPECT_EQ(LastLine(none.err), "0 files, no identification");
}

TEST_F(CliFiles, ZeroRowSpectrumFilesAreSearchedForNothingAndDirectoriesGiveTheirSpectra) {
    // A script that saves before any capture writes a spectrum file of 0 rows.
    const std::string logs = Folder("logs");
    ASSERT_TRUE(test::WriteSynthWav(dir.file("in.wav"), test::IdentSpec("DGU", 1015, 8, 8, 3, 0.5)));
    const std::string script = Write("save.txt", "carrier 404.0 USB\nsave\nexit\n");
    ASSERT_EQ(test::RunCliArgs({"run", script, "--input", dir.file("in.wav"), "--log-dir", logs}).status, 0);
    std::string saved;
    for (const auto& e : std::filesystem::directory_iterator(logs)) saved = e.path().string();
    ASSERT_EQ(std::filesystem::file_size(saved), 4u);

    for (const char* command : {"search", "analyse"}) {
        SCOPED_TRACE(command);
        const test::CliResult r = test::RunCliArgs({command, saved});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.find("could not"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(saved + ": 0 rows, 0 identifications"), std::string::npos) << r.err;
        EXPECT_EQ(LastLine(r.err), "1 file, no identification");
    }

    // search takes a directory as its .svl files, sorted, and leaves everything else there.
    std::unique_ptr<double[][128]> rows(new double[2][128]());
    ASSERT_EQ(WriteSpectrumFile(logs + "/a.svl", rows.get(), 2), SpectrumFileStatus::Ok);
    Write("logs/recording.wav", "not a spectrum");
    const test::CliResult r = test::RunCliArgs({"search", logs, Folder("empty")});
    EXPECT_EQ(r.status, 1);  // the empty directory
    const size_t a = r.err.find(logs + "/a.svl: 2 rows");
    const size_t b = r.err.find(saved + ": 0 rows");
    ASSERT_NE(a, std::string::npos) << r.err;
    ASSERT_NE(b, std::string::npos) << r.err;
    EXPECT_LT(a, b);
    EXPECT_EQ(r.err.find("recording.wav"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(dir.file("empty") + ": the directory holds no spectrum files (.svl)"), std::string::npos);
    EXPECT_EQ(LastLine(r.err), "2 files, no identification");
}

TEST_F(CliFiles, FifosAreRefusedAtOnceByEveryCommand) {
    test::FifoGuard wav(dir.file("live.wav")), svl(dir.file("live.svl")), txt(dir.file("live.txt"));
    ASSERT_TRUE(wav.Made() && svl.Made() && txt.Made());
    ASSERT_TRUE(test::WriteSynthWav(dir.file("in.wav"), test::IdentSpec("DGU", 1015, 8, 8, 3, 0.5)));
    const std::string script = Write("script.txt", "exit\n");
    const std::vector<std::pair<std::vector<std::string>, std::string>> runs = {
        {{"analyse", wav.path()}, wav.path() + ": is not a regular file (a FIFO)"},
        {{"analyse", svl.path()}, svl.path() + ": is not a regular file (a FIFO)"},
        {{"search", svl.path()}, svl.path() + ": is not a regular file (a FIFO)"},
        {{"run", txt.path(), "--input", dir.file("in.wav")}, txt.path() + ": cannot open the script: is not a regular file (a FIFO)"},
        {{"run", script, "--input", wav.path()}, wav.path() + ": is not a regular file (a FIFO)"},
    };
    for (const auto& [args, message] : runs) {
        SCOPED_TRACE(args[0] + " " + args[1]);
        const test::CliResult r = test::RunCliArgs(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("sorvantel-cli: " + message + "\n"), std::string::npos) << r.err;
    }
    // In a directory a FIFO is no recording at all and is passed over.
    const test::CliResult r = test::RunCliArgs({"analyse", dir.path()});
    EXPECT_EQ(r.err.find("live.wav"), std::string::npos) << r.err;
    EXPECT_FALSE(wav.Blocked() || svl.Blocked() || txt.Blocked());
}

}  // namespace
}  // namespace sorv
