#include "batch/batch_run.h"

#include "batch/folder_navigation.h"
#include "engine/convert_file.h"
#include "platform/prompter.h"
#include "platform/string_table.h"

namespace srctdy {

namespace {

// Converts one entry of the chosen folder, which links may not lead out of.
int ConvertEntry(const BatchRequest& request, const std::string& entry,
                 const FormatOptions& options, const ConvertSettings& settings,
                 Prompter& prompter) {
    ConvertExtras extras;
    extras.treeRoot = request.folderPath;
    return ConvertFile(JoinPath(request.folderPath, entry), request.overwrite, options, settings,
                       prompter, &extras);
}

void SetBusy(const BusyHook& busy, bool on) {
    if (busy)
        busy(on);
}

BatchOutcome RunAll(const BatchRequest& request, const FormatOptions& options,
                    const ConvertSettings& settings, Prompter& prompter, const BusyHook& busy) {
    if (request.fileType == "*.*" && prompter.ask(text::kAllFilesQuestion, PromptIcon::Question,
                                                  PromptButtons::YesNo) != PromptAnswer::Yes)
        return BatchOutcome::Declined;

    SetBusy(busy, true);
    bool anyFailed = false;
    for (const std::string& entry : request.entries) {
        if (ConvertEntry(request, entry, options, settings, prompter) != kConverted)
            anyFailed = true;
    }
    BatchOutcome outcome = BatchOutcome::Converted;
    if (request.entries.empty()) {
        prompter.tell(text::kNoFiles);
        outcome = BatchOutcome::NoFiles;
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
                         const ConvertSettings& settings, Prompter& prompter,
                         const BusyHook& busy) {
    const int index = request.selectedIndex;
    if (index < 0 || static_cast<size_t>(index) >= request.entries.size() ||
        request.entries[static_cast<size_t>(index)].empty()) {
        prompter.tell(text::kNoSelection);
        return BatchOutcome::NoSelection;
    }
    SetBusy(busy, true);
    int result = ConvertEntry(request, request.entries[static_cast<size_t>(index)], options,
                              settings, prompter);
    SetBusy(busy, false);
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
                      const ConvertSettings& settings, Prompter& prompter, const BusyHook& busy) {
    if (request.folderPath.empty()) {
        prompter.tell(text::kNoFolder, PromptIcon::Stop);
        return BatchOutcome::NoFolder;
    }
    if (!request.overwrite && !IsValidSubFolderName(settings.subFolderName)) {
        prompter.tell(settings.subFolderName.empty() ? text::kEmptySubFolderName
                                                     : text::kBadSubFolderName);
        return BatchOutcome::BadSubFolder;
    }
    if (request.allFiles)
        return RunAll(request, options, settings, prompter, busy);
    return RunSelected(request, options, settings, prompter, busy);
}

} // namespace srctdy
