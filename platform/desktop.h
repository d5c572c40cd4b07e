#pragma once

#include <optional>
#include <string>
#include <vector>

namespace srctdy {

// A file-dialog filter: what the user sees and the patterns it stands for ("*.txt").
struct FileFilter {
    std::string description;
    std::vector<std::string> patterns;
};

// The desktop's shell: opening documents and web pages, and the folder and file pickers.
// Paths are file-system bytes; texts are UTF-8.
class Desktop {
public:
    virtual ~Desktop() = default;

    // Opens a document in the desktop's default application for it; false when nothing could
    // be started.
    virtual bool openDocument(const std::string& path) = 0;

    // Opens a web address in the desktop's browser; false when that failed.
    virtual bool openUrl(const std::string& url) = 0;

    // Lets the user pick a folder, starting at startFolder (empty: the picker's choice).
    // Empty when the user cancelled.
    virtual std::optional<std::string> pickFolder(const std::string& startFolder,
                                                  const std::string& title) = 0;

    // Lets the user pick an existing file. Empty when the user cancelled.
    virtual std::optional<std::string> pickFile(const std::string& startFolder,
                                                const std::string& title,
                                                const std::vector<FileFilter>& filters) = 0;
};

} // namespace srctdy
