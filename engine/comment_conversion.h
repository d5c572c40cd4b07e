#pragma once

#include "engine/conversion_state.h"

#include <string>
#include <string_view>
#include <vector>

namespace srctdy {

class LexicalTracker;

// Comment mode 3 splits only lines longer than this, and shorter than 256 bytes.
inline constexpr size_t kLongestUnsplitLine = 80;

// A line the comment stage held back, with what the later stages need of it.
struct HeldLine {
    std::string raw;
    std::string_view rawEnd;
    std::string line;
    std::string reference;
    bool referenceEdited = false;
    long lineNumber = 0;
    bool keepLeading = false;
    LexKind startKind = LexKind::Code;
    int commentState = 0;
};

// Rewrites the comments of state.line for commentMode 1 (block to line comments), 2 (line to
// block comments) or 3 (split a long line into its comment and its code); mode 0 does nothing.
// A comment is converted only where the result keeps the tokens, as the lexical tracker sees
// them; otherwise it stays as it was, and state.commentsLeft counts it.
class CommentStage {
public:
    enum class Action {
        Pass,    // state holds the line, ready for the later stages
        Hold,    // the line is held; nothing goes on now
        Release, // the held lines, then the line in state, go on: see released()
    };

    CommentStage(int commentMode, bool functionNames, std::string_view nameMarker)
        : mode_(commentMode), functionNames_(functionNames), nameMarker_(nameMarker) {}

    // state.line has been analysed last by tracker (the caller accepts it afterwards).
    // headerHolds: the module-header stage is holding lines (function names on), so the lines
    // of a comment closing now go out as read, at least in part.
    Action process(ConversionState& state, LexicalTracker& tracker, bool headerHolds = false);
    // End of input: what is held goes out unconverted (then call released()).
    bool finish(ConversionState& state);
    // The lines to send on before the current one, in order; emptied by the caller.
    std::vector<HeldLine>& released() { return released_; }

private:
    void hold(const ConversionState& state);
    void releaseHeld(int commentState);
    bool convertBlockComments(ConversionState& state, const LineLex& lex, size_t firstSpan,
                              size_t closingSpan, bool closingConverted);

    int mode_;
    bool functionNames_;
    std::string_view nameMarker_;
    std::vector<HeldLine> held_; // the lines of a block comment that is still open
    size_t heldBytes_ = 0;
    size_t heldCount_ = 0;   // lines in held_ in use (the vector keeps its slots)
    size_t openAt_ = 0;      // where the held comment's "/*" stands in its first line
    bool openWhole_ = false; // both bytes of that "/*" stand there (no splice between them)
    std::vector<HeldLine> released_;
};

// Splits text into its code part and its comment part (block comments with their delimiters,
// then the line comment) where that keeps the tokens. Returns false when the line stays whole.
bool SplitCommentLine(std::string_view text, const LineLex& lex, std::string& code,
                      std::string& comment);

} // namespace srctdy
