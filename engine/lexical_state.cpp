#include "engine/lexical_state.h"

#include "engine/byte_blocks.h"
#include "engine/encoded_text.h"
#include "engine/utf8.h"

#include <algorithm>
#include <cstring>
#include <utility>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace srctdy {
namespace {

// A CR inside a line is no blank: the compiler ends a line there, and a backslash before it
// splices at it, not at the line's LF. A NUL is one: gcc takes it for white space, and a
// backslash before NULs splices.
bool IsBlank(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\0';
}
// Where a splice at a CR inside a line ends: text[at] is a backslash that only blanks part
// from a CR. The compiler splices there before it reads escapes. npos where it is none.
size_t SpliceAtCrEnd(std::string_view text, size_t at) {
    if (text[at] != '\\')
        return std::string_view::npos;
    size_t k = at + 1;
    while (k < text.size() && IsBlank(static_cast<unsigned char>(text[k])))
        ++k;
    return k < text.size() && text[k] == '\r' ? k + 1 : std::string_view::npos;
}

// The first byte at from or after that begins no splice at a CR.
size_t SkipCrSplices(std::string_view text, size_t from) {
    for (size_t after;
         from < text.size() && (after = SpliceAtCrEnd(text, from)) != std::string_view::npos;)
        from = after;
    return from;
}

// Where the byte after text[at] stands once the splices at CRs right after it are taken out.
size_t PastCrSplices(std::string_view text, size_t at) {
    return SkipCrSplices(text, at + 1);
}

// Where text ends without its trailing blanks.
size_t EndWithoutBlanks(std::string_view text) {
    size_t end = text.size();
    while (end > 0 && IsBlank(static_cast<unsigned char>(text[end - 1])))
        --end;
    return end;
}
bool IsLead932(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}
bool IsTrail932(unsigned char c) {
    return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}
bool IsAsciiWordByte(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' ||
           c == '$';
}
bool IsWordByte(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' ||
           c >= 0x80;
}

// Width of the character at i: a code page 932 lead byte pairs only with a byte that can be a
// second byte. In UTF-8 no byte of a multi-byte sequence looks like ASCII, so bytes will do.
size_t CharWidth(std::string_view text, size_t i, TextEncoding encoding) {
    if (encoding == TextEncoding::Cp932 && i + 1 < text.size() &&
        IsLead932(static_cast<unsigned char>(text[i])) &&
        IsTrail932(static_cast<unsigned char>(text[i + 1])))
        return 2;
    return 1;
}

// Bytes that may start a comment or a literal in code. Second bytes of code page 932 never
// take these values (they lie below 0x40), so code is scanned byte by byte.
struct CodeStops {
    bool stop[256] = {};
    CodeStops() {
        stop[static_cast<unsigned char>('/')] = true;
        stop[static_cast<unsigned char>('"')] = true;
        stop[static_cast<unsigned char>('\'')] = true;
    }
};
const CodeStops kCodeStops;

// The first of those bytes at text[i] or after, or the size: sixteen bytes at a time where
// the machine has SSE2, the last sixteen of a long enough line read overlapping.
[[gnu::always_inline]] inline size_t NextCodeStop(std::string_view text, size_t i) {
    const char* p = text.data();
    const size_t n = text.size();
#if defined(__SSE2__)
    if (n >= 16 && i < n) {
        const auto stops = [p](size_t at) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
            const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('/')),
                                                          _mm_cmpeq_epi8(v, _mm_set1_epi8('"'))),
                                             _mm_cmpeq_epi8(v, _mm_set1_epi8('\'')));
            return static_cast<unsigned>(_mm_movemask_epi8(hit));
        };
        for (; i + 16 <= n; i += 16)
            if (const unsigned mask = stops(i))
                return i + static_cast<size_t>(__builtin_ctz(mask));
        if (i == n)
            return n;
        const unsigned mask = stops(n - 16) >> (i - (n - 16));
        return mask ? i + static_cast<size_t>(__builtin_ctz(mask)) : n;
    }
#endif
    while (i < n && !kCodeStops.stop[static_cast<unsigned char>(p[i])])
        ++i;
    return i;
}

// Whether text holds a backslash or a CR.
bool HoldsBackslashOrCr(std::string_view text) {
#if defined(__SSE2__)
    return blocks::HoldsAnyOf<'\\', '\r'>(text);
#else
    return text.find_first_of("\\\r") != std::string_view::npos;
#endif
}

