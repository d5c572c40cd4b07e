#include "batch/file_list.h"

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace srctdy {

namespace {

unsigned char Fold(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
}

// Classic wildcard match with backtracking to the last "*"; linear in practice.
bool WildcardMatch(std::string_view name, std::string_view pattern) {
    size_t n = 0, p = 0;
    size_t starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || Fold(pattern[p]) == Fold(name[n]))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

} // namespace

bool MatchesFileType(std::string_view name, std::string_view pattern) {
    if (WildcardMatch(name, pattern))
        return true;
    // As on the original platform, a trailing ".*" also matches names without an extension,
    // so "*.*" matches every name.
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*")
        return WildcardMatch(name, pattern.substr(0, pattern.size() - 2));
    return false;
}

bool FileNameLess(std::string_view a, std::string_view b) {
    size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        unsigned char x = Fold(a[i]), y = Fold(b[i]);
        if (x != y)
            return x < y;
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b;
}

std::vector<ListedFile> ListFileEntries(const std::string& folder, std::string_view pattern) {
    std::vector<ListedFile> files;
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return files;
    int dirFd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        std::string_view name = entry->d_name;
        if (name == "." || name == ".." || !MatchesFileType(name, pattern))
            continue;
        // Only regular files (links to them included): folders are never listed, and a
        // pipe or device would block or make no sense as a source file.
        bool regular = entry->d_type == DT_REG;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            struct stat st;
            regular = ::fstatat(dirFd, entry->d_name, &st, 0) == 0 && S_ISREG(st.st_mode);
        }
        if (regular)
            files.push_back({std::string(name), entry->d_type == DT_REG});
    }
    ::closedir(dir);
    std::sort(files.begin(), files.end(), [](const ListedFile& a, const ListedFile& b) {
        return FileNameLess(a.name, b.name);
    });
    return files;
}

std::vector<std::string> ListFiles(const std::string& folder, std::string_view pattern) {
    std::vector<std::string> names;
    for (ListedFile& file : ListFileEntries(folder, pattern))
        names.push_back(std::move(file.name));
    return names;
}

} // namespace srctdy
