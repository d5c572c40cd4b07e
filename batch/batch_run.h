#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace srctdy {

class Prompter;
class UndoStore;
struct FormatOptions;
struct ConvertSettings;
struct RunControl;

// What the start button reads from the main dialog.
struct BatchRequest {
    std::string folderPath;           // the chosen folder; empty when none is chosen
    std::string fileType;             // the list's pattern; "*.*" asks before an all-files run
    std::vector<std::string> entries; // the file list's names, in list order
    int selectedIndex = -1;           // the selected entry, -1 for none
    bool allFiles = false;            // "all files" rather than "selected file only"
    bool overwrite = false;           // overwrite the files rather than write the sub-folder
};

// Whether name can name the output sub-folder: a relative path of one or more components
// separated by "/", none of them empty, "." or "..", so that the output stays below each
// file's folder.
bool IsValidSubFolderName(std::string_view name);

// How a run ended.
enum class BatchOutcome {
    NoFolder,     // no folder chosen: nothing converted
    BadSubFolder, // sub-folder output with a name IsValidSubFolderName refuses: nothing done
    Declined,     // the user answered No to the "*.*" question: nothing converted
    NoFiles,      // all files, but the list is empty
    NoSelection,  // selected file only, but nothing is selected
    Converted,    // every chosen file converted
    Failed,       // one or more files failed (each reported by the conversion); others converted
    Cancelled,    // stopped through the run control after a whole file; the rest untouched
};

// Called with true before the first conversion and with false when the run is over: the
// dialog shows its wait cursor in between. In an all-files run the final message is shown
// before the false call; after a single file, the false call comes before the message.
using BusyHook = std::function<void(bool busy)>;

// The start button: converts the selected entry or every entry of folderPath with
// ConvertFile, in list order, and shows the outcome through prompter. Files that links lead
// out of folderPath, and sub-folder output that a link leads out of it, fail. A failed file never
// stops the run. The list is not refilled afterwards (the names are unchanged and the
// sub-folder is no list entry). busy may be empty. control reports each file and may stop
// the run between files. With undo, an overwrite run keeps what it replaces there; when that
// cannot be done the user is asked once whether to go on without it.
BatchOutcome RunBatch(const BatchRequest& request, const FormatOptions& options,
                      const ConvertSettings& settings, Prompter& prompter,
                      const BusyHook& busy = {}, const RunControl* control = nullptr,
                      UndoStore* undo = nullptr);

} // namespace srctdy