// Where a line comment going on at from ends: at a CR inside the line (the compiler ends its
// line there) that no backslash before it splices, else at the line's end. The backslash is
// one as the file's encoding reads it: a second byte 0x5C of code page 932 splices only in
// a byte-wise reading, and the stages leave a line with a CR to that reading as it is.
size_t LineCommentEnd(std::string_view text, size_t from, TextEncoding encoding) {
    for (size_t at = from; (at = text.find('\r', at)) != std::string_view::npos; ++at)
        if (!EndsInSplice(text.substr(0, at), encoding, false))
            return at;
    return text.size();
}

// Where the first "*/" at from or after begins, or npos. It looks for the "/", which is rarer
// in a comment than the "*" (rulers of stars).
size_t CommentEnd(std::string_view text, size_t from) {
    for (size_t at = text.find('/', from + 1); at != std::string_view::npos;
         at = text.find('/', at + 1))
        if (text[at - 1] == '*')
            return at - 1;
    return std::string_view::npos;
}

// CommentEnd for a line that holds a CR: splices at CRs may stand between the "*" and the "/".
size_t CommentEndOverCrSplices(std::string_view text, size_t from) {
    for (size_t at = text.find('*', from); at != std::string_view::npos;
         at = text.find('*', at + 1)) {
        const size_t next = PastCrSplices(text, at);
        if (next < text.size() && text[next] == '/')
            return at;
    }
    return std::string_view::npos;
}

// The character at text[i], a byte 0x80 or above: its width, and whether it may stand in an
// identifier or a number as a compiler reading the file takes it (any double-byte or UTF-8
// character but the full-width space, and half-width katakana).
size_t HighCharacter(std::string_view text, size_t i, TextEncoding encoding, bool* word) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (encoding == TextEncoding::Utf8) {
        const size_t length = utf8::CharLength(text, i); // 1: no valid sequence
        *word = length > 1 && text.substr(i, length) != "\xE3\x80\x80";
        return length;
    }
    const size_t width = CharWidth(text, i, encoding);
    *word = width == 2 ? !(c == 0x81 && text[i + 1] == '\x40') : c >= 0xA1 && c <= 0xDF;
    return width;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The identifier or number that ends at end, walked from floor (where the code it stands in
// begins): a double-byte character belongs to it, so only a forward walk can tell where it
// begins. At the line's start it goes on the token a splice cut (carried).
struct WordRun {
    bool found = false;
    size_t begin = 0;
    bool number = false;  // a pp-number: "." and a digit separator go on in it
    bool carried = false; // it began before the splice
};
WordRun WordRunAt(std::string_view text, size_t end, size_t floor, TextEncoding encoding,
                  SplicedWord::Kind carried, bool crSplices) {
    WordRun run;
    if (floor == 0 && carried != SplicedWord::None)
        run = {true, 0, carried == SplicedWord::Number, true};
    for (size_t i = floor; i < end;) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        // A splice at a CR inside the line cuts no token: the word goes on after it.
        if (crSplices && c == '\\') {
            const size_t after = SpliceAtCrEnd(text, i);
            if (after != std::string_view::npos && after <= end) {
                i = after;
                continue;
            }
        }
        bool word = true;
        size_t width = 1;
        if (c >= 0x80)
            width = HighCharacter(text, i, encoding, &word);
        else
            word = IsWordByte(c) || c == '$';
        if (word) {
            if (!run.found)
                run = {true, i, IsDigit(static_cast<char>(c)), false};
        } else if (run.found && run.number && (c == '.' || c == '\'')) {
            // goes on in the number
        } else if (c == '.' && i + 1 < end && IsDigit(text[i + 1])) {
            run = {true, i, true, false};
        } else {
            run = {};
        }
        i += width;
    }
    return run;
}

// In C++, a quote inside a pp-number (1'000) separates digits. floor: where the code the
// quote stands in begins (after the last comment or literal); word: the token a splice cut
// before the line.
bool IsDigitSeparator(std::string_view text, size_t quote, size_t floor, TextEncoding encoding,
                      const SplicedWord& word, bool crSplices) {
    // What follows must be a letter, a digit or "_": a double-byte character after the quote
    // makes it a character literal, as a compiler reading code page 932 takes it.
    const size_t next = crSplices ? PastCrSplices(text, quote) : quote + 1;
    const unsigned char after = next < text.size() ? text[next] : 0;
    if (after >= 0x80 || !IsWordByte(after))
        return false;
    return WordRunAt(text, quote, floor, encoding, word.kind, crSplices).number;
}

// text without its splices at CRs.
std::string WithoutCrSplices(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const size_t after = text[i] == '\\' ? SpliceAtCrEnd(text, i) : std::string_view::npos;
        if (after != std::string_view::npos) {
            i = after;
        } else {
            out += text[i++];
        }
    }
    return out;
}

