#include "engine/guard_tokenizer.h"

#include "engine/byte_blocks.h"
#include "engine/guard_chars.h"

#include <bit>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The quick way through a pair of lines alike on both sides: what lexing them would leave
// behind, found without producing records.
namespace srctdy {

// Where the bytes of a text of 64 bytes or less stand that a walk over it must see: bit i of
// each mask is p[i].
struct GuardTokenizer::LineBits {
    uint64_t stops = 0; // slashes, quotes and backslashes
    uint64_t high = 0;  // bytes 0x80 and above
    uint64_t crs = 0;   // CRs, where the compiler ends a line: no quick way takes one
};

namespace {

using namespace guard;

// Bytes that go on a run of bytes compared as they are: all but blanks, comment marks,
// quotes and backslashes.
constexpr std::array<bool, 256> MakeQuickPlain() {
    std::array<bool, 256> t{};
    for (int c = 0; c < 256; ++c)
        t[c] = kClass[c] != kBlank && c != '/' && c != '\\' && c != '"' && c != '\'';
    return t;
}
constexpr std::array<bool, 256> kQuickPlain = MakeQuickPlain();

// Bytes where a walk over a line compared with itself must look: comment marks, quotes and
// backslashes. Blanks and every other byte only go on.
constexpr std::array<bool, 256> MakeAlikeStop() {
    std::array<bool, 256> t{};
    t['/'] = t['\\'] = t['"'] = t['\''] = true;
    return t;
}
constexpr std::array<bool, 256> kAlikeStop = MakeAlikeStop();

// The first of those bytes at p[i] or after, or n. Sixteen bytes at a time where the machine
// has SSE2; a line of sixteen bytes or more ends with a load overlapping the last one.
size_t NextStop(const char* p, size_t i, size_t n) {
#if defined(__SSE2__)
    if (n >= 16) {
        auto hits = [p](size_t at) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
            const __m128i quotes = _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('"')),
                                                _mm_cmpeq_epi8(v, _mm_set1_epi8('\'')));
            const __m128i marks = _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('/')),
                                               _mm_cmpeq_epi8(v, _mm_set1_epi8('\\')));
            return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(quotes, marks)));
        };
        for (; i + 16 <= n; i += 16)
            if (unsigned mask = hits(i))
                return i + static_cast<size_t>(__builtin_ctz(mask));
        if (i == n)
            return n;
        // The last 16 bytes, less those before i.
        unsigned mask = hits(n - 16) >> (i - (n - 16));
        return mask ? i + static_cast<size_t>(__builtin_ctz(mask)) : n;
    }
#endif
    while (i < n && !kAlikeStop[At(p, i)])
        ++i;
    return i;
}

// Whether n bytes at p and q are the same: memcmp without the call, for short lines.
bool SameBytes(const char* p, const char* q, size_t n) {
#if defined(__SSE2__)
    auto same16 = [p, q](size_t at) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q + at));
        return _mm_movemask_epi8(_mm_cmpeq_epi8(a, b)) == 0xFFFF;
    };
    if (n >= 16) {
        for (size_t i = 0; i + 16 <= n; i += 16)
            if (!same16(i))
                return false;
        return n % 16 == 0 || same16(n - 16);
    }
#endif
    if (n >= 8) {
        uint64_t a, b, c, d;
        std::memcpy(&a, p, 8);
        std::memcpy(&b, q, 8);
        std::memcpy(&c, p + n - 8, 8);
        std::memcpy(&d, q + n - 8, 8);
        return a == b && c == d;
    }
    for (size_t i = 0; i < n; ++i)
        if (p[i] != q[i])
            return false;
    return true;
}

// FindCommentEnd, sixteen bytes at a time where the machine has SSE2.
size_t CommentEnd(const char* p, size_t i, size_t n) {
#if defined(__SSE2__)
    const __m128i star = _mm_set1_epi8('*');
    while (i + 16 <= n) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, star)));
        if (mask == 0) {
            i += 16;
            continue;
        }
        size_t j = i + static_cast<size_t>(__builtin_ctz(mask));
        if (j + 1 < n && p[j + 1] == '/')
            return j + 2;
        i = j + 1;
    }
