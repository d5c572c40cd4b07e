#pragma once

#include "engine/format_options.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

// Helpers for the tests that break things on purpose: snapshots of folders to prove that
// nothing was lost, the temporary files a conversion may leave, and children that may crash.
namespace srctdy::testing {

// One entry of a folder, as lstat and the file's bytes show it.
struct EntryState {
    char kind = '?';   // 'f' file, 'd' folder, 'l' link, 'p' FIFO
    std::string bytes; // a file's bytes, a link's target
    mode_t mode = 0;   // permission bits, the set-id and sticky bits included
    ino_t inode = 0;
    uid_t uid = 0;
    gid_t gid = 0;
};

// Every entry under folder, by path relative to it ("sub/a.c"); folders are walked.
using FolderState = std::map<std::string, EntryState>;
FolderState Snapshot(const std::string& folder);

// The differences between two snapshots, one line each; empty when they are the same.
// Inodes are compared only when compareInodes is set.
std::string Differences(const FolderState& before, const FolderState& after,
                        bool compareInodes = true);

// The paths (relative to folder, folders walked) of the conversion's temporary files.
std::vector<std::string> TemporaryFiles(const std::string& folder);

// Where two texts first differ, for texts too long to print; empty when they are the same.
std::string FirstDifference(std::string_view expected, std::string_view actual);

// What a conversion with these conditions makes of input, for a file called name.
std::string Converted(std::string_view input, std::string_view name,
                      const FormatOptions& options = {}, const ConvertSettings& settings = {});

// C-like text of about size bytes (LF line ends, blanks to trim, braces to indent), different
// for every seed, that a conversion with the default conditions changes.
std::string SourceText(size_t size, unsigned seed);

// Runs body in a forked child with the same privileges and returns the text it returned.
// Empty when the child crashed or was still running after seconds (it is then killed).
std::optional<std::string> CaptureInChild(const std::function<std::string()>& body,
                                          unsigned seconds = 120);

// chmod and chown that report a failure to the running test.
void SetMode(const std::string& path, mode_t mode);
void SetOwner(const std::string& path, uid_t uid, gid_t gid);

// One of the program's own images, standing for any binary file.
std::string ImagePath();

} // namespace srctdy::testing
