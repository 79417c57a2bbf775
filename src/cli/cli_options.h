// The command line of sorvantel-cli: subcommands, their options and the checks that make a
// wrong command line a usage error (exit status 2) before any file is touched.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "audio/file/audio_file_reader.h"
#include "audio/synth/iq_synth.h"
#include "audio/synth/iq_wav_writer.h"
#include "audio/synth/receiver_audio.h"

namespace sorv {

// How the document is set up before the search: each option replaces a start-up default.
struct AnalysisSettings {
    std::optional<int> centreHz;
    std::optional<double> bandwidthHz;  // 3000, 1500, 750, 375 or 187.5
    std::optional<double> toneMin, toneMax, periodMin, periodMax;
    std::optional<double> carrierKHz;
    int rxMode = -1;  // --usb 0, --lsb 1
    std::optional<int> wpm;
    std::optional<int> periodScale;
    std::string logDir;
    bool sensitive = true;  // --detector sensitive (default) or classic, the designed search
};

struct AnalyseCommand {
    std::vector<std::string> files;
    AnalysisSettings settings;
    AudioImportOptions import;
    std::string saveSvl;
    bool json = false;
    // Search a recording longer than the store one store at a time (the designed search always
    // does); otherwise the sensitive detector reads the whole recording at once.
    bool segments = false;
};

struct SearchCommand {
    std::vector<std::string> files;
    AnalysisSettings settings;
    bool json = false;
};

struct RunCommand {
    std::string script;
    std::string input;
    bool realtime = false;
    double timeoutSeconds = 0.0;  // --timeout: the run's bound on the wall clock; 0 for none
    AnalysisSettings settings;
    AudioImportOptions import;
    bool json = false;
};

struct SynthCommand {
    std::string output;
    SynthSpec spec;
};

// survey: every beacon of I/Q recordings (see survey_command.cpp).
struct SurveyCommand {
    std::vector<std::string> files;
    std::vector<double> carriersKHz;     // --carriers: by hand instead of found
    std::optional<double> centreKHz;     // --centre-khz: for files that do not say
    std::optional<double> rateHz;        // --rate: for raw files
    double periodMin = 6.0, periodMax = 15.0;
    bool combineSidebands = true;        // --single-sideband turns it off
    bool tuneTransforms = false;         // --tune-transforms: plan them thoroughly and keep them
    std::string logDir;
    std::string png;
    enum class Format { Text, Json, Csv } format = Format::Text;
};

// synth --iq: an I/Q recording of a band instead of receiver audio.
struct IqSynthCommand {
    std::string output;
    IqSynthSpec spec;
    IqSampleFormat format = IqSampleFormat::S16;
};

enum class Subcommand { None, Help, Analyse, Search, Run, Synth, SynthIq, Survey };

struct CliCommand {
    Subcommand which = Subcommand::None;
    Subcommand helpFor = Subcommand::None;  // with Help: the subcommand asked about
    AnalyseCommand analyse;
    SearchCommand search;
    RunCommand run;
    SynthCommand synth;
    SurveyCommand survey;
    IqSynthCommand iqSynth;
};

// Parses the arguments after the program name. On a usage error returns false with the
// message (without the program name) in error.
bool ParseCommandLine(const std::vector<std::string>& args, CliCommand& command, std::string& error);

// A spectrum data file by its name (".svl", as the program names them); anything else is
// taken for audio.
bool IsSpectrumFileName(const std::string& path);

// The --help texts.
std::string UsageText(Subcommand which);

}  // namespace sorv
