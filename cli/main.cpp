// srctdy-cli: the command-line front end over the conversion engine.

#include "cli/cli_options.h"
#include "cli/convert_command.h"
#include "cli/file_options.h"
#include "engine/temporary_file.h"
#include "platform/message_catalogue.h"
#include "platform/string_table.h"

#include <iostream>
#include <sys/ioctl.h>
#include <unistd.h>

int main(int argc, char** argv) {
    using namespace srctdy;
    RemoveTemporariesOnInterrupt(); // before any worker thread starts
    OpenMessageCatalogue(LocaleFolderBesideProgram());
    std::vector<std::string> args(argv + 1, argv + argc);
    CliOptions options;
    std::string error;
    if (!ParseCommandLine(args, options, error)) {
        std::cerr << "srctdy-cli: " << CliText(error) << "\n" << CliText(text::kCliTryHelp) << "\n";
        return 2;
    }
    if (options.help) {
        std::cout << CliText(text::kCliUsage);
        return 0;
    }
    if (options.version) {
        std::cout << "srctdy-cli " << SRCTDY_VERSION << "\n";
        return 0;
    }
    if (options.printConfig)
        return PrintFileOptions(options, std::cout, std::cerr);
    if (options.rename)
        return RunRenameFromCommandLine(options, std::cerr);
    // CI logs stay clean: the progress line is for a person at a terminal, and stays off a
    // terminal that standard output shares with converted text or diffs.
    options.progress =
        !options.quiet && ::isatty(2) && !((options.toStdout || options.diff) && ::isatty(1));
    struct winsize size {};
    unsigned width = ::ioctl(2, TIOCGWINSZ, &size) == 0 && size.ws_col ? size.ws_col : 80;
    return RunConversion(options, std::cerr, width);
}
