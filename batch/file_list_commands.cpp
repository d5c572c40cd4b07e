#include "batch/file_list_commands.h"

#include "batch/file_list.h"
#include "batch/folder_navigation.h"
#include "platform/desktop.h"
#include "platform/prompter.h"
#include "platform/string_table.h"

namespace srctdy {

std::vector<std::string> RefreshFileList(const std::string& folderPath, std::string_view fileType) {
    if (folderPath.empty())
        return {};
    return ListFiles(folderPath, fileType);
}

bool OpenListedFile(const std::string& folderPath, const std::string& entry, Desktop& desktop,
                    Prompter& prompter) {
    if (folderPath.empty()) {
        prompter.tell(text::kNoFolder, PromptIcon::Stop);
        return false;
    }
    if (entry.empty())
        return false;
    if (desktop.openDocument(JoinPath(folderPath, entry)))
        return true;
    prompter.tell(text::kEditorFailed);
    return false;
}

} // namespace srctdy
