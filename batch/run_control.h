#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>

namespace srctdy {

// How a caller on another thread follows a run over files and stops it. A stop is only
// looked at between files: the file in hand is always finished, so none is left half done.
struct RunControl {
    // Called before each file with its position (from 0), the run's length and its name.
    std::function<void(size_t index, size_t count, const std::string& name)> progress;
    // Set by anyone to stop before the next file. May be null.
    const std::atomic<bool>* cancel = nullptr;

    bool cancelled() const { return cancel != nullptr && cancel->load(); }
    void report(size_t index, size_t count, const std::string& name) const {
        if (progress)
            progress(index, count, name);
    }
};

} // namespace srctdy