bool IsRawStringPrefix(std::string_view prefix) {
    return prefix == "R" || prefix == "LR" || prefix == "uR" || prefix == "UR" || prefix == "u8R";
}

// In C++, R"delim( opens a raw string when the name before the quote is R, LR, uR, UR or u8R,
// all of it: one a splice cut (word) too. Returns the offset of the prefix and fills the
// closing sequence, or npos.
size_t RawStringPrefix(std::string_view text, size_t quote, size_t floor, TextEncoding encoding,
                       const SplicedWord& word, bool crSplices, std::string& closing) {
    // Most quotes stand after no R (or a splice at a CR): one look tells.
    const bool afterR =
        quote > floor && (text[quote - 1] == 'R' || (crSplices && text[quote - 1] == '\r'));
    if (!afterR && !(quote == 0 && word.kind == SplicedWord::Identifier))
        return std::string_view::npos;
    const WordRun run = WordRunAt(text, quote, floor, encoding, word.kind, crSplices);
    if (!run.found || run.number)
        return std::string_view::npos;
    std::string_view here = text.substr(run.begin, quote - run.begin);
    std::string joined;
    if (crSplices) {
        joined = WithoutCrSplices(here);
        here = joined;
    }
    if (run.carried ? !IsRawStringPrefix(word.text + std::string(here)) : !IsRawStringPrefix(here))
        return std::string_view::npos;
    const size_t begin = run.begin;
    size_t paren = quote + 1;
    while (paren < text.size() && paren - quote - 1 <= 16) {
        const char c = text[paren];
        if (c == '(') {
            closing.assign(")");
            closing.append(text.substr(quote + 1, paren - quote - 1));
            closing.push_back('"');
            return begin;
        }
        if (c == ' ' || c == ')' || c == '\\' || IsBlank(static_cast<unsigned char>(c)) ||
            c == '\r' || c == '"')
            break;
        ++paren;
    }
    return std::string_view::npos;
}

// What closes a header name that opener opens.
char NameCloser(char opener) {
    return opener == '<' ? '>' : '"';
}

// The start of an #include, #include_next or #import line, from step on at from: text is
// the line without its splice. The line may begin with the digraph "%:" for "#"; blanks
// (\v and \f too, as gcc takes them), full-width spaces (space: the file's one) and
// comments are white space, so "/* c */ #include <a.h>" is a directive too. The directive
// goes on over splices and comments that span lines; its <name> goes on over splices.
struct IncludeScan {
    size_t next = 0;                           // where the walk goes on: after a name, else from
    IncludeStep step = IncludeStep::None;      // what the directive awaits there
    size_t nameBegin = std::string_view::npos; // the "<" of a name that ends at next
    size_t looked = 0;                         // how far the look went
};
IncludeScan ScanInclude(std::string_view text, size_t from, IncludeStep step,
                        std::string_view space, bool spliced, std::string& word) {
    const size_t n = text.size();
    size_t i = from;
    // A "/" before the splice above made no comment with this line's first byte (the walk
    // takes those): it was an operator. A "%" there makes "%:" with a ":" here.
    if (word.size() == 1 && (word[0] == '/' || word[0] == '%')) {
        const bool digraph = word == "%" && i < n && text[i] == ':';
        word.clear();
        if (!digraph)
            return {from, IncludeStep::None, std::string_view::npos, i};
        ++i;
        step = IncludeStep::Hash;
    }
    for (;;) {
        // A word a splice cut goes on right where the line begins.
        for (; word.empty();) {
            while (i < n && IsBlank(static_cast<unsigned char>(text[i])))
                ++i;
            if (i < n && text[i] == space[0] && text.substr(i, space.size()) == space) {
                i += space.size();
                continue;
            }
            if (i + 1 == n && text[i] == '/' && spliced) {
                word = "/"; // it may open a comment with the next line's "*"
                return {from, step, std::string_view::npos, i};
            }
            if (i + 1 >= n || text[i] != '/' || text[i + 1] != '*')
                break;
            const size_t close = CommentEnd(text, i + 2);
            // The walk takes the comments from from on; the directive goes on after them.
            if (close == std::string_view::npos)
                return {from, step, std::string_view::npos, i};
            i = close + 2;
        }
        if (i == n && word.empty())
            return {from, step, std::string_view::npos, i};
        if (step == IncludeStep::Start && i + 1 == n && text[i] == '%' && spliced) {
            word = "%";
            return {from, step, std::string_view::npos, i};
        }
        if (step == IncludeStep::Start && (text[i] == '#' || text.substr(i, 2) == "%:")) {
            i += text[i] == '#' ? 1 : 2;
            step = IncludeStep::Hash;
            continue;
        }
        if (step == IncludeStep::Hash) {
            // The directive's word, which a splice may cut: "#inclu\" then "de <a.h>". Held
            // as far as it goes; it is never longer than "include_next".
            size_t end = i;
            while (end < n && (IsAsciiWordByte(static_cast<unsigned char>(text[end]))))
                ++end;
            std::string_view name = text.substr(i, end - i);
            if (!word.empty()) {
                word.append(name);
                name = word;
            }
            if (end == n && spliced && name.size() <= 12) {
                if (word.empty())
                    word.assign(name);
                return {from, step, std::string_view::npos, i};
            }
            const bool keyword = name == "include" || name == "include_next" || name == "import";
            word.clear();
            if (keyword) {
                i = end;
                step = IncludeStep::Keyword;
                continue;
            }
        }
        if (step == IncludeStep::Keyword && (text[i] == '<' || text[i] == '"')) {
            // A CR ends the compiler's line: a name is what closes before it. A "name" knows
            // no escapes, so "dir\" ends at its second quote, also over a splice.
            const size_t cr = text.find('\r', i + 1);
            const size_t close = text.substr(0, cr).find(NameCloser(text[i]), i + 1);
            if (close != std::string_view::npos)
                return {close + 1, IncludeStep::None, i, close + 1};
            if (cr == std::string_view::npos && spliced)
                return {n, IncludeStep::Name, i, n};
        }
        return {from, IncludeStep::None, std::string_view::npos, i};
    }
}

} // namespace

