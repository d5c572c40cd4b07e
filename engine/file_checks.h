#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unordered_map>
#include <unordered_set>

// Checks that keep a conversion inside its tree and from overwriting an edit made meanwhile.
namespace srctdy {

// Whether resolved (a path without links) is base or lies below it.
bool IsWithin(const std::string& resolved, const std::string& base);

// The longest existing part of folder, resolved: a folder that is still to be created lies
// where its existing part does.
std::string ResolveExistingPart(std::string folder);

// Paths with every link followed, as realpath gives them; a path that is not a link itself is
// resolved through the folder that holds it, each folder once (a run's files share a few).
class PathResolver {
public:
    // False when path cannot be resolved (a missing file, a dangling link).
    bool resolve(const std::string& path, std::string& resolved);
    // For a path whose last part is known to be no link (listed as a plain file, or opened
    // without following links): resolved through its folder alone, with no look at the file.
    bool resolveNoLink(const std::string& path, std::string& resolved);

private:
    bool throughFolder(const std::string& path, std::string& resolved);

    std::unordered_map<std::string, std::string> folders_;
};

// The sub-folders a run created, shared by the run's threads: a folder that one thread made
// holds no output of an earlier run for the others either.
class MadeFolders {
public:
    void add(const std::string& key);
    bool has(const std::string& key) const;

private:
    mutable std::mutex mutex_;
    std::unordered_set<std::string> keys_;
};

// What one run learns of its folders, so that the files of one folder resolve it once: tree
// roots resolved, and sub-folders found inside their tree and apart from their sources. A
// run's own, used by one thread at a time; a folder moved during the run keeps what was found
// for its first file. made: the record of folders made that the run's threads share.
class FolderChecks {
public:
    explicit FolderChecks(MadeFolders* made = nullptr) : made_(made) {}
    // ResolveExistingPart(folder), resolved once.
    const std::string& resolvedRoot(const std::string& folder);
    // Whether path, links followed, lies outside treeRoot (its links followed too). False when
    // path cannot be resolved (a missing file, a dangling link): opening it fails. noLink: the
    // path's last part is known to be no link.
    bool leadsOut(const std::string& path, const std::string& treeRoot, bool noLink = false);
    bool knownSafe(const std::string& key) const { return safe_.count(key) != 0; }
    // made: the run created the sub-folder, so it held no output of an earlier run.
    void markSafe(const std::string& key, bool made);
    // Whether the run (this thread or another) created the sub-folder of a key marked safe.
    bool madeByRun(const std::string& key);

private:
    std::unordered_map<std::string, std::string> roots_;
    PathResolver paths_;
    std::unordered_map<std::string, bool> safe_;
    MadeFolders* made_;
};

// Whether the file opened (stat at open: opened, its descriptor still open) is, after the
// conversion, still the file the path names (no rename put another in its place), unchanged
// since it was opened (no rewrite in place) and read to its end (bytesRead). One stat of the
// path tells both: while the descriptor is open its inode number cannot name another file.
bool UnchangedSinceOpen(const std::string& path, const struct stat& opened, uint64_t bytesRead);

} // namespace srctdy
