#pragma once

#include "engine/conversion_state.h"

#include <string>
#include <string_view>

namespace srctdy {

class LineWriter;

// How lines are indented: on or off, and the text of one level.
struct Indentation {
    bool on = true;
    std::string unit = "    ";
    mutable std::string run{}; // units repeated, grown as lines go deeper; heads are views of it
};

// The unit for the size list's index: 0 two spaces, 1 four, 2 eight, anything else a tab.
std::string IndentUnitFor(int indentSizeIndex);

// The last stage: indents state.line by brace depth, writes it (after the split-off comment,
// if any), then resets commentState (mode 1) and blankRun as every written line does.
void WriteOutputLine(const Indentation& indentation, int commentMode, ConversionState& state,
                     LineWriter& out);

// The same for a plain line (see ScanPlainLine) that no stage changed but the trimming: text
// is written from where it stands, and open and close say which braces it holds.
void WritePlainLine(const Indentation& indentation, ConversionState& state, LineWriter& out,
                    std::string_view text, bool open, bool close);

} // namespace srctdy