bool LineLex::inLiteral(size_t offset) const {
    for (const LexSpan& span : spans) {
        if (offset < span.begin)
            return false;
        if (offset < span.end)
            return !span.isComment();
    }
    return false;
}

bool LineLex::anyLiteral() const {
    return std::any_of(spans.begin(), spans.end(), [](const LexSpan& s) { return !s.isComment(); });
}

bool IsCppFileName(std::string_view name) {
    const size_t dot = name.find_last_of("./");
    if (dot == std::string_view::npos || name[dot] != '.')
        return false;
    std::string ext(name.substr(dot + 1));
    for (char& c : ext)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return ext == "cpp" || ext == "cc" || ext == "cxx" || ext == "hpp" || ext == "hh" ||
           ext == "hxx";
}

bool EndsInSplice(std::string_view text, TextEncoding encoding, bool byteWise) {
    const size_t end = EndWithoutBlanks(text);
    if (end == 0 || text[end - 1] != '\\')
        return false;
    const size_t at = end - 1;
    if (byteWise || encoding == TextEncoding::Utf8 || at == 0 ||
        !IsLead932(static_cast<unsigned char>(text[at - 1])))
        return true;
    // The byte before could lead a pair: only a walk from the start tells.
    size_t i = 0;
    while (i < at)
        i += CharWidth(text, i, encoding);
    return i == at;
}

