#include "batch/batch_run.h"

#include "batch/folder_navigation.h"
#include "batch/run_control.h"
#include "batch/undo_store.h"
#include "engine/convert_file.h"
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

    int convert(const std::string& path, bool overwrite, const FormatOptions& options,
                const ConvertSettings& settings) {
        bool kept = undo_ != nullptr && undo_->keep(path);
        if (undo_ != nullptr && !kept && !goOnWithout())
            return -1;
        ConvertExtras extras;
        int result = ConvertFile(path, overwrite, options, settings, prompter_, &extras);
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
        int result = keeper.convert(JoinPath(request.folderPath, request.entries[i]),
                                    request.overwrite, options, settings);
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
    int result = keeper.convert(JoinPath(request.folderPath, request.entries[index]),
                                request.overwrite, options, settings);
    SetBusy(busy, false);
    if (result == kStopped)
        return BatchOutcome::Declined;
    if (result != kConverted)
        return BatchOutcome::Failed;
    prompter.tell(text::kSelectedConverted);
    return BatchOutcome::Converted;
}

} // namespace

BatchOutcome RunBatch(const BatchRequest& request, const FormatOptions& options,
                      const ConvertSettings& settings, Prompter& prompter, const BusyHook& busy,
                      const RunControl* control, UndoStore* undo) {
    if (request.folderPath.empty()) {
        prompter.tell(text::kNoFolder, PromptIcon::Stop);
        return BatchOutcome::NoFolder;
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