#endif
    for (; i + 1 < n; ++i)
        if (p[i] == '*' && p[i + 1] == '/')
            return i + 2;
    return std::string_view::npos;
}

// Whether the block comment whose text starts at p[i] ends on this line with only blanks after.
bool ClosesAtEnd(const char* p, size_t i, size_t n) {
    size_t e = FindCommentEnd(p, i, n);
    if (e == std::string_view::npos)
        return false;
    while (e < n && IsBlank(At(p, e)))
        ++e;
    return e == n;
}

// Whether the directive whose "#" stands before p[i] names a header: #include and the like.
bool IncludeLine(const char* p, size_t i, size_t n) {
    while (i < n && IsBlank(At(p, i)))
        ++i;
    size_t s = i;
    while (i < n && IsWordChar(At(p, i)))
        ++i;
    std::string_view name(p + s, i - s);
    return name == "include" || name == "include_next" || name == "import" || i == s;
}

#if defined(__SSE2__)
using LineBits = GuardTokenizer::LineBits;

inline __m128i Load16(const char* p, size_t at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
}

// Adds the bits of the sixteen bytes v, which stand at shift. A byte seen twice (the last load
// of a line overlaps the one before) sets the same bit twice.
inline void AddBits(LineBits& bits, __m128i v, size_t shift) {
    auto bits16 = [shift](__m128i m) {
        return uint64_t{static_cast<unsigned>(_mm_movemask_epi8(m))} << shift;
    };
    const __m128i slash = _mm_cmpeq_epi8(v, _mm_set1_epi8('/'));
    const __m128i quotes =
        _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('"')), _mm_cmpeq_epi8(v, _mm_set1_epi8('\'')));
    bits.stops |=
        bits16(_mm_or_si128(_mm_or_si128(slash, quotes), _mm_cmpeq_epi8(v, _mm_set1_epi8('\\'))));
    bits.high |= bits16(v);
    bits.crs |= bits16(_mm_cmpeq_epi8(v, _mm_set1_epi8('\r')));
}

// The masks of the n bytes at p, 1 <= n <= 64.
inline LineBits BitsOf(const char* p, size_t n) {
    LineBits bits;
    if (n < 16) {
        AddBits(bits, blocks::LoadShort(p, n), 0);
        const uint64_t valid = (uint64_t{1} << n) - 1; // what follows p + n is none of the line
        return {bits.stops & valid, bits.high & valid, bits.crs & valid};
    }
    for (size_t i = 0; i + 16 <= n; i += 16)
        AddBits(bits, Load16(p, i), i);
    AddBits(bits, Load16(p, n - 16), n - 16);
    return bits;
}

// Bits from i on (i < 64).
inline uint64_t From(uint64_t bits, size_t i) {
    return bits & (~uint64_t{0} << i);
}
#endif

// What a "/" met in code at p[i] begins: a block comment, a line comment, or nothing (a
// token of its own).
enum class Slash { Block, Line, Alone };
inline Slash SlashAt(const char* p, size_t i, size_t n) {
    if (i + 1 < n && p[i + 1] == '*')
        return Slash::Block;
    return i + 1 < n && p[i + 1] == '/' ? Slash::Line : Slash::Alone;
}

// What a walk over a line has found of its first token.
struct FirstTokenSeen {
    bool tokens = false;
    bool hash = false; // it is a "#" that begins a directive
    size_t at = 0;

    // p[i] is the line's first byte past its blanks and comments: the first token, unless a
    // comment begins there. False where the lexer must tell what it is (a full-width space, a
    // digraph).
    bool take(const char* p, size_t i, size_t n) {
        const unsigned char c = At(p, i);
        if (c == '/' && SlashAt(p, i, n) != Slash::Alone)
            return true;
        if (c >= 0x80 || c == '%')
            return false;
        tokens = true;
        hash = c == '#' && (i + 1 == n || p[i + 1] != '#');
        at = i;
        return true;
    }
};

} // namespace

