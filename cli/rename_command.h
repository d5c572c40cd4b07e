#pragma once

#include "batch/file_renaming.h"

#include <ostream>
#include <string>
#include <vector>

namespace srctdy {

// srctdy-cli --rename: renames every file that paths name. A path that is a folder stands
// for its files matching any of typePatterns (in list order); any other path is taken as a file.
// All paths are expanded before the first rename, and a file named twice is renamed once. Messages
// go to err in UTF-8, one line each (line breaks become spaces), prefixed with the file's path and
// ": "; nothing is asked, a failure goes on with the next file. Returns the exit status: 1 when any
// rename failed, else 0.
int RunRenameCommand(RenameKind kind, const std::vector<std::string>& paths,
                     const std::vector<std::string>& typePatterns, std::ostream& err);

} // namespace srctdy
