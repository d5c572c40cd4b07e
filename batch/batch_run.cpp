#include "batch/batch_run.h"

#include "batch/folder_navigation.h"
#include "batch/run_control.h"
#include "batch/undo_store.h"
#include "engine/convert_file.h"
#include "engine/file_checks.h"
#include "platform/prompter.h"
#include "platform/string_table.h"

namespace srctdy {

namespace {

void SetBusy(const BusyHook& busy, bool on) {
    if (busy)
        busy(on);
}

// Keeps the old content of each file an overwrite run replaces. The user hears of a store
// that cannot be written once per run, and may stop there.
class Keeper {
public:
    Keeper(UndoStore* undo, bool overwrite, Prompter& prompter)
        : undo_(overwrite ? undo : nullptr), prompter_(prompter) {}

    // False when the user chose not to go on without undo.
    bool begin() { return undo_ == nullptr || undo_->beginRun() || goOnWithout(); }

    // Converts one entry of the chosen folder, which links may not lead out of.
    int convert(const BatchRequest& request, const std::string& entry, const FormatOptions& options,
                const ConvertSettings& settings) {
        const std::string path = JoinPath(request.folderPath, entry);
        bool kept = undo_ != nullptr && undo_->keep(path);
        if (undo_ != nullptr && !kept && !goOnWithout())
            return -1;
        ConvertExtras extras;
        extras.treeRoot = request.folderPath;
        extras.folderChecks = &folderChecks_;
        int result = ConvertFile(path, request.overwrite, options, settings, prompter_, &extras);
        if (kept)
            undo_->settle(result == kConverted && !extras.unchanged);
        return result;
    }

private:
    bool goOnWithout() {
        undo_ = nullptr;
        if (asked_)
            return true;
        asked_ = true;
        return prompter_.ask(text::kUndoUnavailable, PromptIcon::Question, PromptButtons::YesNo) ==
               PromptAnswer::Yes;
    }

    UndoStore* undo_;
    Prompter& prompter_;
    FolderChecks folderChecks_; // for this run's files
    bool asked_ = false;
};

constexpr int kStopped = -1;

BatchOutcome RunAll(const BatchRequest& request, const FormatOptions& options,
                    const ConvertSettings& settings, Prompter& prompter, const BusyHook& busy,
                    const RunControl& control, Keeper& keeper) {
    if (request.fileType == "*.*" && prompter.ask(text::kAllFilesQuestion, PromptIcon::Question,
                                                  PromptButtons::YesNo) != PromptAnswer::Yes)
        return BatchOutcome::Declined;
    if (!request.entries.empty() && !keeper.begin())
        return BatchOutcome::Declined;

    SetBusy(busy, true);
    bool anyFailed = false;
    bool stopped = false;
    for (size_t i = 0; i < request.entries.size(); ++i) {
        if (control.cancelled()) {
            stopped = true;
            break;
        }
        control.report(i, request.entries.size(), request.entries[i]);
        int result = keeper.convert(request, request.entries[i], options, settings);
        if (result == kStopped) {
            stopped = true;
            break;
        }
        if (result != kConverted)
            anyFailed = true;
    }
    BatchOutcome outcome = BatchOutcome::Converted;
    if (request.entries.empty()) {
        prompter.tell(text::kNoFiles);
        outcome = BatchOutcome::NoFiles;
    } else if (stopped) {
        prompter.tell(text::kRunCancelled);
        outcome = BatchOutcome::Cancelled;
    } else if (anyFailed) {
        // Each failure has had its own message already.
        outcome = BatchOutcome::Failed;
    } else {
        prompter.tell(text::kAllConverted);
    }
    SetBusy(busy, false);
    return outcome;
}

BatchOutcome RunSelected(const BatchRequest& request, const FormatOptions& options,
                         const ConvertSettings& settings, Prompter& prompter, const BusyHook& busy,
                         const RunControl& control, Keeper& keeper) {
    const int index = request.selectedIndex;
    if (index < 0 || static_cast<size_t>(index) >= request.entries.size() ||
        request.entries[static_cast<size_t>(index)].empty()) {
        prompter.tell(text::kNoSelection);
        return BatchOutcome::NoSelection;
    }
    if (!keeper.begin())
        return BatchOutcome::Declined;
    SetBusy(busy, true);
    control.report(0, 1, request.entries[index]);
    int result = keeper.convert(request, request.entries[index], options, settings);
    SetBusy(busy, false);
    if (result == kStopped)
        return BatchOutcome::Declined;
    if (result != kConverted)
        return BatchOutcome::Failed;
    prompter.tell(text::kSelectedConverted);
    return BatchOutcome::Converted;
}

} // namespace

bool IsValidSubFolderName(std::string_view name) {
    if (name.empty() || name.front() == '/')
        return false;
    for (;;) {
        const size_t slash = name.find('/');
        const std::string_view part = name.substr(0, slash);
        if (part.empty() || part == "." || part == "..")
            return false;
        if (slash == std::string_view::npos)
            return true;
        name.remove_prefix(slash + 1);
    }
}

BatchOutcome RunBatch(const BatchRequest& request, const FormatOptions& options,
                      const ConvertSettings& settings, Prompter& prompter, const BusyHook& busy,
                      const RunControl* control, UndoStore* undo) {
    if (request.folderPath.empty()) {
        prompter.tell(text::kNoFolder, PromptIcon::Stop);
        return BatchOutcome::NoFolder;
    }
    if (!request.overwrite && !IsValidSubFolderName(settings.subFolderName)) {
        prompter.tell(settings.subFolderName.empty() ? text::kEmptySubFolderName
                                                     : text::kBadSubFolderName);
        return BatchOutcome::BadSubFolder;
    }
    const RunControl none;
    Keeper keeper(undo, request.overwrite, prompter);
    if (request.allFiles)
        return RunAll(request, options, settings, prompter, busy, control ? *control : none,
                      keeper);
    return RunSelected(request, options, settings, prompter, busy, control ? *control : none,
                       keeper);
}

} // namespace srctdy
