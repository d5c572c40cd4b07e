#pragma once

#include <string>

namespace srctdy {

// The process's current directory follows the chosen folder, so that what the user starts
// from the program (and any relative name) sees the folder the dialog shows. Only the
// desktop program's shell uses these; the engine and the batch functions take paths.

// The current directory, whatever its length; empty when it cannot be read (removed).
std::string CurrentFolder();

// Makes path the current directory. A failure (an empty path, a folder that no longer
// exists) is ignored: the current directory then stays where it was.
void FollowFolder(const std::string& path);

} // namespace srctdy
