#pragma once

#include "engine/text_encoding.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace srctdy {

// The token guard's own tokenizer, written apart from the engine's lexical tracker so that one
// bug cannot hide in both. It reads physical lines and appends the file's preprocessing tokens
// (translation phases 1 to 3) to a canonical byte stream: two texts have the same tokens, in
// both the character reading and the byte reading, exactly when their streams are equal.
//
// A record per token: the line breaks since the previous token ('S' where the line's last
// non-blank byte is 0x5C, else 'N', runs of 'N' as one), a header byte (0x10 plus flags), the
// token's length as a varint, its bytes, and a varint count of splices inside it when flagged.
// The stream ends with the trailing breaks and 'E'.
class GuardTokenizer {
public:
    struct LineMark {
        uint64_t offset; // stream offset of the first token record from this input line
        long line;
    };

    GuardTokenizer(TextEncoding encoding, bool cpp, bool markLines);

    // One physical line without its line end; inputLine is kept for the marks.
    void line(std::string_view text, long inputLine);
    // Ends the text: lexes a logical line left open by a final splice, closes an open raw string.
    void finish();

    // Stream bytes produced since the last drain; base() is the stream offset of their first.
    std::string& produced() { return enc_; }
    uint64_t base() const { return base_; }
    void drained() {
        base_ += enc_.size();
        enc_.clear();
    }
    // Marks of input lines, in stream order (only when markLines); the owner trims them.
    std::vector<LineMark>& marks() { return marks_; }

    // The quick way for a pair of lines, output and reference, when both tokenizers stand in
    // the same state at a line start: quickScan tells, without producing records, whether the
    // two (trimmed) lines make the same records, being alike but for runs of blanks outside
    // literals and the text of comments, and what lexing them would leave behind (false: only
    // lexing can tell). skipLine applies that to each side (marks no line).
    struct Skip;
    bool canSkip(const GuardTokenizer& other) const;
    bool quickScan(std::string_view a, std::string_view b, Skip* skip) const;
    // quickScan for a pair whose trimmed lines are the same bytes (the usual pair: only the
    // indentation changed), in one walk that stops only at comment marks, quotes and
    // backslashes.
    bool scanAlike(std::string_view a, Skip* skip) const;
    // quickScan for a pair of lines of one length that differ only where both hold a space or
    // a tab, and hold no quote (tabs replaced by spaces): in one pass, then scanAlike's walk.
    bool scanRespaced(std::string_view a, std::string_view b, Skip* skip) const;
    void skipLine(const Skip& skip);
    // The usual pair in one call: when text is the reference trimmed, and scanAlike can tell, skips
    // the line here (2 when it has a token, else 1); 0 when not.
    int stepAlike(std::string_view text, std::string_view reference);
    // The commonest pair in one pass over the reference: text written from where it was read
    // (it ends the reference, which holds only spaces and tabs before it), after a head of
    // spaces and tabs, in a line of 64 bytes or less. Skips it as stepAlike does; 0 where
    // stepAlike must tell.
    int stepLine(std::string_view head, std::string_view text, std::string_view reference);
    // Whether stepLine may take the pair: an empty text, or one that ends its reference in
    // memory. Inline, so that other pairs cost no call.
    static bool mayStep(std::string_view text, std::string_view reference) {
        const auto at = reinterpret_cast<uintptr_t>(text.data());
        const auto from = reinterpret_cast<uintptr_t>(reference.data());
        return text.empty() || (at >= from && at - from == reference.size() - text.size());
    }
    // Takes the state skipLine sets from another tokenizer that stood where this one did.
    void follow(const GuardTokenizer& other);

private:
    enum class State { Code, Block, Raw };
    enum class Step { None, AfterHash, AfterDefine, AfterName, HeaderName };

public:
    // Where the bytes of a short line stand that a walk over it must see (the quick way's own).
    struct LineBits;
    struct Skip {
        bool tokens = false; // the line has a token
        bool hash = false;   // its first token is "#"
        bool splice = false; // it ends in a splice
        State end = State::Code;
        Step step = Step::None; // of a directive going on past the splice
    };

private:
    static bool stepPastSlash(const char* p, size_t n, size_t& i, State& state);
    bool quoteNeedsLexer(const char* p, size_t i) const;
    bool walkBits(const char* p, size_t n, const LineBits& bits, Skip* skip) const;
    bool directiveStep(const char* p, size_t i, size_t n, Step* step) const;
    bool endSkip(bool tokens, bool hash, size_t hashAt, bool splice, State state, const char* p,
                 size_t n, Skip* skip) const;
    struct Splice {
        size_t offset;    // in join_: the splice lies before join_[offset]
        size_t tailStart; // its backslash and blanks in tails_
        size_t tailSize;
        long line; // input line of the physical line after it
    };

    void lexLogical(const char* p, size_t n, char finalBreak);
    size_t lexRaw(const char* p, size_t s, size_t quote, size_t n);
    void token(size_t s, size_t e, std::string_view bytes);
    void emit(std::string_view bytes, long line, unsigned innerSplices);
    void addBreak(char kind);
    size_t highChar(const char* p, size_t i, size_t n, int* kind) const;
    size_t scanIdentifier(const char* p, size_t i, size_t n) const;
    size_t scanNumber(const char* p, size_t i, size_t n) const;
    size_t scanQuoted(const char* p, size_t i, size_t n, bool* closed = nullptr) const;
    bool realBackslash(std::string_view text, size_t from, size_t at) const;

    bool utf8_;
    bool cpp_;
    bool markLines_;
    std::string enc_;
    uint64_t base_ = 0;
    std::vector<LineMark> marks_;

    // The logical line being assembled from spliced physical lines.
    bool joining_ = false;
    std::string join_;
    std::vector<Splice> splices_;
    std::string tails_;
    long firstLine_ = 0;
    // Progress through splices_ while lexing: the next splice and the current input line.
    size_t nextSplice_ = 0;
    long curLine_ = 0;

    State state_ = State::Code;
    std::string gap_ = "N"; // as if a line had ended before the text: leading empty lines go
    bool newline_ = true;   // an unspliced line end outside comments since the last token
    bool space_ = false;    // white space since the last token
    bool inDirective_ = false;
    Step step_ = Step::None;

    // A raw string still open at the end of a logical line.
    std::string raw_;
    std::string rawEnd_; // ")delimiter\""
    long rawLine_ = 0;
};

} // namespace srctdy
