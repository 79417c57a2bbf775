// sorvantel-cli: the headless front end of the core. Numbers are read and written in the "C"
// locale whatever the environment says.
#include <unistd.h>

#include <clocale>
#include <iostream>

#include "cli/cli_commands.h"

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");
    std::ios::sync_with_stdio(false);
    std::vector<std::string> args(argv + 1, argv + argc);
    sorv::CliStreams streams{std::cout, std::cerr, isatty(STDERR_FILENO) == 1};
    const int status = sorv::RunCli(args, streams);
    std::cout.flush();
    return status;
}
