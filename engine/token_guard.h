#pragma once

#include "engine/guard_chars.h"
#include "engine/guard_tokenizer.h"
#include "engine/text_encoding.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace srctdy {

struct GuardOptions {
    TextEncoding encoding = TextEncoding::Cp932;
    // C++ file: raw strings R"x(...)x" (u8R, uR, UR, LR prefixes too) and digit separators 1'000.
    bool cpp = false;
    // Lines alike on both sides (but for runs of blanks outside literals and the text of
    // comments) are compared as lines, without
    // tokenizing them, where that tells the same. Off only to check that it does.
    bool quickLines = true;
};

// Compares the preprocessing tokens of a file's output with those of its reference, as the
// lines arrive. Only the part of the side that is ahead is kept (in the compact stream form).
// A code page 932 file is compared in the character reading and, for line-end splices, in the
// byte reading too (0x5C is a backslash wherever it stands).
class TokenGuard {
public:
    explicit TokenGuard(GuardOptions options);

    // One line of the output, as head + text (head is indentation or "//" + indentation),
    // without its line end.
    void outputLine(std::string_view head, std::string_view text);
    // One line of the reference, without its line end; inputLine is the 1-based input line it
    // comes from (0 for lines the program inserted).
    void referenceLine(std::string_view text, long inputLine);
    // One output line that stands for one reference line: the same as referenceLine then
    // outputLine, but cheaper where the two are alike as above.
    void linePair(std::string_view head, std::string_view text, std::string_view reference,
                  long inputLine) {
        if (inStep_ && GuardTokenizer::mayStep(text, reference)) {
            if (int skipped = reference_.stepLine(head, text, reference)) {
                if (skipped == 2)
                    passedTokens(inputLine);
                return;
            }
        }
        pairApart(head, text, reference, inputLine);
    }
    // Ends both streams. True when the tokens agree. Later calls return the same answer.
    bool finish();

    // A difference was already found (may be set before finish).
    bool failed() const { return failed_; }
    // Input line of the first reference token that differs, or of the last one matched when
    // the output has more tokens; an inserted line gives the nearest input line before it; 0
    // if unknown.
    long partingLine() const { return partingLine_; }

private:
    struct Waiting {
        size_t start;
        size_t size;
        long line;
    };

    void pairApart(std::string_view head, std::string_view text, std::string_view reference,
                   long inputLine);
    // referenceLine then outputLine, for texts that hold no CR.
    void linesApart(std::string_view head, std::string_view text, std::string_view reference,
                    long inputLine);
    void arrive(int side, std::string_view text, long inputLine);
    void lex(int side, std::string_view text, long inputLine);
    bool skipPair(std::string_view a, std::string_view b, long inputLine, bool referenceOnly);
    void leaveStep();
    // Everything before a pair skipped with tokens stands matched: its line now holds the last
    // token matched.
    void passedTokens(long inputLine) {
        if (!reference_.marks().empty())
            dropMarks();
        if (inputLine != 0)
            lastKnownLine_ = inputLine;
    }
    void dropMarks();
    void lexWaiting();
    void take(int side, GuardTokenizer& tokens);
    void compare(int side, std::string_view bytes);
    void trimMarks();
    void fail(uint64_t referenceOffset);

    bool quick_;
    // Both tokenizers stand in the same state at a line start, with nothing waiting or ahead,
    // after a pair skipped: the next pair needs no other check before it is tried.
    bool inStep_ = false;
    GuardTokenizer output_;
    GuardTokenizer reference_;
    std::string joined_; // head + text of an output line
    // Lines of one side that wait, not yet tokenized, for the other side's.
    std::string waitingText_;
    std::vector<Waiting> waiting_;
    size_t waitingStart_ = 0;
    int waitingSide_ = 0;
    std::string ahead_; // stream bytes of the side that is ahead, from aheadStart_ on
    size_t aheadStart_ = 0;
    int aheadSide_ = 0;
    uint64_t matched_ = 0;   // stream bytes found equal on both sides
    size_t markStart_ = 0;   // first mark still needed
    long lastKnownLine_ = 1; // last nonzero line of the marks dropped; before any, the first
    bool failed_ = false;
    bool finished_ = false;
    long partingLine_ = 0;
};

// Whole texts (lines split at LF, a CR before LF dropped), for tests and for held output.
bool SameTokens(std::string_view output, std::string_view reference, GuardOptions options,
                long* partingLine = nullptr);

} // namespace srctdy