const LineLex& LexicalTracker::analyse(std::string_view text) {
    const TextEncoding encoding = options_.encoding;
    LineLex& lex = lex_;
    lex.spans.clear();
    lex.start = carry_.kind;
    lex.continued = carry_.continued;
    lex.byteContinued = carry_.byteContinued;
    lex.gapBeforeSplice = carry_.gapBeforeSplice;
    lex.beforeSplice = carry_.beforeSplice;
    lex.endsInOpenLiteral = false;
#if defined(__SSE2__)
    lex.holdsCr = blocks::HoldsAnyOf<'\r'>(text);
#else
    lex.holdsCr = std::memchr(text.data(), '\r', text.size()) != nullptr;
#endif
    // Copied only when a raw string is or was open: most lines have none.
    if (!carry_.rawDelimiter.empty() || !next_.rawDelimiter.empty())
        next_.rawDelimiter = carry_.rawDelimiter;

    const size_t n = text.size();
    LexKind kind = carry_.kind;
    size_t i = 0;
    if (kind != LexKind::Code)
        lex.spans.push_back({0, 0, kind, false, false});
    // Most lines end in something else than a backslash: one look at the end tells.
    const size_t last = EndWithoutBlanks(text);
    const bool backslashLast = last > 0 && text[last - 1] == '\\';
    lex.endsInSplice = backslashLast && EndsInSplice(text, encoding, false);
    lex.endsInByteSplice = encoding == TextEncoding::Cp932 ? backslashLast : lex.endsInSplice;
    const size_t spliceAt = lex.endsInSplice ? last - 1 : std::string_view::npos;
    // A backslash in a literal right before a splice escapes the next line's first character.
    next_.escapePending = false;
    const bool inLiteral = kind == LexKind::String || kind == LexKind::Char;
    if (inLiteral && carry_.escapePending && n > 0) {
        if (spliceAt == 0)
            next_.escapePending = true; // this line is the splice alone: the escape goes on
        i = spliceAt == 0 ? n : CharWidth(text, 0, encoding);
    }
    // A name that went on over a splice and ends on this line neither at its closer nor in
    // another splice was no name: the compiler read its text as code. The held text begins
    // with its opener.
    const char nameCloser = carry_.includeStep == IncludeStep::Name && !carry_.heldName.empty()
                                ? NameCloser(carry_.heldName[0])
                                : '>';
    if (carry_.includeStep == IncludeStep::Name) {
        const size_t cr = text.find('\r');
        if (text.substr(0, cr).find(nameCloser) == std::string_view::npos &&
            (cr != std::string_view::npos || !lex.endsInSplice ||
             carry_.heldName.size() > kLongestHeldName))
            return rereadAsCode(text);
    }
    // The <file name> of an #include is one token: a "//" or a quote in it is no comment or
    // literal. Where the directive goes on from the line before, so does the look for it.
    const bool lineStart = kind == LexKind::Code && !carry_.continued;
    IncludeStep include = lineStart ? IncludeStep::Start : carry_.includeStep;
    if (!carry_.includeWord.empty() || !next_.includeWord.empty())
        next_.includeWord = lineStart ? std::string() : carry_.includeWord;
    bool headerName = include == IncludeStep::Name && kind == LexKind::String;
    const std::string_view space = encoded::FullWidthSpace(encoding);
    size_t looked = 0; // how far the look for an include went on this line
    // The next CR in the line, where the compiler's line ends.
    size_t nextCr = lex.holdsCr ? text.find('\r') : std::string_view::npos;
    const auto findInclude = [&] {
        // Most lines begin with something no directive begins with: one look tells. A splice
        // at the end is no part of the line's text.
        const size_t cut = std::min(n, spliceAt);
        if (include == IncludeStep::Start && next_.includeWord.empty()) {
            size_t at = i;
            while (at < cut && (text[at] == ' ' || text[at] == '\t'))
                ++at;
            char c = at < cut ? text[at] : '#';
            if (c == '#') { // a directive: only a word in "i" may be an include
                do
                    ++at;
                while (at < cut && (text[at] == ' ' || text[at] == '\t'));
                c = at < cut && text[at] >= 'a' && text[at] <= 'z' && text[at] != 'i' ? 'a' : '#';
            }
            if (c != '#' && c != '%' && c != '/' && c != space[0] &&
                !IsBlank(static_cast<unsigned char>(c)) && c != '\r') {
                include = IncludeStep::None;
                looked = at;
                return;
            }
        }
        const IncludeScan scan = ScanInclude(text.substr(0, cut), i, include, space,
                                             lex.endsInSplice, next_.includeWord);
        looked = scan.looked;
        include = scan.step;
        if (include == IncludeStep::Name) {
            lex.spans.push_back(
                {static_cast<uint32_t>(scan.nameBegin), 0, LexKind::String, true, false});
            kind = LexKind::String;
            headerName = true;
            i = n;
        } else if (scan.nameBegin != std::string_view::npos) {
            lex.spans.push_back({static_cast<uint32_t>(scan.nameBegin),
                                 static_cast<uint32_t>(scan.next), LexKind::String, true, true});
            i = scan.next;
        } else {
            i = scan.next;
        }
    };
    // A splice may join the two bytes of a comment mark: "*" then "/" closes the comment,
    // "/" then "*" or "/" opens one, at this line's first byte past any splices at CRs.
    const size_t first = lex.holdsCr && carry_.beforeSplice != 0 ? SkipCrSplices(text, 0) : 0;
    if (first < n && kind == LexKind::BlockComment && carry_.beforeSplice == '*' &&
        text[first] == '/') {
        lex.spans.back().end = static_cast<uint32_t>(first + 1);
        lex.spans.back().closesHere = true;
        kind = LexKind::Code;
        i = first + 1;
    } else if (first < n && kind == LexKind::Code && carry_.beforeSplice == '/' &&
               (text[first] == '*' || text[first] == '/')) {
        next_.includeWord.clear(); // a "/" the look above held, now part of the comment
        if (text[first] == '*') {
            lex.spans.push_back({0, 0, LexKind::BlockComment, true, false});
            kind = LexKind::BlockComment;
            i = first + 1;
        } else { // a line comment, to a CR inside the line as in code: it ends the directive
            include = IncludeStep::None;
            const size_t end = LineCommentEnd(text, first + 1, encoding);
            lex.spans.push_back({0, static_cast<uint32_t>(end), LexKind::LineComment, true, true});
            kind = end < n ? LexKind::Code : LexKind::LineComment;
            i = end;
        }
    }

    if (kind == LexKind::Code && include != IncludeStep::None)
        findInclude();
    while (i < n) {
        LexSpan* open = lex.spans.empty() ? nullptr : &lex.spans.back();
        switch (kind) {
        case LexKind::Code: {
            const size_t stop = NextCodeStop(text, i);
            if (nextCr < i)
                nextCr = text.find('\r', i);
            if (nextCr < stop) {
                // The compiler's line ends here unless a backslash splices it: the next one
                // may be a directive.
                i = nextCr + 1;
                if (!EndsInSplice(text.substr(0, nextCr), encoding, false)) {
                    include = IncludeStep::Start;
                    next_.includeWord.clear();
                    findInclude();
                }
                break;
            }
            i = stop;
            if (i >= n)
                break;
            const char c = text[i];
            if (c == '/') {
                // A splice at a CR may stand inside the mark.
                const size_t second = lex.holdsCr ? PastCrSplices(text, i) : i + 1;
                const char next = second < n ? text[second] : '\0';
                if (next == '*') {
                    lex.spans.push_back(
                        {static_cast<uint32_t>(i), 0, LexKind::BlockComment, true, false});
                    kind = LexKind::BlockComment;
                    i = second + 1;
                } else if (next == '/') {
                    const size_t end = LineCommentEnd(text, second + 1, encoding);
                    lex.spans.push_back({static_cast<uint32_t>(i), static_cast<uint32_t>(end),
                                         LexKind::LineComment, true, true});
                    kind = end < n ? LexKind::Code : LexKind::LineComment;
                    i = end; // a CR that ends it is the code's to see
                } else {
                    ++i;
                }
            } else if (c == '"') {
                const size_t floor = lex.spans.empty() ? 0 : lex.spans.back().end;
                size_t begin = options_.cpp ? RawStringPrefix(text, i, floor, encoding, carry_.word,
                                                              lex.holdsCr, next_.rawDelimiter)
                                            : std::string_view::npos;
                if (begin != std::string_view::npos) {
                    lex.spans.push_back(
                        {static_cast<uint32_t>(begin), 0, LexKind::RawString, true, false});
                    kind = LexKind::RawString;
                    i = text.find('(', i) + 1;
                } else {
                    lex.spans.push_back(
                        {static_cast<uint32_t>(i), 0, LexKind::String, true, false});
                    kind = LexKind::String;
                    ++i;
                }
            } else { // a single quote
                const size_t floor = lex.spans.empty() ? 0 : lex.spans.back().end;
                if (options_.cpp &&
                    IsDigitSeparator(text, i, floor, encoding, carry_.word, lex.holdsCr)) {
                    ++i;
                } else {
                    lex.spans.push_back({static_cast<uint32_t>(i), 0, LexKind::Char, true, false});
                    kind = LexKind::Char;
                    ++i;
                }
            }
            break;
        }
        case LexKind::BlockComment: {
            // "*" and "/" are never second bytes: a byte search is safe in both encodings.
            const size_t close =
                lex.holdsCr ? CommentEndOverCrSplices(text, i) : CommentEnd(text, i);
            if (close == std::string_view::npos) {
                i = n;
            } else {
                i = lex.holdsCr ? PastCrSplices(text, close) + 1 : close + 2;
                open->end = static_cast<uint32_t>(i);
                open->closesHere = true;
                kind = LexKind::Code;
                // The look passed over the comments it met on its way.
                if (include != IncludeStep::None && i > looked)
                    findInclude();
            }
            break;
        }
        case LexKind::LineComment: { // goes on from the line before
            const size_t end = LineCommentEnd(text, i, encoding);
            if (end < n) {
                open->end = static_cast<uint32_t>(end);
                open->closesHere = true;
                kind = LexKind::Code;
            }
            i = end;
            break;
        }
        case LexKind::String:
        case LexKind::Char: {
            // A header name ends at ">" and knows no escapes.
            const char quote = kind == LexKind::Char ? '\'' : headerName ? nameCloser : '"';
            bool closed = false;
            while (i < n) {
                const char c = text[i];
                if (c == quote) {
                    ++i;
                    closed = true;
                    break;
                }
                if (c == '\r') {
                    // The compiler's line ends here: so does the open literal.
                    closed = true;
                    open->cutByCr = true;
                    break;
                }
                if (c == '\\' && lex.holdsCr) {
                    // A splice at a CR goes before escapes: the literal goes on after it.
                    const size_t after = SpliceAtCrEnd(text, i);
                    if (after != std::string_view::npos) {
                        i = after;
                        continue;
                    }
                }
                if (c == '\\' && !headerName) {
                    // What the backslash escapes comes after any splices that follow it.
                    const size_t escaped = lex.holdsCr ? PastCrSplices(text, i) : i + 1;
                    if (escaped == spliceAt) {
                        next_.escapePending = true;
                        i = n;
                        break;
                    }
                    i = std::min(n,
                                 escaped + (escaped < n ? CharWidth(text, escaped, encoding) : 0));
                    continue;
                }
                i += CharWidth(text, i, encoding);
            }
            if (closed) {
                open->end = static_cast<uint32_t>(i);
                open->closesHere = true;
                kind = LexKind::Code;
                headerName = false;
                include = IncludeStep::None;
            }
            break;
        }
        case LexKind::RawString: {
            size_t close = text.find(next_.rawDelimiter, i);
            if (close == std::string_view::npos) {
                i = n;
            } else {
                i = close + next_.rawDelimiter.size();
                open->end = static_cast<uint32_t>(i);
                open->closesHere = true;
                kind = LexKind::Code;
            }
            break;
        }
        }
    }
    if (!lex.spans.empty() && !lex.spans.back().closesHere)
        lex.spans.back().end = static_cast<uint32_t>(n);

    const bool literalOpen = kind == LexKind::String || kind == LexKind::Char;
    lex.endsInOpenLiteral = literalOpen || kind == LexKind::RawString;

    // What the next line begins in: a literal or a line comment goes on only through a splice.
    LexKind after = kind;
    if ((literalOpen || kind == LexKind::LineComment) && !lex.endsInSplice)
        after = LexKind::Code;
    lex.end = after;
    next_.kind = after;
    next_.continued = lex.endsInSplice && kind != LexKind::RawString;
    next_.byteContinued = lex.endsInByteSplice && kind != LexKind::RawString;
    // A name's text is held until the name closes, in case it does not.
    if (include == IncludeStep::Name && kind == LexKind::String && lex.endsInSplice) {
        const size_t from = lex.spans.back().begin;
        if (!lex.spans.back().opensHere)
            next_.heldName = carry_.heldName;
        else
            next_.heldName.clear();
        next_.heldName.append(text.substr(from, spliceAt - from));
    } else if (!next_.heldName.empty()) {
        next_.heldName.clear();
    }
    // The directive goes on over a splice, and over a comment that spans lines.
    next_.includeStep = IncludeStep::None;
    if (include == IncludeStep::Name
            ? kind == LexKind::String && lex.endsInSplice
            : include != IncludeStep::None &&
                  (kind == LexKind::BlockComment || (kind == LexKind::Code && lex.endsInSplice)))
        next_.includeStep = include;
    next_.gapBeforeSplice = false;
    next_.beforeSplice = 0;
    next_.word.kind = SplicedWord::None;
    if (lex.endsInSplice) {
        // What the splice joins on ends before its backslash, or before the backslash of a
        // CR right before it: the compiler splices at that CR too. A CR it does not splice
        // ends the compiler's line, and the splice stands alone on the next one.
        size_t end = last - 1;
        bool alone = false;
        while (end > 0 && text[end - 1] == '\r') {
            const std::string_view before = text.substr(0, end - 1);
            alone = !EndsInSplice(before, encoding, false);
            if (alone)
                break;
            end = EndWithoutBlanks(before) - 1;
        }
        if (alone) {
            next_.gapBeforeSplice = true;
        } else if (end > 0) {
            // Not the "*" of this line's own "/*", nor the "/" of a "*/".
            const char c = text[end - 1];
            const LexSpan* last = lex.spans.empty() ? nullptr : &lex.spans.back();
            const bool opener = c == '*' && last && last->kind == LexKind::BlockComment &&
                                last->opensHere && last->begin + 2 == end;
            const bool closer = c == '/' && last && last->closesHere && last->end == end;
            next_.beforeSplice = opener || closer ? 0 : c;
            next_.gapBeforeSplice = IsBlank(static_cast<unsigned char>(c));
            if (options_.cpp && kind == LexKind::Code)
                spliceWord(text, end, lex.spans.empty() ? 0 : lex.spans.back().end);
        } else {
            // A line that is only a splice joins what stood before the one above.
            if (carry_.continued) {
                next_.beforeSplice = carry_.beforeSplice;
                if (carry_.word.kind != SplicedWord::None)
                    next_.word = carry_.word;
            }
            next_.gapBeforeSplice = carry_.gapBeforeSplice || !carry_.continued;
        }
    }
    return lex;
}