bool GuardTokenizer::canSkip(const GuardTokenizer& other) const {
    return !joining_ && state_ != State::Raw && enc_.empty() && state_ == other.state_ &&
           !other.joining_ && newline_ == other.newline_ && space_ == other.space_ &&
           inDirective_ == other.inDirective_ && step_ == other.step_ && gap_ == other.gap_;
}

bool GuardTokenizer::quickScan(std::string_view a, std::string_view b, Skip* skip) const {
    const char* p = a.data();
    const char* q = b.data();
    size_t n = a.size();
    size_t m = b.size();
    // A splice at the end is taken where it follows a blank on both sides, in code or in a
    // comment: the next line then starts a token of its own, whatever its indentation.
    bool splice = (n > 0 && p[n - 1] == '\\') || (m > 0 && q[m - 1] == '\\');
    if (splice) {
        if (n < 2 || m < 2 || p[n - 1] != '\\' || q[m - 1] != '\\' || !IsBlank(At(p, n - 2)) ||
            !IsBlank(At(q, m - 2)) || !realBackslash(a, 0, n - 1) || !realBackslash(b, 0, m - 1))
            return false;
        --n;
        --m;
    }
    FirstTokenSeen first;
    State state = state_;
    size_t i = 0;
    size_t j = 0;
    for (;;) {
        if (state == State::Block) {
            size_t ei = FindCommentEnd(p, i, n);
            size_t ej = FindCommentEnd(q, j, m);
            if ((ei == std::string_view::npos) != (ej == std::string_view::npos))
                return false;
            if (ei == std::string_view::npos) {
                i = n;
                j = m;
                break;
            }
            i = ei;
            j = ej;
            state = State::Code;
            continue;
        }
        if (i == n || j == m)
            break;
        unsigned char c = At(p, i);
        if (IsBlank(c)) {
            // Any run of blanks stands for any other.
            if (!IsBlank(At(q, j)))
                return false;
            do
                ++i;
            while (i < n && IsBlank(At(p, i)));
            do
                ++j;
            while (j < m && IsBlank(At(q, j)));
            continue;
        }
        if (c != At(q, j))
            return false;
        if (c == '/' && i + 1 < n && (p[i + 1] == '/' || p[i + 1] == '*')) {
            // Comments are white space whatever their text, and a comment that runs to the end
            // of the line is one whether it is written // or /* */.
            if (j + 1 == m || (q[j + 1] != '/' && q[j + 1] != '*'))
                return false;
            bool toEndA = p[i + 1] == '/' || ClosesAtEnd(p, i + 2, n);
            bool toEndB = q[j + 1] == '/' || ClosesAtEnd(q, j + 2, m);
            if (toEndA && toEndB) {
                if (splice && (p[i + 1] == '/' || q[j + 1] == '/'))
                    return false; // the comment goes on to the next line
                i = n;
                j = m;
                break;
            }
            if (p[i + 1] != '*' || q[j + 1] != '*')
                return false;
            state = State::Block;
            i += 2;
            j += 2;
            continue;
        }
        if (!first.tokens) {
            if (!first.take(p, i, n))
                return false;
            // A header name holds its blanks.
            if (first.hash && IncludeLine(p, i + 1, n) && a.substr(i) != b.substr(j))
                return false;
        }
        if (c == '\\')
            return false;
        size_t end;
        if (c == '"' || c == '\'') {
            // A prefix, a raw string or a digit separator would need the lexer.
            if (cpp_ && i > 0 && IsWordChar(At(p, i - 1)))
                return false;
            bool closed;
            end = scanQuoted(p, i, n, &closed);
            if (!closed) {
                // The literal runs to the end of both lines (trimmed: no blanks there).
                if (splice || a.substr(i) != b.substr(j))
                    return false;
                i = n;
                j = m;
                break;
            }
        } else {
            end = i + 1;
            while (end < n && kQuickPlain[At(p, end)])
                ++end;
        }
        size_t len = end - i;
        if (len > m - j || !SameBytes(p + i, q + j, len))
            return false;
        i = end;
        j += len;
    }
    if (i != n || j != m)
        return false;
    return endSkip(first.tokens, first.hash, first.at, splice, state, p, n, skip);
}

