#pragma once

#include "engine/text_encoding.h"

#include <string>
#include <string_view>

namespace srctdy {

// The state of one file's conversion that the stages share. Per-line values are reset at the
// top of every line by the driver; per-file values live for one file.
struct ConversionState {
    // Per line.
    std::string_view rawLine;    // the line as read, its line end removed; valid for the line
    std::string_view rawLineEnd; // the line end rawLine had: "\r\n", "\n" or "" (last line)
    std::string line;            // the working copy that is written
    std::string splitComment;    // comment part split off a long line (comment mode 3)
    bool splitPending = false;   // the line was split this time

    // Per file.
    TextEncoding encoding = TextEncoding::Cp932; // the file's, for the stages' character walks
    int commentState = 0; // comment mode 1: 0 none open, 1 open, 2 closed on this line
    int braceDepth = 0;   // indentation depth; may go negative
    int blankRun = 0;     // empty lines let through since the last written non-empty rawLine
    bool definitionsInserted = false;
    bool inIfBlock = false;
};

} // namespace srctdy
