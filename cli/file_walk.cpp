#include "cli/file_walk.h"

#include "batch/file_list.h"
#include "engine/file_checks.h"
#include "platform/string_table.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <set>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace srctdy {

namespace {

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty())
        return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

bool MatchesAnyType(std::string_view name, const std::vector<std::string>& types) {
    return std::any_of(types.begin(), types.end(),
                       [&](const std::string& t) { return MatchesFileType(name, t); });
}

bool Excluded(const std::string& relative, const std::vector<std::string>& excludes) {
    return std::any_of(excludes.begin(), excludes.end(),
                       [&](const std::string& g) { return MatchesGlob(relative, g); });
}

class Expander {
public:
    explicit Expander(const WalkOptions& options) : options_(options) {}

    // noLink: the walk has seen that path's last part is no link.
    void addFile(const std::string& path, std::string outputFolder = {},
                 const std::string& root = {}, bool noLink = false) {
        // The same file named twice ("a.c", "./a.c", a link to it) is one file; hard links
        // are names of their own and are each converted.
        std::string resolved;
        const bool resolvedOk = path != "-" && (noLink ? paths_.resolveNoLink(path, resolved)
                                                       : paths_.resolve(path, resolved));
        bool isNew = resolvedOk ? seen_.insert(resolved).second : seenNames_.insert(path).second;
        if (isNew)
            files_.push_back(
                {path, std::move(outputFolder), options_.followLinks ? std::string() : root, {}});
    }

    // Something the walk could not look into: a failure of its own.
    void addError(const std::string& path, int error) {
        files_.push_back({path,
                          {},
                          {},
                          std::string(error == ENAMETOOLONG ? text::kCliPathTooLong
                                                            : text::kCliUnreadableFolder)});
    }

    void addFolder(const std::string& root) {
        if (!options_.recursive) {
            DIR* dir = ::opendir(root.c_str());
            if (!dir) {
                addError(root, errno);
                return;
            }
            ::closedir(dir);
            const FolderRules rules = rulesFor(root);
            std::set<std::string> names;
            std::vector<ListedFile> sorted;
            for (const std::string& type : rules.fileTypes)
                for (ListedFile& file : ListFileEntries(root, type))
                    if (!excluded(rules, "", file.name) && names.insert(file.name).second)
                        sorted.push_back(std::move(file));
            std::sort(sorted.begin(), sorted.end(),
                      [](const auto& a, const auto& b) { return FileNameLess(a.name, b.name); });
            for (const ListedFile& file : sorted)
                addFile(JoinPath(root, file.name), {}, root, file.noLink);
            return;
        }
        walk(root, "");
    }

    std::vector<FileEntry> take() { return std::move(files_); }

private:
    FolderRules rulesFor(const std::string& folder) const {
        if (options_.rulesFor)
            return options_.rulesFor(folder);
        return {options_.fileTypes, options_.excludes, std::nullopt};
    }

    // Whether the entry name of the folder at relative (to the folder argument) is skipped.
    static bool excluded(const FolderRules& rules, const std::string& relative,
                         const std::string& name) {
        return Excluded(JoinPath(rules.excludeBase.value_or(relative), name), rules.excludes);
    }

    void walk(const std::string& root, const std::string& relative) {
        const std::string folder = relative.empty() ? root : JoinPath(root, relative);
        const FolderRules rules = rulesFor(folder);
        std::vector<std::string> folders;
        std::vector<ListedFile> files;
        DIR* dir = ::opendir(folder.c_str());
        if (!dir) {
            addError(folder, errno);
            return;
        }
        while (const dirent* entry = ::readdir(dir)) {
            std::string name = entry->d_name;
            if (name == "." || name == "..")
                continue;
            std::string path = JoinPath(folder, name);
            struct stat st;
            if (path.size() >= PATH_MAX) {
                addError(path, ENAMETOOLONG);
                continue;
            }
            if (::lstat(path.c_str(), &st) != 0) {
                if (errno != ENOENT) // gone meanwhile: nothing to convert
                    addError(path, errno);
                continue;
            }
            const bool link = S_ISLNK(st.st_mode);
            if (S_ISDIR(st.st_mode)) {
                folders.push_back(name); // links to folders are not followed
            } else if (MatchesAnyType(name, rules.fileTypes) &&
                       (!link || ::stat(path.c_str(), &st) == 0) &&
                       S_ISREG(st.st_mode)) { // a link counts as what it leads to
                files.push_back({name, !link});
            }
        }
        ::closedir(dir);
        std::sort(files.begin(), files.end(),
                  [](const auto& a, const auto& b) { return FileNameLess(a.name, b.name); });
        std::sort(folders.begin(), folders.end(),
                  [](const auto& a, const auto& b) { return FileNameLess(a, b); });
        // The tree is mirrored under the folder argument's sub-folder.
        const std::string output = JoinPath(JoinPath(root, options_.subFolderName), relative);
        for (const ListedFile& file : files) {
            if (!excluded(rules, relative, file.name))
                addFile(JoinPath(folder, file.name), output, root, file.noLink);
        }
        for (const std::string& name : folders) {
            std::string childRelative = JoinPath(relative, name);
            // Our own output is never walked into, wherever it stands.
            if (name == options_.subFolderName || childRelative == options_.subFolderName ||
                excluded(rules, relative, name))
                continue;
            walk(root, childRelative);
        }
    }

    const WalkOptions& options_;
    std::vector<FileEntry> files_;
    std::set<std::string> seen_;      // resolved paths
    std::set<std::string> seenNames_; // "-" and files that cannot be looked at
    PathResolver paths_;
};

} // namespace

bool MatchesGlob(std::string_view path, std::string_view glob, size_t* steps) {
    // match[g][p]: whether glob from g on matches path from p on, filled from the ends; each
    // cell looks at a fixed number of others, so the work is the size of the table.
    const size_t n = path.size(), m = glob.size(), width = n + 1;
    std::vector<char> match((m + 1) * width, 0);
    auto at = [&](size_t g, size_t p) -> char& { return match[g * width + p]; };
    at(m, n) = 1;
    size_t count = 0;
    for (size_t g = m; g-- > 0;) {
        const bool twoStars = glob[g] == '*' && g + 1 < m && glob[g + 1] == '*';
        const bool noFolder = twoStars && g + 2 < m && glob[g + 2] == '/';
        bool spans = false; // "**" spans the path from p on to where the rest matches
        for (size_t p = n + 1; p-- > 0;) {
            ++count;
            const bool more = p < n;
            char& cell = at(g, p);
            if (twoStars) { // "**" spans folders; "**/" also stands for no folder at all
                spans = spans || at(g + 2, p);
                cell = spans || (noFolder && at(g + 3, p));
            } else if (glob[g] == '*') {
                cell = at(g + 1, p) || (more && path[p] != '/' && at(g, p + 1));
            } else if (glob[g] == '?') {
                cell = more && path[p] != '/' && at(g + 1, p + 1);
            } else {
                cell = more && glob[g] == path[p] && at(g + 1, p + 1);
            }
        }
    }
    if (steps)
        *steps += count;
    return at(0, 0);
}

std::vector<FileEntry> ExpandPaths(const std::vector<std::string>& paths,
                                   const WalkOptions& options) {
    Expander expander(options);
    for (const std::string& path : paths) {
        struct stat st;
        if (path != "-" && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            expander.addFolder(path);
        else
            expander.addFile(path); // a missing file is reported when it is converted
    }
    return expander.take();
}

} // namespace srctdy
