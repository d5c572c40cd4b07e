#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace srctdy {

class Desktop;
class Prompter;

// The file list's own commands in the main dialog.

// The entries for folderPath and fileType (see ListFiles). Empty while no folder is chosen:
// an empty folder path never stands for the current directory.
std::vector<std::string> RefreshFileList(const std::string& folderPath, std::string_view fileType);

// The double-click: opens entry (a name in folderPath) in the desktop's application for it.
// Without a folder, shows the stop message; without an entry (nothing selected), does
// nothing; when nothing could be started, shows the editor message. Returns whether the file
// was opened.
bool OpenListedFile(const std::string& folderPath, const std::string& entry, Desktop& desktop,
                    Prompter& prompter);

} // namespace srctdy
