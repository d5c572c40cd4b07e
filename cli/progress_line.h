#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>

namespace srctdy {

// The progress line of a run on a terminal: files done out of the total, MB/s and the
// current file. It appears only once the run has lasted a second, is redrawn in place at
// most a few times a second, and is erased before any message and at the end, so that
// nothing of it stays on the screen.
class ProgressLine {
public:
    using Clock = std::function<double()>; // seconds, from any fixed start

    // width: the terminal's columns; the line never wraps.
    ProgressLine(std::ostream& out, size_t total, unsigned width, Clock clock = SteadySeconds);
    ~ProgressLine() { erase(); }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // done files (bytes of them) are finished; current is being converted ("" when none).
    void update(size_t done, uint64_t bytes, std::string_view current);
    // Takes the line off the screen (before a message, and at the end).
    void erase();

    static double SteadySeconds();

private:
    std::ostream& out_;
    size_t total_;
    unsigned width_;
    Clock clock_;
    double start_;
    double drawn_ = -1; // when it was last drawn; -1: not on the screen
};

} // namespace srctdy
