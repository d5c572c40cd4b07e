#include "batch/folder_navigation.h"

#include "platform/desktop.h"
#include "platform/prompter.h"
#include "platform/string_table.h"

#include <sys/stat.h>

#include <vector>

namespace srctdy {

namespace {

bool IsFolder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

std::string JoinPath(std::string_view folder, std::string_view name) {
    std::string out(folder);
    if (!out.empty() && out.back() != '/')
        out += '/';
    out += name;
    return out;
}

std::string NormalizePath(std::string_view path) {
    if (path.empty())
        return {};
    const bool absolute = path.front() == '/';
    std::vector<std::string_view> parts;
    size_t at = 0;
    while (at <= path.size()) {
        size_t end = path.find('/', at);
        if (end == std::string_view::npos)
            end = path.size();
        std::string_view part = path.substr(at, end - at);
        if (part == "..") {
            if (!parts.empty() && parts.back() != "..")
                parts.pop_back();
            else if (!absolute)
                parts.push_back(part);
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        at = end + 1;
    }
    std::string out = absolute ? "/" : "";
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            out += '/';
        out += parts[i];
    }
    return out.empty() ? "." : out;
}

std::string BrowseFolder(const std::string& folderPath, Desktop& desktop) {
    std::optional<std::string> chosen =
        desktop.pickFolder(folderPath, std::string(text::kBrowseFolderTitle));
    if (!chosen || chosen->empty())
        return folderPath;
    return *chosen;
}

std::string FolderUp(const std::string& folderPath) {
    if (folderPath.empty())
        return folderPath;
    return NormalizePath(JoinPath(folderPath, ".."));
}

std::optional<std::string> FolderDown(const std::string& folderPath,
                                      const std::string& subFolderName, Prompter& prompter) {
    std::string target;
    if (!subFolderName.empty() && subFolderName.front() == '/')
        target = subFolderName;
    else if (!folderPath.empty() && !subFolderName.empty())
        target = JoinPath(folderPath, subFolderName);
    if (target.empty() || !IsFolder(target)) {
        prompter.tell(text::kNoSubFolder);
        return std::nullopt;
    }
    return NormalizePath(target);
}

} // namespace srctdy