// At a "/" in code at p[i]: steps past it, or past "/*" into a block comment; false at a line
// comment, which ends the walk.
bool GuardTokenizer::stepPastSlash(const char* p, size_t n, size_t& i, State& state) {
    const Slash slash = SlashAt(p, i, n);
    if (slash == Slash::Line)
        return false;
    if (slash == Slash::Block)
        state = State::Block;
    i += slash == Slash::Block ? 2 : 1;
    return true;
}

// Whether the walks must leave a backslash, or a quote, at p[i] in code to the lexer: a
// backslash outside a literal, or a quote after a prefix (a raw string, a digit separator).
bool GuardTokenizer::quoteNeedsLexer(const char* p, size_t i) const {
    return p[i] == '\\' || (cpp_ && i > 0 && IsWordChar(At(p, i - 1)));
}

#if defined(__SSE2__)
// scanAlike for a line of 1 to 64 bytes that does not end in a backslash, led by its masks:
// the walk looks only at the bytes that can change its state.
bool GuardTokenizer::walkBits(const char* p, size_t n, const LineBits& bits, Skip* skip) const {
    FirstTokenSeen first;
    State state = state_;
    size_t i = 0;
    while (i < n) {
        if (state == State::Block) {
            // The "/" of a "*/": a stop after i whose byte before is a "*".
            uint64_t slashes = i + 1 < n ? From(bits.stops, i + 1) : 0;
            while (slashes != 0) {
                const size_t k = static_cast<size_t>(std::countr_zero(slashes));
                if (p[k] == '/' && p[k - 1] == '*')
                    break;
                slashes &= slashes - 1;
            }
            if (slashes == 0)
                break;
            i = static_cast<size_t>(std::countr_zero(slashes)) + 1;
            state = State::Code;
            continue;
        }
        if (!first.tokens) {
            while (i < n && IsBlank(At(p, i)))
                ++i;
            if (i == n)
                break;
            if (!first.take(p, i, n))
                return false;
        }
        const uint64_t next = From(bits.stops, i);
        if (next == 0)
            break;
        i = static_cast<size_t>(std::countr_zero(next));
        const char c = p[i];
        if (c == '/') {
            if (!stepPastSlash(p, n, i, state))
                break; // a line comment
            continue;
        }
        if (quoteNeedsLexer(p, i))
            return false;
        if (From(bits.high, i) != 0) {
            // A double-byte character may hide a quote's or a backslash's byte.
            bool closed;
            i = scanQuoted(p, i, n, &closed);
            if (!closed)
                break;
            continue;
        }
        // Only quotes and backslashes stop a literal; an escape takes the byte after it.
        size_t k = i + 1;
        while (k < n) {
            const uint64_t at = From(bits.stops, k);
            if (at == 0) {
                k = n;
                break;
            }
            k = static_cast<size_t>(std::countr_zero(at));
            if (p[k] == c)
                break;
            k += p[k] == '\\' ? 2 : 1;
        }
        if (k >= n)
            break; // not closed: the literal runs to the end of the line
        i = k + 1;
    }
    return endSkip(first.tokens, first.hash, first.at, false, state, p, n, skip);
}
#endif

namespace {

// Whether the n bytes at p and q differ only where both hold a space or a tab (as when tabs
// were replaced by spaces), and hold no quote.
bool BlanksApartOnly(const char* p, const char* q, size_t n) {
#if defined(__SSE2__)
    if (n >= 16) {
        auto bad = [p, q](size_t at) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q + at));
            auto blank = [](__m128i v) {
                return _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(' ')),
                                    _mm_cmpeq_epi8(v, _mm_set1_epi8('\t')));
            };
            const __m128i fine =
                _mm_or_si128(_mm_cmpeq_epi8(a, b), _mm_and_si128(blank(a), blank(b)));
            const __m128i quotes = _mm_or_si128(_mm_cmpeq_epi8(a, _mm_set1_epi8('"')),
                                                _mm_cmpeq_epi8(a, _mm_set1_epi8('\'')));
            return _mm_movemask_epi8(fine) != 0xFFFF || _mm_movemask_epi8(quotes) != 0;
        };
        for (size_t i = 0; i + 16 <= n; i += 16)
            if (bad(i))
                return false;
        return !bad(n - 16);
    }
