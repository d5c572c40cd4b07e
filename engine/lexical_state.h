#pragma once

#include "engine/text_encoding.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The lexical state of the lines of a file: where comments and literals are, and which lines
// are continued with a backslash. The stages ask it before a change that could alter what the
// compiler sees (a comment conversion, trimming a continued line, a full-width space inside a
// string), so the decision rests on the language's lexing, not on counting quotes.
namespace srctdy {

enum class LexKind : uint8_t { Code, BlockComment, LineComment, String, Char, RawString };

// A comment or a literal on one line, as byte offsets [begin, end) into the analysed text.
struct LexSpan {
    uint32_t begin = 0;
    uint32_t end = 0;
    LexKind kind = LexKind::Code;
    bool opensHere = false;  // its opening delimiter is on this line
    bool closesHere = false; // its closing delimiter is on this line
    bool cutByCr = false;    // a literal a CR ended unclosed (the compiler's line ends there)
    bool isComment() const { return kind == LexKind::BlockComment || kind == LexKind::LineComment; }
};

struct LineLex {
    LexKind start = LexKind::Code; // what the line's first byte is part of
    LexKind end = LexKind::Code;   // what the next line begins in
    bool continued = false;        // the line before ended in a backslash splice
    bool byteContinued = false;    // ... as a byte-wise reading sees it (0x5C anywhere)
    bool gapBeforeSplice = false;  // the line before had white space right before its splice
    char beforeSplice = 0;         // the "/" or "*" right before that splice, or 0
    bool endsInSplice = false;
    bool endsInByteSplice = false;
    bool endsInOpenLiteral = false; // a literal runs to the line's end (unclosed or continued)
    bool holdsCr = false;           // a CR inside the line: the compiler ends a line there
    std::vector<LexSpan> spans;     // comments and literals in order; code lies between them

    // Whether the byte at offset is inside a string, character or raw-string literal.
    bool inLiteral(size_t offset) const;
    bool anyLiteral() const;
};

// How far an #include, #include_next or #import line has come before its <name> ends: the
// directive goes on over splices and over comments that span lines, the name over splices.
enum class IncludeStep : uint8_t { None, Start, Hash, Keyword, Name };

// The identifier or number a splice cuts at a line's end: in C++ it decides, on the line
// after, whether a quote separates digits and whether a string is raw.
struct SplicedWord {
    enum Kind : uint8_t { None, Identifier, Number };
    Kind kind = None;
    std::string text; // an identifier's first bytes, kLongest at most

    // Longer than any raw-string prefix ("u8R" is the longest).
    static constexpr size_t kLongest = 4;
};

struct LexOptions {
    TextEncoding encoding = TextEncoding::Cp932;
    bool cpp = false; // raw strings and digit separators
};

// Whether a file name is a C++ source or header (raw strings, digit separators).
bool IsCppFileName(std::string_view name);

// Whether a line ends in a backslash splice, a backslash followed by blanks only included.
// byteWise: 0x5C counts wherever it stands (the second byte of a double-byte character too).
bool EndsInSplice(std::string_view text, TextEncoding encoding, bool byteWise);

// Follows a file line by line. analyse() looks at a line from the state after the lines
// accepted so far and may be called again on an edited copy of the same line; accept() moves
// the state past the line analysed last.
class LexicalTracker {
public:
    explicit LexicalTracker(LexOptions options) : options_(options) {}

    const LineLex& analyse(std::string_view text);
    void accept();
    // Analyses and accepts: for lines that only move the state on (a template).
    void skip(std::string_view text) {
        analyse(text);
        accept();
    }
    // Whether the state before the next line is plain code, not inside or after anything.
    bool atCodeLineStart() const {
        return carry_.kind == LexKind::Code && !carry_.continued && !carry_.byteContinued;
    }
    // Whether the next line begins in plain code with nothing carried over from the line
    // before (no splice, no pending escape). A line without comment or quote marks and
    // without a backslash then needs no analysis: it leaves this state as it is.
    bool atPlainCode() const {
        return atCodeLineStart() && !carry_.escapePending && carry_.beforeSplice == 0 &&
               !carry_.gapBeforeSplice;
    }
    // Whether text, met inside a block comment with nothing else carried over, stays in it:
    // it holds no "*/" and ends in no backslash (a splice in either reading). Such a line is
    // comment from end to end and leaves the state as it is: it needs no analysis.
    bool staysInComment(std::string_view text) const;
    // Whether text, met in plain code (see atPlainCode), closes on itself every comment and
    // literal it opens and holds no backslash: it then leaves the state as it is and needs no
    // analysis. For a line without "#" (an #include's <name> is one token) and without bytes
    // above 0x7F; false where only the analysis can tell (a raw string, a C++ digit separator).
    bool closesEverything(std::string_view text) const;
    const LexOptions& options() const { return options_; }

private:
    struct Carry {
        LexKind kind = LexKind::Code;
        bool continued = false;
        bool byteContinued = false;
        bool gapBeforeSplice = false;
        char beforeSplice = 0;      // the byte before the splice: a "/" or "*" that it joins on
        bool escapePending = false; // a literal's backslash before the splice escapes what follows
        IncludeStep includeStep = IncludeStep::None;
        std::string heldName;     // of a <name> over splices: its text so far, without them
        std::string includeWord;  // the start of a directive's word that a splice cut
        std::string rawDelimiter; // of an open raw string: ")delim\""
        SplicedWord word;         // C++: the token the splice cuts
    };

    // The longest <name> text held over splices: past it, the name is taken for none.
    static constexpr size_t kLongestHeldName = 64 * 1024;

    // Notes the identifier or number that ends at text[end], a splice's backslash.
    void spliceWord(std::string_view text, size_t end, size_t floor);
    // For a line that shows a <name> going on from the lines before to be none.
    const LineLex& rereadAsCode(std::string_view text);

    LexOptions options_;
    Carry carry_;
    Carry next_;
    LineLex lex_;
};

} // namespace srctdy