void LexicalTracker::spliceWord(std::string_view text, size_t end, size_t floor) {
    const bool crSplices = lex_.holdsCr;
    const WordRun run = WordRunAt(text, end, floor, options_.encoding, carry_.word.kind, crSplices);
    if (!run.found)
        return;
    SplicedWord& word = next_.word;
    word.kind = run.number ? SplicedWord::Number : SplicedWord::Identifier;
    if (run.number)
        return;
    if (run.carried)
        word.text = carry_.word.text;
    else
        word.text.clear();
    const std::string_view cut = text.substr(run.begin, end - run.begin);
    if (crSplices)
        word.text.append(WithoutCrSplices(cut), 0, SplicedWord::kLongest);
    else
        word.text.append(cut.substr(0, std::min(cut.size(), SplicedWord::kLongest)));
    if (word.text.size() > SplicedWord::kLongest)
        word.text.resize(SplicedWord::kLongest);
}

const LineLex& LexicalTracker::rereadAsCode(std::string_view text) {
    // The name's lines so far were left as they were; so is this one. What follows it
    // begins in the state the code reading of them all leaves.
    thread_local std::string joined;
    joined.assign(carry_.heldName);
    joined.append(text);
    LexicalTracker code(options_);
    const LineLex& read = code.analyse(joined);
    LineLex& lex = lex_;
    lex.spans.assign(1, {0, static_cast<uint32_t>(text.size()), LexKind::String, false, true});
    lex.start = LexKind::String;
    lex.end = read.end;
    lex.endsInSplice = read.endsInSplice;
    lex.endsInByteSplice = read.endsInByteSplice;
    lex.endsInOpenLiteral = true;
    next_ = code.next_;
    return lex;
}

