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

// Which braces a line holds. In code page 932 a byte that looks like one may be the second
// byte of a double-byte character.
struct Braces {
    bool open = false;
    bool close = false;
};
Braces FindBraces(TextEncoding encoding, std::string_view line);

// The same as WriteOutputLine for a line that no stage changed but the trimming, met while no
// comment is being converted: text is written from where it stands, with its braces counted.
// A directive (text begins with "#") stands at the margin and moves no depth; with
// indentation on, its tabs would become spaces, so it must hold none.
void WriteTrimmedLine(const Indentation& indentation, ConversionState& state, LineWriter& out,
                      std::string_view text, Braces braces);

} // namespace srctdy
