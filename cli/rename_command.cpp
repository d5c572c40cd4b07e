#include "cli/rename_command.h"

#include "batch/file_list.h"
#include "batch/folder_navigation.h"
#include "platform/prompter.h"

#include <sys/stat.h>

#include <set>
#include <utility>

namespace srctdy {

namespace {

// Writes each message to err after the path of the file it concerns; never stops a run.
class PrefixingPrompter : public Prompter {
public:
    explicit PrefixingPrompter(std::ostream& err) : err_(err) {}
    void setPath(std::string path) { path_ = std::move(path); }
    PromptAnswer ask(std::string_view text, PromptIcon, PromptButtons buttons) override {
        std::string line(text);
        for (char& c : line)
            if (c == '\n')
                c = ' ';
        err_ << path_ << ": " << line << '\n';
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

bool MatchesAny(std::string_view name, const std::vector<std::string>& patterns) {
    for (const std::string& pattern : patterns)
        if (MatchesFileType(name, pattern))
            return true;
    return false;
}

std::vector<FileInFolder> ExpandRenamePaths(const std::vector<std::string>& paths,
                                            const std::vector<std::string>& typePatterns) {
    std::vector<FileInFolder> files;
    std::set<std::pair<dev_t, ino_t>> seen;
    std::set<std::string> seenMissing;
    auto add = [&](FileInFolder file) {
        struct stat st;
        const std::string path = JoinPath(file.folder, file.name);
        if (stat(path.c_str(), &st) == 0 ? !seen.insert({st.st_dev, st.st_ino}).second
                                         : !seenMissing.insert(path).second)
            return;
        files.push_back(std::move(file));
    };
    for (const std::string& path : paths) {
        struct stat st;
        if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            for (std::string& name : ListFiles(path, "*"))
                if (MatchesAny(name, typePatterns))
                    add({path, std::move(name)});
        } else {
            add(SplitPath(path)); // a missing file is one whose rename is refused
        }
    }
    return files;
}

} // namespace

int RunRenameCommand(RenameKind kind, const std::vector<std::string>& paths,
                     const std::vector<std::string>& typePatterns, std::ostream& err) {
    PrefixingPrompter prompter(err);
    bool anyFailed = false;
    for (const FileInFolder& file : ExpandRenamePaths(paths, typePatterns)) {
        prompter.setPath(JoinPath(file.folder, file.name));
        RenameOutcome outcome = RenameFile(kind, file.folder, file.name, false, prompter);
        if (outcome == RenameOutcome::Failed || outcome == RenameOutcome::Stop)
            anyFailed = true;
    }
    return anyFailed ? 1 : 0;
}

} // namespace srctdy
