#include "batch/file_renaming.h"

#include "batch/file_list.h"
#include "batch/folder_navigation.h"
#include "batch/run_control.h"
#include "engine/cp932.h"
#include "engine/utf8.h"
#include "platform/prompter.h"
#include "platform/string_table.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace srctdy {

namespace {

// Moves from to to, failing when to exists: rename(2) would silently replace it. Where the
// file system cannot refuse (EINVAL), a hard link does the refusing for it.
bool RenameNoReplace(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    if (link(from.c_str(), to.c_str()) != 0)
        return false;
    if (unlink(from.c_str()) != 0) {
        unlink(to.c_str());
        return false;
    }
    return true;
}

char MapLetter(char c, bool upper) {
    if (upper && c >= 'a' && c <= 'z')
        return static_cast<char>(c - 'a' + 'A');
    if (!upper && c >= 'A' && c <= 'Z')
        return static_cast<char>(c - 'A' + 'a');
    return c;
}

bool IsCaseKind(RenameKind kind) {
    return kind == RenameKind::Upper || kind == RenameKind::Lower;
}

RenameOutcome Report(std::string_view message, std::string_view stopMessage,
                     const std::string& name, bool askToStop, Prompter& prompter) {
    if (!askToStop) {
        prompter.tell(FormatText(message, name));
        return RenameOutcome::Failed;
    }
    PromptAnswer answer =
        prompter.ask(FormatText(stopMessage, name), PromptIcon::Exclamation, PromptButtons::YesNo);
    return answer == PromptAnswer::Yes ? RenameOutcome::Stop : RenameOutcome::Failed;
}

RenameOutcome RenameCase(bool upper, const std::string& folder, const std::string& name,
                         bool askToStop, Prompter& prompter, const RenameCalls& calls) {
    const std::string newName = MapNameCase(name, upper);
    if (newName == name)
        return RenameOutcome::Renamed; // already in the wanted case: left alone
    const std::string oldPath = JoinPath(folder, name);
    const std::string newPath = JoinPath(folder, newName);
    if (calls.renameNoReplace(oldPath, newPath))
        return RenameOutcome::Renamed;
    // Only a folder that ignores letter case finds the new name taken by the file itself;
    // there the rename goes through the swap name. Any other failure leaves the file alone.
    if (errno != EEXIST || !calls.sameFile(oldPath, newPath))
        return Report(text::kRenameFailed, text::kRenameFailedStop, name, askToStop, prompter);
    const std::string swapPath = JoinPath(folder, kCaseSwapName);
    if (!calls.renameNoReplace(oldPath, swapPath))
        return Report(text::kRenameFailed, text::kRenameFailedStop, name, askToStop, prompter);
    if (calls.renameNoReplace(swapPath, newPath))
        return RenameOutcome::Renamed;
    // The new name was taken meanwhile: put the file back.
    if (calls.renameNoReplace(swapPath, oldPath))
        return Report(text::kRenameRestored, text::kRenameRestoredStop, name, askToStop, prompter);
    return Report(text::kRenameStranded, text::kRenameStrandedStop, name, askToStop, prompter);
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat x, y;
    return ::stat(a.c_str(), &x) == 0 && ::stat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev &&
           x.st_ino == y.st_ino;
}

} // namespace

std::string MapNameCase(std::string_view name, bool upper) {
    std::string out(name);
    const bool isUtf8 = utf8::IsValid(name);
    for (size_t i = 0; i < out.size(); ++i) {
        if (!isUtf8 && cp932::IsLeadByte(static_cast<unsigned char>(out[i]))) {
            ++i; // the second byte belongs to the character
            continue;
        }
        out[i] = MapLetter(out[i], upper);
    }
    return out;
}

std::optional<std::string> ExtensionTarget(std::string_view name, RenameKind kind) {
    std::string_view from, to;
    if (kind == RenameKind::CToCpp) {
        from = ".c";
        to = ".cpp";
    } else if (kind == RenameKind::CppToC) {
        from = ".cpp";
        to = ".c";
    } else {
        return std::nullopt;
    }
    // A backslash is an ordinary byte of a name here, not a folder separator.
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return std::nullopt;
    std::string extension(name.substr(dot));
    for (char& c : extension)
        c = MapLetter(c, false);
    if (extension != from)
        return std::nullopt;
    return std::string(name.substr(0, dot)) + std::string(to);
}

const RenameCalls& RealRenameCalls() {
    static const RenameCalls calls{RenameNoReplace, SameFile};
    return calls;
}

RenameOutcome RenameFile(RenameKind kind, const std::string& folder, const std::string& name,
                         bool askToStop, Prompter& prompter, const RenameCalls& calls) {
    if (IsCaseKind(kind))
        return RenameCase(kind == RenameKind::Upper, folder, name, askToStop, prompter, calls);
    std::optional<std::string> target = ExtensionTarget(name, kind);
    if (!target)
        return RenameOutcome::PassedOver;
    if (calls.renameNoReplace(JoinPath(folder, name), JoinPath(folder, *target)))
        return RenameOutcome::Renamed;
    prompter.tell(text::kRenameError);
    return RenameOutcome::Failed;
}

RenameResult RenameListedFiles(RenameKind kind, const RenameRequest& request, Prompter& prompter,
                               const RunControl* control, const RenameCalls& calls) {
    if (request.folderPath.empty()) {
        prompter.tell(text::kNoFolder, PromptIcon::Stop);
        return {};
    }
    if (request.entries.empty()) {
        prompter.tell(text::kNoFiles);
        return {};
    }
    const int selected = request.selectedIndex;
    if (request.allFiles) {
        const size_t count = request.entries.size();
        for (size_t i = 0; i < count; ++i) {
            if (control != nullptr && control->cancelled())
                break;
            if (control != nullptr)
                control->report(i, count, request.entries[i]);
            if (RenameFile(kind, request.folderPath, request.entries[i], true, prompter, calls) ==
                RenameOutcome::Stop)
                break;
        }
    } else if (selected < 0 || static_cast<size_t>(selected) >= request.entries.size() ||
               request.entries[static_cast<size_t>(selected)].empty()) {
        prompter.tell(text::kNoSelection);
    } else {
        RenameFile(kind, request.folderPath, request.entries[static_cast<size_t>(selected)], false,
                   prompter, calls);
    }

    RenameResult result;
    result.refreshed = true;
    result.entries = ListFiles(request.folderPath, request.fileType);
    if (IsCaseKind(kind) && selected >= 0 && static_cast<size_t>(selected) < result.entries.size())
        result.selectedIndex = selected;
    return result;
}

} // namespace srctdy
