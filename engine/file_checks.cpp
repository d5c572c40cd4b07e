#include "engine/file_checks.h"

#include <climits>
#include <cstdlib>
#include <string_view>

namespace srctdy {

namespace {

// Whether two stats show the same file with the same contents, as far as a stat can tell.
bool SameFileState(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
           a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

} // namespace

bool IsWithin(const std::string& resolved, const std::string& base) {
    if (base == "/")
        return true;
    return resolved.compare(0, base.size(), base) == 0 &&
           (resolved.size() == base.size() || resolved[base.size()] == '/');
}

std::string ResolveExistingPart(std::string folder) {
    char resolved[PATH_MAX];
    for (;;) {
        if (::realpath(folder.c_str(), resolved))
            return resolved;
        if (folder == "." || folder == "/")
            return folder; // nothing of it exists: compare it as it is
        const size_t slash = folder.find_last_of('/');
        if (slash == std::string::npos)
            folder = ".";
        else if (slash == 0)
            folder = "/";
        else
            folder.resize(slash);
    }
}

const std::string& FolderChecks::resolvedRoot(const std::string& folder) {
    auto found = roots_.find(folder);
    if (found == roots_.end())
        found = roots_.emplace(folder, ResolveExistingPart(folder)).first;
    return found->second;
}

bool PathResolver::resolve(const std::string& path, std::string& resolved) {
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && !S_ISLNK(st.st_mode) && throughFolder(path, resolved))
        return true;
    char real[PATH_MAX];
    if (!::realpath(path.c_str(), real))
        return false;
    resolved = real;
    return true;
}

bool PathResolver::resolveNoLink(const std::string& path, std::string& resolved) {
    return throughFolder(path, resolved) || resolve(path, resolved);
}

bool PathResolver::throughFolder(const std::string& path, std::string& resolved) {
    const size_t slash = path.find_last_of('/');
    const std::string_view name = slash == std::string::npos
                                      ? std::string_view(path)
                                      : std::string_view(path).substr(slash + 1);
    if (name.empty() || name == "." || name == "..")
        return false;
    const std::string folder = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : path.substr(0, slash);
    auto found = folders_.find(folder);
    if (found == folders_.end()) {
        char real[PATH_MAX];
        if (!::realpath(folder.c_str(), real))
            return false;
        found = folders_.emplace(folder, real).first;
    }
    resolved = found->second;
    if (resolved != "/")
        resolved += '/';
    resolved += name;
    return true;
}

bool FolderChecks::leadsOut(const std::string& path, const std::string& treeRoot, bool noLink) {
    std::string resolved;
    return (noLink ? paths_.resolveNoLink(path, resolved) : paths_.resolve(path, resolved)) &&
           !IsWithin(resolved, resolvedRoot(treeRoot));
}

void MadeFolders::add(const std::string& key) {
    std::lock_guard lock(mutex_);
    keys_.insert(key);
}

bool MadeFolders::has(const std::string& key) const {
    std::lock_guard lock(mutex_);
    return keys_.count(key) != 0;
}

void FolderChecks::markSafe(const std::string& key, bool made) {
    safe_.emplace(key, made);
    if (made && made_)
        made_->add(key);
}

bool FolderChecks::madeByRun(const std::string& key) {
    const auto found = safe_.find(key);
    if (found == safe_.end())
        return false;
    // Another thread may have made it since this one found it there; once known, for good.
    if (!found->second && made_ && made_->has(key))
        found->second = true;
    return found->second;
}

bool UnchangedSinceOpen(const std::string& path, const struct stat& opened, uint64_t bytesRead) {
    struct stat named;
    return ::stat(path.c_str(), &named) == 0 && SameFileState(opened, named) &&
           bytesRead == static_cast<uint64_t>(opened.st_size);
}

} // namespace srctdy
