#include "engine/guard_tokenizer.h"

#include "engine/guard_chars.h"

// The quick way through a line that both sides have alike: what lexing it would leave behind,
// found without producing records.
namespace srctdy {
namespace {

using namespace guard;

// Bytes where the quick scan of a line has to look closer.
constexpr std::array<bool, 256> MakeQuickStops() {
    std::array<bool, 256> t{};
    t['/'] = t['\\'] = t['"'] = t['\''] = true;
    return t;
}
constexpr std::array<bool, 256> kQuickStop = MakeQuickStops();

} // namespace

bool GuardTokenizer::canSkip(const GuardTokenizer& other) const {
    return !joining_ && state_ != State::Raw && enc_.empty() && state_ == other.state_ &&
           !other.joining_ && newline_ == other.newline_ && space_ == other.space_ &&
           inDirective_ == other.inDirective_ && step_ == other.step_ && gap_ == other.gap_;
}

bool GuardTokenizer::quickScan(std::string_view trimmed, Skip* skip) const {
    const char* p = trimmed.data();
    size_t n = trimmed.size();
    if (n > 0 && p[n - 1] == '\\')
        return false; // a splice in one of the readings
    bool tokens = false;
    bool hash = false;
    State state = state_;
    size_t i = 0;
    while (i < n) {
        if (state == State::Block) {
            i = FindCommentEnd(p, i, n);
            if (i == std::string_view::npos)
                break;
            state = State::Code;
            continue;
        }
        if (!tokens) {
            while (i < n && IsBlank(At(p, i)))
                ++i;
            if (i == n)
                break;
            unsigned char c = At(p, i);
            bool comment = c == '/' && i + 1 < n && (p[i + 1] == '/' || p[i + 1] == '*');
            if (!comment) {
                // A full-width space or a digraph would need the lexer to tell what is first.
                if (c >= 0x80 || c == '%')
                    return false;
                tokens = true;
                hash = c == '#' && (i + 1 == n || p[i + 1] != '#');
            }
        }
        while (i < n && !kQuickStop[At(p, i)])
            ++i;
        if (i == n)
            break;
        char c = p[i];
        if (c == '/') {
            if (i + 1 < n && p[i + 1] == '/')
                break;
            if (i + 1 < n && p[i + 1] == '*') {
                state = State::Block;
                i += 2;
            } else {
                ++i;
            }
        } else if (c == '\\') {
            return false;
        } else {
            // A prefix, a raw string or a digit separator would need the lexer.
            if (i > 0 && IsWordChar(At(p, i - 1)) && cpp_)
                return false;
            bool closed;
            i = scanQuoted(p, i, n, &closed);
            if (!closed)
                break; // the literal runs to the end, the blanks there left out
        }
    }
    bool first = tokens && newline_;
    if (tokens && !first && inDirective_)
        return false; // a directive going on after a comment: the lexer follows its steps
    if (tokens && hash && state == State::Block)
        return false;
    skip->tokens = tokens;
    skip->hash = hash;
    skip->end = state;
    return true;
}

void GuardTokenizer::skipLine(const Skip& skip) {
    if (skip.tokens) {
        if (newline_) {
            inDirective_ = skip.hash;
            step_ = Step::None;
        }
        gap_.assign(1, 'N');
        newline_ = skip.end == State::Code;
    } else {
        addBreak('N');
        if (skip.end == State::Code)
            newline_ = true;
    }
    state_ = skip.end;
    space_ = true;
}

} // namespace srctdy
