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
    std::string treeRoot; // the folder argument it was found in, unless links may lead out
    std::string error;    // set: nothing to convert; the walk could not go on here (path is
                          // the folder or the path concerned)
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
    bool followLinks = false; // files found in a folder argument may lie outside it
    // When set, gives each walked folder its own rules (a project configuration) instead of
    // fileTypes and excludes; it decides on the folder's files and sub-folders alike.
    std::function<FolderRules(const std::string& folder)> rulesFor;
};

// Whether a relative path matches an exclude glob: case-sensitive, "*" and "?" stop at "/",
// "**" spans folders ("**/" also matches no folder at all). Takes at most
// (path length + 1) x (glob length + 1) steps; when steps is given, the count is added to it.
bool MatchesGlob(std::string_view path, std::string_view glob, size_t* steps = nullptr);

// The files that PATH arguments stand for: a folder gives its files matching a file type, in
// the file list's order (recursively: a folder's files, then its sub-folders, each sorted);
// "-" stays "-"; a file named twice (by any path) appears once. A folder that cannot be read
// and a path too long to use give an entry with an error, so that nothing is skipped silently.
std::vector<FileEntry> ExpandPaths(const std::vector<std::string>& paths,
                                   const WalkOptions& options);

} // namespace srctdy
