#pragma once

#include "engine/lexical_state.h"

#include <optional>
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
    long lineNumber = 0;         // 1-based number of rawLine in the input
    std::string reference;       // rawLine with the replacement made, when it changed anything
    bool referenceEdited = false;
    bool keepLeading = false;          // leading blanks belong to a literal or keep tokens apart
    LexKind startKind = LexKind::Code; // what the line begins in

    std::string_view referenceText() const { return referenceEdited ? reference : rawLine; }

    // Per file.
    LexOptions lexOptions;
    int commentState = 0; // comment mode 1: 0 none open, 1 open, 2 closed on this line
    int braceDepth = 0;   // indentation depth; may go negative
    int blankRun = 0;     // empty lines let through since the last written non-empty rawLine
    bool definitionsInserted = false;
    bool inIfBlock = false;
    // While inIfBlock: the lexical state of the input through the block's dropped lines, which
    // the file's tracker never sees (it goes on as if they were not there).
    std::optional<LexicalTracker> ifBlockLexer;
    int commentsLeft = 0; // comments not converted because that would change the tokens
};

} // namespace srctdy