bool LexicalTracker::staysInComment(std::string_view text) const {
    if (carry_.kind != LexKind::BlockComment || carry_.continued || carry_.byteContinued ||
        carry_.beforeSplice != 0 || carry_.gapBeforeSplice || carry_.escapePending)
        return false;
    const size_t last = EndWithoutBlanks(text);
    if (last > 0 && text[last - 1] == '\\')
        return false;
    // A CR inside the line ends the compiler's line: the stages must mind it.
    if (std::memchr(text.data(), '\r', text.size()))
        return false;
    // Neither "*" nor "/" can be the second byte of a double-byte character: a byte search
    // finds every "*/" of both readings.
    for (size_t at = text.find('/', 1); at != std::string_view::npos; at = text.find('/', at + 1))
        if (text[at - 1] == '*')
            return false;
    return true;
}

bool LexicalTracker::closesEverything(std::string_view text) const {
    // A CR inside the line ends the compiler's line: only the analysis follows that.
    if (!atPlainCode() || HoldsBackslashOrCr(text))
        return false;
    const size_t n = text.size();
    for (size_t i = NextCodeStop(text, 0); i < n; i = NextCodeStop(text, i)) {
        const char c = text[i];
        if (c == '/') {
            const char next = i + 1 < n ? text[i + 1] : '\0';
            if (next == '/')
                return true; // a line comment to the end, and no splice
            if (next != '*') {
                ++i;
                continue;
            }
            const size_t close = CommentEnd(text, i + 2);
            if (close == std::string_view::npos)
                return false; // the comment goes on
            i = close + 2;
            continue;
        }
        if (options_.cpp && (c == '\'' || (i > 0 && text[i - 1] == 'R')))
            return false;
        // Without a backslash a literal ends at the next quote of its kind.
        const size_t close = text.find(c, i + 1);
        if (close == std::string_view::npos)
            return false;
        i = close + 1;
    }
    return true;
}

void LexicalTracker::accept() {
    // Field by field: the delimiter string is copied only when there is one.
    carry_.kind = next_.kind;
    carry_.continued = next_.continued;
    carry_.byteContinued = next_.byteContinued;
    carry_.gapBeforeSplice = next_.gapBeforeSplice;
    carry_.beforeSplice = next_.beforeSplice;
    carry_.escapePending = next_.escapePending;
    carry_.includeStep = next_.includeStep;
    if (!next_.heldName.empty() || !carry_.heldName.empty())
        carry_.heldName = next_.heldName;
    if (!next_.includeWord.empty() || !carry_.includeWord.empty())
        carry_.includeWord = next_.includeWord;
    if (!next_.rawDelimiter.empty() || !carry_.rawDelimiter.empty())
        carry_.rawDelimiter = next_.rawDelimiter;
    if (next_.word.kind != SplicedWord::None || carry_.word.kind != SplicedWord::None)
        carry_.word = next_.word;
}

} // namespace srctdy
