#pragma once

#include "cli/cli_options.h"

#include <ostream>
#include <string>
#include <vector>

namespace srctdy {

// The files that PATH arguments stand for: a folder gives its files matching fileType, in the
// file list's order; "-" stays "-"; a file named twice (by any path) appears once.
std::vector<std::string> ExpandPaths(const std::vector<std::string>& paths,
                                     const std::string& fileType);

// Converts every file the options name. Messages go to err, each prefixed with its file's
// path. Returns the exit status: 0 all converted, 1 any failed.
int RunConversion(const CliOptions& options, std::ostream& err);

// Renames the files the options name (--rename). Returns the exit status.
int RunRenameFromCommandLine(const CliOptions& options, std::ostream& err);

} // namespace srctdy
