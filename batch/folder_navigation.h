#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace srctdy {

class Desktop;
class Prompter;

// The folder commands of the main dialog. They compute the new folder from the old one and
// never look at the process's current directory; the caller then makes the result current
// (FollowFolder in app/current_folder.h) and refills the list. Paths use "/".

// folder and name joined by one "/" (none added when folder already ends in "/").
std::string JoinPath(std::string_view folder, std::string_view name);

// Lets the user pick a folder, starting at folderPath. The chosen folder, or folderPath
// unchanged when the user cancelled or the picker gave no path.
std::string BrowseFolder(const std::string& folderPath, Desktop& desktop);

// The folder above folderPath, worked out on the text: "/a/b" gives "/a", "/" stays "/".
// Works whether or not the folder still exists, so repeated clicks climb out of a folder
// that has gone. An empty folderPath (nothing chosen) stays empty.
std::string FolderUp(const std::string& folderPath);

// The folder subFolderName below folderPath ("sub/dir" goes two levels in one step; a name
// beginning with "/" is taken as it is). When it is not an existing folder, shows the
// missing-sub-folder message and returns nothing: the caller changes nothing.
std::optional<std::string> FolderDown(const std::string& folderPath,
                                      const std::string& subFolderName, Prompter& prompter);

// path with repeated "/", "." segments and trailing "/" removed and ".." segments resolved
// against the text before them ("/a/b/../c" gives "/a/c"; ".." above "/" stays at "/").
std::string NormalizePath(std::string_view path);

} // namespace srctdy
