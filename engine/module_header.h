#pragma once

#include "engine/conversion_state.h"

#include <string>
#include <string_view>
#include <vector>

namespace srctdy {

class LineWriter;

// Fills the function name of module-header comment blocks: holds the lines after a
// "[関数名]" line until the closing line of asterisks, then writes them with the first line
// of the function that follows inserted when the field is still empty.
class ModuleHeaderStage {
public:
    enum class Action {
        Pass,       // the line goes on to the output stage
        Hold,       // the line was held (or the block written); nothing more for this line
        BlockClosed // the closing line was held: call closeBlock with the next input line
    };

    // Looks at state.rawLine (the markers are tested on the line as read). Only called when
    // function names are on. A block written here (before a new start marker, or when 250
    // lines are held) makes the same resets as a written line.
    Action process(int commentMode, ConversionState& state, LineWriter& out);

    // Writes the held block after its closing line, with the next line's text up to its first
    // "{" or "/" inserted as the name when the field is still empty; nextRawLine is the input's
    // next line (null at the end of input, when no name is written). The caller then sends that
    // line through the whole pipeline.
    void closeBlock(const std::string_view* nextRawLine, int commentMode, ConversionState& state,
                    LineWriter& out);

    // Whether lines are being held behind a start marker.
    bool holding() const { return headerLineCount_ > 0; }

    // End of input: writes what is still held, unchanged.
    void flush(int commentMode, ConversionState& state, LineWriter& out);

private:
    void hold(std::string_view rawLine, std::string_view lineEnd, long lineNumber);
    void writeBlock(bool causeNotEmpty, int commentMode, ConversionState& state, LineWriter& out);

    std::vector<std::string> held_;          // held lines, whole; slots and capacity reused
    std::vector<std::string_view> heldEnds_; // their line ends as read
    std::vector<long> heldNumbers_;          // their input line numbers
    int headerLineCount_ = 0;                // 0: not collecting; else 1 + number of held lines
};

} // namespace srctdy
