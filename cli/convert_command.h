#pragma once

#include "cli/cli_options.h"

#include <ostream>

namespace srctdy {

// Converts (or, with --check and --diff, checks) every file the options name. Messages go to
// err, each prefixed with its file's path; converted text and diffs go to standard output.
// Returns the exit status.
int RunConversion(const CliOptions& options, std::ostream& err);

// Renames the files the options name (--rename). Returns the exit status.
int RunRenameFromCommandLine(const CliOptions& options, std::ostream& err);

} // namespace srctdy
