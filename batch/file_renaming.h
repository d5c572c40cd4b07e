#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace srctdy {

class Prompter;
struct RunControl;

// The four rename commands, in two families: the case commands change only the letter case
// of the whole name, the extension commands change ".c" to ".cpp" and back. Each renames in
// one step; only in a folder that ignores letter case (where the new name already is the same
// file) does a case command go in two steps through "fnswap_temp_name.tmp". No rename ever
// replaces an existing file.
enum class RenameKind { Upper, Lower, CToCpp, CppToC };

inline constexpr std::string_view kCaseSwapName = "fnswap_temp_name.tmp";

// name with its ASCII letters mapped to upper or lower case. Every other character is kept
// whole: a name that is valid UTF-8 has no ASCII byte inside a character; any other name is
// taken as code page 932, whose second bytes (which may look like ASCII letters) stay as
// they are.
std::string MapNameCase(std::string_view name, bool upper);

// The new name of an extension command: the part before the last "." followed by the
// target extension, when the extension (from the last ".", in lower case) is the command's
// source. Nothing for a name the command passes over, and for the case commands.
std::optional<std::string> ExtensionTarget(std::string_view name, RenameKind kind);

// The file-system calls of the rename commands, so that a test can stand in a folder that
// ignores letter case.
struct RenameCalls {
    // Renames from to to unless to exists; false with errno set (EEXIST: to exists).
    std::function<bool(const std::string& from, const std::string& to)> renameNoReplace;
    // Whether two paths name one file (same device and inode).
    std::function<bool(const std::string& a, const std::string& b)> sameFile;
};
// The calls on the real file system.
const RenameCalls& RealRenameCalls();

enum class RenameOutcome {
    Renamed,    // done (a case command on a name already in that case included)
    PassedOver, // an extension command on a name with another extension; nothing shown
    Failed,     // not renamed (or put back); the message has been shown
    Stop,       // failed, and the user asked to stop the walk
};

// Renames the file name (a bare name) in folder. A failure shows its message through
// prompter; with askToStop a case command's message asks whether to stop (the extension
// commands never ask). If the second step of a case command fails, the file gets its old
// name back and the message says so.
RenameOutcome RenameFile(RenameKind kind, const std::string& folder, const std::string& name,
                         bool askToStop, Prompter& prompter,
                         const RenameCalls& calls = RealRenameCalls());

// What a rename button reads from the main dialog.
struct RenameRequest {
    std::string folderPath;           // the chosen folder; empty when none is chosen
    std::string fileType;             // the list's pattern, for the refill afterwards
    std::vector<std::string> entries; // the file list's names, in list order
    int selectedIndex = -1;           // the selected entry, -1 for none
    bool allFiles = false;            // every entry rather than the selected one
};

struct RenameResult {
    bool refreshed = false;           // false: the command stopped at once, list unchanged
    std::vector<std::string> entries; // the refilled list, when refreshed
    int selectedIndex = -1;           // the entry to select in it, -1 for none
};

// A rename button: renames the selected entry or every entry in list order, then refills
// the list. A case command selects the entry at the position selected before; an extension
// command leaves none selected. control reports each entry of an all-files walk and may stop
// it between entries. calls are the file system calls (a seam for tests).
RenameResult RenameListedFiles(RenameKind kind, const RenameRequest& request, Prompter& prompter,
                               const RunControl* control = nullptr,
                               const RenameCalls& calls = RealRenameCalls());

} // namespace srctdy
