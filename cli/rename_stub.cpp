#include "cli/convert_command.h"

namespace srctdy {

// Replaced by the rename command once it lands.
int RunRenameFromCommandLine(const CliOptions&, std::ostream& err) {
    err << "srctdy-cli: --rename is not available yet\n";
    return 2;
}

} // namespace srctdy
