#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace srctdy {

// Keeps what an overwrite run replaced, so that the last run can be undone. Each run gets a
// folder under root holding, for every file it changed, the old content (a hard link to the
// old file, which the atomic replace leaves alive, or a copy when root is on another file
// system) and a list of the files with a fingerprint of what the run wrote. Only the last run
// is kept. Paths are file-system bytes; nothing here reads the current directory.
class UndoStore {
public:
    explicit UndoStore(std::string root) : root_(std::move(root)) {}

    // $XDG_STATE_HOME/srctdy/undo, or ~/.local/state/srctdy/undo; empty without a home.
    static std::string DefaultRoot();

    // Starts a run: removes the earlier runs and makes this run's folder. False when the
    // folder cannot be written (nothing will be kept).
    bool beginRun();

    // Before path is replaced: keeps its present content. False when that failed.
    bool keep(const std::string& path);
    // After the replace: replaced says whether the file now holds new content. A file left
    // as it was is forgotten again.
    void settle(bool replaced);

    // The number of files the last run can put back (0: nothing to undo).
    size_t lastRunSize() const;

    struct UndoReport {
        size_t restored = 0;
        std::vector<std::string> changedSince; // changed (or gone) since the run: left alone
        std::vector<std::string> failed;       // could not be put back
    };
    // Puts back every file of the last run that still holds what the run wrote, bytes and
    // mode, each in one atomic replace, then forgets the run; a file that could not be put
    // back stays kept, alone in the run, for another try. progress may be empty.
    UndoReport undoLastRun(const std::function<void(size_t, size_t, const std::string&)>& progress);

private:
    std::string root_;
    std::string run_;     // this run's folder; empty when none is open
    std::string pending_; // path kept and not yet settled
    size_t next_ = 0;     // number of the next kept file
};

} // namespace srctdy
