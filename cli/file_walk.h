#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace srctdy {

// A file the command line works on, and where its sub-folder output goes ("" for the
// default: the sub-folder beside the file).
struct FileEntry {
    std::string path;
    std::string outputFolder;
};

// What decides which entries of one walked folder are taken.
struct FolderRules {
    std::vector<std::string> fileTypes;     // the folder's files must match one
    std::vector<std::string> excludes;      // globs of paths, relative to the folder argument ...
    std::optional<std::string> excludeBase; // ... or to the folder this path names (the
                                            // folder's path relative to the globs' base)
};

// How PATH arguments turn into files.
struct WalkOptions {
    std::vector<std::string> fileTypes = {"*.c"}; // a folder's files must match one
    bool recursive = false;
    std::vector<std::string> excludes; // globs of paths relative to the folder argument
    std::string subFolderName = "NewFolder";
    // When set, gives each walked folder its own rules (a project configuration) instead of
    // fileTypes and excludes; it decides on the folder's files and sub-folders alike.
    std::function<FolderRules(const std::string& folder)> rulesFor;
};

// Whether a relative path matches an exclude glob: case-sensitive, "*" and "?" stop at "/",
// "**" spans folders ("**/" also matches no folder at all).
bool MatchesGlob(std::string_view path, std::string_view glob);

// The files that PATH arguments stand for: a folder gives its files matching a file type, in
// the file list's order (recursively: a folder's files, then its sub-folders, each sorted);
// "-" stays "-"; a file named twice (by any path) appears once.
std::vector<FileEntry> ExpandPaths(const std::vector<std::string>& paths,
                                   const WalkOptions& options);

} // namespace srctdy