#endif
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    for (size_t i = 0; i < n; ++i)
        if ((p[i] != q[i] && !(blank(p[i]) && blank(q[i]))) || p[i] == '"' || p[i] == '\'')
            return false;
    return true;
}

} // namespace

bool GuardTokenizer::scanRespaced(std::string_view a, std::string_view b, Skip* skip) const {
    if (a.size() != b.size() || !BlanksApartOnly(a.data(), b.data(), a.size()))
        return false;
    // A header name holds its blanks.
    const size_t hash = a.find('#');
    if (hash != std::string_view::npos && IncludeLine(a.data(), hash + 1, a.size()))
        return false;
    // Blanks for blanks, outside literals: the same tokens, and what a leaves is what b leaves.
    return scanAlike(a, skip);
}

bool GuardTokenizer::scanAlike(std::string_view a, Skip* skip) const {
    const char* p = a.data();
    size_t n = a.size();
#if defined(__SSE2__)
    // A short line without a splice: led by its masks.
    if (n > 0 && n <= 64 && p[n - 1] != '\\')
        return walkBits(p, n, BitsOf(p, n), skip);
#endif
    bool splice = n > 0 && p[n - 1] == '\\';
    if (splice) {
        if (n < 2 || !IsBlank(At(p, n - 2)) || !realBackslash(a, 0, n - 1))
            return false;
        --n;
    }
    FirstTokenSeen first;
    State state = state_;
    size_t i = 0;
    while (i < n) {
        if (state == State::Block) {
            size_t e = CommentEnd(p, i, n);
            if (e == std::string_view::npos)
                break;
            i = e;
            state = State::Code;
            continue;
        }
        unsigned char c = At(p, i);
        if (!first.tokens) {
            if (IsBlank(c)) {
                ++i;
                continue;
            }
            if (!first.take(p, i, n))
                return false;
        }
        if (!kAlikeStop[c]) {
            i = NextStop(p, i + 1, n);
            if (i == n)
                break;
            c = At(p, i);
        }
        if (c == '/') {
            if (stepPastSlash(p, n, i, state))
                continue;
            if (splice)
                return false; // the line comment goes on to the next line
            break;
        }
        if (quoteNeedsLexer(p, i))
            return false;
        bool closed;
        i = scanQuoted(p, i, n, &closed);
        if (!closed) {
            if (splice)
                return false;
            break;
        }
    }
    return endSkip(first.tokens, first.hash, first.at, splice, state, p, n, skip);
}

// Flattened: the walk and the state change are one function with the line kept in registers.
[[gnu::flatten]] int GuardTokenizer::stepAlike(std::string_view text, std::string_view reference) {
    const std::string_view trimmed = Trimmed(reference);
    const size_t n = trimmed.size();
    if (n != text.size())
        return 0;
    // The same bytes as the trimmed reference, or blanks for blanks (a directive's tabs made
    // spaces): either way text is trimmed too.
    Skip skip;
    if (SameBytes(text.data(), trimmed.data(), n) ? !scanAlike(text, &skip)
                                                  : !scanRespaced(text, trimmed, &skip))
        return 0;
    skipLine(skip);
    return skip.tokens ? 2 : 1;
}

