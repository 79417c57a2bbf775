// sorvantel-cli as a function of its arguments, so that tests can run it without a process.
#include "cli/cli_commands.h"

namespace sorv {

int RunCli(const std::vector<std::string>& args, CliStreams& streams) {
    CliCommand command;
    std::string error;
    if (!ParseCommandLine(args, command, error)) {
        streams.err << "sorvantel-cli: " << error << "\n"
                    << "Try 'sorvantel-cli --help' for more information.\n";
        return 2;
    }
    switch (command.which) {
        case Subcommand::Help:
            streams.out << UsageText(command.helpFor);
            return 0;
        case Subcommand::Analyse: return RunAnalyse(command.analyse, streams);
        case Subcommand::Search: return RunSearch(command.search, streams);
        case Subcommand::Run: return RunScript(command.run, streams);
        case Subcommand::Synth: return RunSynth(command.synth, streams);
        case Subcommand::Survey: return RunSurvey(command.survey, streams);
        case Subcommand::SynthIq: return RunIqSynth(command.iqSynth, streams);
        case Subcommand::None: break;
    }
    return 2;
}

}  // namespace sorv
