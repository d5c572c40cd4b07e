// srctdy-cli: the command-line front end over the conversion engine.

#include "cli/cli_options.h"
#include "cli/convert_command.h"
#include "engine/temporary_file.h"
#include "platform/string_table.h"

#include <iostream>

int main(int argc, char** argv) {
    using namespace srctdy;
    RemoveTemporariesOnInterrupt(); // before any worker thread starts
    std::vector<std::string> args(argv + 1, argv + argc);
    CliOptions options;
    std::string error;
    if (!ParseCommandLine(args, options, error)) {
        std::cerr << "srctdy-cli: " << error << "\n" << text::kCliTryHelp << "\n";
        return 2;
    }
    if (options.help) {
        std::cout << text::kCliUsage;
        return 0;
    }
    if (options.version) {
        std::cout << "srctdy-cli " << SRCTDY_VERSION << "\n";
        return 0;
    }
    if (options.rename)
        return RunRenameFromCommandLine(options, std::cerr);
    return RunConversion(options, std::cerr);
}