[[gnu::flatten]] int GuardTokenizer::stepLine(std::string_view head, std::string_view text,
                                              std::string_view reference) {
    const size_t n = text.size();
    const size_t size = reference.size();
    const char* r = reference.data();
    if (!OnlySpacesOrTabs(head.data(), head.size()))
        return 0;
    Skip skip;
    if (n == 0) {
        // An empty line stands for a reference of blanks.
        if (!AllBlank(r, size) || HasCr(reference) ||
            !endSkip(false, false, 0, false, state_, r, size, &skip))
            return 0;
        skipLine(skip);
        return 1;
    }
    const auto at = reinterpret_cast<uintptr_t>(text.data());
    const auto from = reinterpret_cast<uintptr_t>(r);
    if (at < from || at - from != size - n)
        return 0;
    const size_t b = size - n;
    const unsigned char c = At(r, b);
    if (IsBlank(c) || IsBlank(At(r, size - 1)))
        return 0;
#if defined(__SSE2__)
    if (n <= 64) {
        // The lead is indentation; the masks are the text's.
        if (!OnlySpacesOrTabs(r, b))
            return 0;
        const LineBits bits = BitsOf(r + b, n);
        if (bits.crs != 0)
            return 0;
        if (state_ == State::Code && bits.stops == 0) {
            // One run of tokens whose first is the text's first byte.
            FirstTokenSeen first;
            if (!first.take(r, b, size) ||
                !endSkip(true, first.hash, first.at, false, State::Code, r, size, &skip))
                return 0;
        } else if (r[size - 1] == '\\' || !walkBits(r + b, n, bits, &skip)) {
            return 0;
        }
        skipLine(skip);
        return skip.tokens ? 2 : 1;
    }
#endif
    if (!OnlySpacesOrTabs(r, b) || HasCr(text) || !scanAlike(text, &skip))
        return 0;
    skipLine(skip);
    return skip.tokens ? 2 : 1;
}

// What a line scanned quickly leaves the lexer in, into skip; false where only lexing can tell.
bool GuardTokenizer::endSkip(bool tokens, bool hash, size_t hashAt, bool splice, State state,
                             const char* p, size_t n, Skip* skip) const {
    bool first = tokens && newline_;
    if (tokens && !first && step_ != Step::None)
        return false; // the lexer follows a directive's first tokens
    skip->step = Step::None;
    if (first && hash && state == State::Block)
        return false; // the directive goes on: so would its steps
    if (first && hash && splice && !directiveStep(p, hashAt, n, &skip->step))
        return false;
    skip->tokens = tokens;
    skip->hash = hash;
    skip->splice = splice;
    skip->end = state;
    return true;
}

// The step a directive's first line, from its "#" at p[i] up to a splice, leaves the lexer in;
// false where this cannot tell without the lexer.
bool GuardTokenizer::directiveStep(const char* p, size_t i, size_t n, Step* step) const {
    auto blanks = [&] {
        while (i < n && IsBlank(At(p, i)))
            ++i;
        return i == n || p[i] == '/' ? i : 0; // 0: a token follows (i > 0 after the "#")
    };
    auto word = [&] {
        size_t s = i;
        while (i < n && IsWordChar(At(p, i)))
            ++i;
        return std::string_view(p + s, i - s);
    };
    ++i;
    if (size_t end = blanks(); end != 0) {
        *step = Step::AfterHash;
        return end == n;
    }
    std::string_view name = word();
    if (name == "include" || name == "include_next" || name == "import" || name.empty())
        return false;
    if (name != "define") {
        *step = Step::None;
        return true;
    }
    if (size_t end = blanks(); end != 0) {
        *step = Step::AfterDefine;
        return end == n;
    }
    if (word().empty())
        return false;
    size_t end = blanks();
    *step = end == 0 ? Step::None : Step::AfterName;
    return end == 0 || end == n;
}

void GuardTokenizer::skipLine(const Skip& skip) {
    char lineEnd = skip.splice ? 'S' : 'N';
    bool newline = skip.end == State::Code && !skip.splice;
    if (skip.tokens) {
        if (newline_) {
            inDirective_ = skip.hash;
            step_ = skip.step;
        }
        if (gap_.size() == 1)
            gap_[0] = lineEnd; // cheaper than assign on every line
        else
            gap_.assign(1, lineEnd);
        newline_ = newline;
    } else {
        addBreak(lineEnd);
        newline_ = newline_ || newline;
    }
    state_ = skip.end;
    space_ = true;
}

void GuardTokenizer::follow(const GuardTokenizer& other) {
    gap_ = other.gap_;
    newline_ = other.newline_;
    inDirective_ = other.inDirective_;
    step_ = other.step_;
    state_ = other.state_;
    space_ = other.space_;
}

} // namespace srctdy
