#pragma once

#include "cli/cli_options.h"

#include <ostream>

namespace srctdy {

// Converts (or, with --check and --diff, checks) every file the options name. Messages go to
// err, each prefixed with its file's path; converted text and diffs go to standard output.
// With options.progress, a progress line progressWidth columns wide goes to err as well.
// Returns the exit status.
int RunConversion(const CliOptions& options, std::ostream& err, unsigned progressWidth = 80);

// Renames the files the options name (--rename). Returns the exit status.
int RunRenameFromCommandLine(const CliOptions& options, std::ostream& err);

} // namespace srctdy
