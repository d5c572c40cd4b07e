#include "cli/rename_command.h"

#include "batch/folder_navigation.h"
#include "cli/file_walk.h"
#include "cli/message_line.h"
#include "platform/prompter.h"

#include <utility>

namespace srctdy {

namespace {

// Writes each message to err after the path of the file it concerns; never stops a run.
class PrefixingPrompter : public Prompter {
public:
    explicit PrefixingPrompter(std::ostream& err) : err_(err) {}
    void setPath(std::string path) { path_ = std::move(path); }
    PromptAnswer ask(std::string_view text, PromptIcon, PromptButtons buttons) override {
        WriteMessageLine(err_, path_, text);
        return buttons == PromptButtons::Ok ? PromptAnswer::Ok : PromptAnswer::No;
    }

private:
    std::ostream& err_;
    std::string path_;
};

struct FileInFolder {
    std::string folder; // empty: name is a path of its own
    std::string name;
};

// A path that is not a folder, split into its folder and its bare name.
FileInFolder SplitPath(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {"", path};
    return {path.substr(0, slash == 0 ? 1 : slash), path.substr(slash + 1)};
}

} // namespace

int RunRenameCommand(RenameKind kind, const std::vector<std::string>& paths,
                     const std::vector<std::string>& typePatterns, std::ostream& err) {
    PrefixingPrompter prompter(err);
    bool anyFailed = false;
    WalkOptions walk;
    walk.fileTypes = typePatterns;
    // The same files as a conversion of these paths would take; a missing one is a file
    // whose rename is refused.
    for (const FileEntry& entry : ExpandPaths(paths, walk)) {
        const FileInFolder file = SplitPath(entry.path);
        prompter.setPath(JoinPath(file.folder, file.name));
        RenameOutcome outcome = RenameFile(kind, file.folder, file.name, false, prompter);
        if (outcome == RenameOutcome::Failed || outcome == RenameOutcome::Stop)
            anyFailed = true;
    }
    return anyFailed ? 1 : 0;
}

} // namespace srctdy
