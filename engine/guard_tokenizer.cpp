#include "engine/guard_tokenizer.h"

#include "engine/guard_chars.h"

#include <cstring>

namespace srctdy {
namespace {

using namespace guard;

bool IsEncodingPrefix(std::string_view id) {
    return id == "L" || id == "u" || id == "U" || id == "u8";
}
bool IsRawPrefix(std::string_view id) {
    return id == "R" || id == "LR" || id == "uR" || id == "UR" || id == "u8R";
}

void PutVarint(std::string& out, uint64_t v) {
    while (v >= 0x80) {
        out.push_back(static_cast<char>(0x80 | (v & 0x7F)));
        v >>= 7;
    }
    out.push_back(static_cast<char>(v));
}

constexpr unsigned char kHeader = 0x10;
constexpr unsigned char kFirstOnLine = 0x01;      // only recorded where a directive starts or ends
constexpr unsigned char kSpaceBeforeParen = 0x02; // "#define F (x)": object-like
constexpr unsigned char kInnerSplices = 0x04;

} // namespace

GuardTokenizer::GuardTokenizer(TextEncoding encoding, bool cpp, bool markLines)
    : utf8_(encoding == TextEncoding::Utf8), cpp_(cpp), markLines_(markLines) {}

void GuardTokenizer::line(std::string_view text, long inputLine) {
    size_t from = 0;
    if (state_ == State::Raw) {
        // No splices inside a raw string: the line is taken as it stands.
        size_t t = text.find(rawEnd_);
        if (t == std::string_view::npos) {
            raw_.append(text);
            raw_.push_back('\n');
            return;
        }
        from = t + rawEnd_.size();
        raw_.append(text.substr(0, from));
        state_ = State::Code;
        emit(raw_, rawLine_, 0);
    }
    size_t last = text.size();
    while (last > from && IsBlank(static_cast<unsigned char>(text[last - 1])))
        --last;
    // Byte reading: 0x5C is a backslash wherever it stands, blanks after it allowed.
    bool byteSplice = last > from && text[last - 1] == '\\';
    bool splice = byteSplice && realBackslash(text, from, last - 1);
    if (joining_)
        splices_.back().line = inputLine;
    if (splice) {
        if (!joining_) {
            joining_ = true;
            join_.clear();
            firstLine_ = inputLine;
        }
        join_.append(text.data() + from, last - 1 - from);
        splices_.push_back({join_.size(), tails_.size(), text.size() - (last - 1), 0});
        tails_.append(text.substr(last - 1));
        return;
    }
    char finalBreak = byteSplice ? 'S' : 'N';
    if (joining_) {
        join_.append(text.data() + from, text.size() - from);
        lexLogical(join_.data(), join_.size(), finalBreak);
    } else {
        firstLine_ = inputLine;
        lexLogical(text.data() + from, text.size() - from, finalBreak);
    }
}

void GuardTokenizer::finish() {
    if (joining_)
        lexLogical(join_.data(), join_.size(), 0);
    if (state_ == State::Raw) {
        emit(raw_, rawLine_, 0);
        state_ = State::Code;
    }
    enc_ += gap_;
    gap_.clear();
    enc_.push_back('E');
}

bool GuardTokenizer::realBackslash(std::string_view text, size_t from, size_t at) const {
    if (utf8_)
        return true;
    // Any byte that cannot be a lead byte ends a character, so only the run of lead bytes
    // right before the backslash decides: an odd run leaves a lead byte that takes it.
    size_t k = at;
    while (k > from && IsLead(static_cast<unsigned char>(text[k - 1])))
        --k;
    return (at - k) % 2 == 0;
}

size_t GuardTokenizer::highChar(const char* p, size_t i, size_t n, int* kind) const {
    unsigned char c = At(p, i);
    if (utf8_) {
        size_t len = Utf8Length(p, i, n);
        if (len == 0) {
            *kind = kHighOther;
            return 1;
        }
        *kind = len == 3 && c == 0xE3 && At(p, i + 1) == 0x80 && At(p, i + 2) == 0x80 ? kHighSpace
                                                                                      : kHighIdent;
        return len;
    }
    if (IsLead(c) && i + 1 < n && IsSecond(At(p, i + 1))) {
        *kind = c == 0x81 && At(p, i + 1) == 0x40 ? kHighSpace : kHighIdent;
        return 2;
    }
    *kind = c >= 0xA1 && c <= 0xDF ? kHighIdent : kHighOther; // half-width katakana
    return 1;
}

size_t GuardTokenizer::scanIdentifier(const char* p, size_t i, size_t n) const {
    while (i < n) {
        unsigned char c = At(p, i);
        if (IsWordChar(c)) {
            ++i;
        } else if (c >= 0x80) {
            int kind;
            size_t len = highChar(p, i, n, &kind);
            if (kind != kHighIdent)
                break;
            i += len;
        } else {
            break;
        }
    }
    return i;
}

// A pp-number from p[i] on, its first digit (or dot and digit) already taken.
size_t GuardTokenizer::scanNumber(const char* p, size_t i, size_t n) const {
    while (i < n) {
        unsigned char c = At(p, i);
        if (IsWordChar(c)) {
            unsigned char lower = c | 0x20;
            if ((lower == 'e' || lower == 'p') && i + 1 < n && (p[i + 1] == '+' || p[i + 1] == '-'))
                i += 2;
            else
                ++i;
        } else if (c == '.') {
            ++i;
        } else if (c == '\'' && cpp_ && i + 1 < n && IsWordChar(At(p, i + 1))) {
            i += 2; // digit separator
        } else if (c >= 0x80) {
            int kind;
            size_t len = highChar(p, i, n, &kind);
            if (kind != kHighIdent)
                break;
            i += len;
        } else {
            break;
        }
    }
    return i;
}

// A string or character literal from its opening quote at p[i]; one not closed ends at the end
// of the logical line, less its trailing blanks: the literal is ill-formed anyway, and trimming
// a line must not count as a change of it.
size_t GuardTokenizer::scanQuoted(const char* p, size_t i, size_t n, bool* closed) const {
    const size_t open = i;
    char quote = p[i++];
    while (i < n) {
        unsigned char c = At(p, i);
        if (c == static_cast<unsigned char>(quote)) {
            if (closed)
                *closed = true;
            return i + 1;
        }
        if (c == '\\') {
            if (++i == n)
                break;
            c = At(p, i);
        }
        if (!utf8_ && IsLead(c) && i + 1 < n && IsSecond(At(p, i + 1)))
            i += 2;
        else
            ++i;
    }
    if (closed)
        *closed = false;
    size_t end = n;
    while (end > open + 1 && IsBlank(At(p, end - 1)))
        --end;
    return end;
}

void GuardTokenizer::addBreak(char kind) {
    if (kind == 'N' && !gap_.empty() && gap_.back() == 'N')
        return;
    gap_.push_back(kind);
}

void GuardTokenizer::lexLogical(const char* p, size_t n, char finalBreak) {
    nextSplice_ = 0;
    curLine_ = firstLine_;
    size_t i = 0;
    if (state_ == State::Block) {
        i = FindCommentEnd(p, 0, n);
        if (i == std::string_view::npos)
            i = n;
        else
            state_ = State::Code;
    }
    while (i < n) {
        unsigned char c = At(p, i);
        size_t s = i;
        switch (kClass[c]) {
        case kBlank:
            do
                ++i;
            while (i < n && IsBlank(At(p, i)));
            space_ = true;
            continue;
        case kIdent:
            i = scanIdentifier(p, i + 1, n);
            if (i < n && (p[i] == '"' || p[i] == '\'')) {
                std::string_view id(p + s, i - s);
                if (cpp_ && p[i] == '"' && IsRawPrefix(id)) {
                    size_t e = lexRaw(p, s, i, n);
                    if (e != std::string_view::npos) {
                        i = e;
                        continue;
                    }
                }
                if (IsEncodingPrefix(id))
                    i = scanQuoted(p, i, n);
            }
            break;
        case kDigit:
            i = scanNumber(p, i + 1, n);
            break;
        case kQuote:
            // An include's "name" knows no escapes: "dir\" ends at its second quote.
            if (c == '"' && step_ == Step::HeaderName && !newline_) {
                if (const void* close = std::memchr(p + i + 1, '"', n - i - 1)) {
                    i = static_cast<const char*>(close) - p + 1;
                    break;
                }
            }
            i = scanQuoted(p, i, n);
            break;
        case kHigh: {
            int kind;
            size_t len = highChar(p, i, n, &kind);
            if (kind == kHighSpace) {
                i += len;
                space_ = true;
                continue;
            }
            i = kind == kHighIdent ? scanIdentifier(p, i + len, n) : i + 1;
            break;
        }
        default:
            if (c == '/' && i + 1 < n && (p[i + 1] == '*' || p[i + 1] == '/')) {
                space_ = true;
                if (p[i + 1] == '/') {
                    i = n;
                } else if ((i = FindCommentEnd(p, i + 2, n)) == std::string_view::npos) {
                    i = n;
                    state_ = State::Block;
                }
                continue;
            }
            if (c == '.' && i + 1 < n && kClass[At(p, i + 1)] == kDigit) {
                i = scanNumber(p, i + 2, n);
                break;
            }
            // The name must stand on the directive's line: on the next one, "<" is an operator.
            if (c == '<' && step_ == Step::HeaderName && !newline_) {
                const void* close = std::memchr(p + i + 1, '>', n - i - 1);
                if (close) {
                    i = static_cast<const char*>(close) - p + 1;
                    break;
                }
            }
            i += PunctuatorLength(p, i, n, cpp_);
            break;
        }
        token(s, i, std::string_view(p + s, i - s));
    }
    if (state_ == State::Raw) {
        if (finalBreak)
            raw_.push_back('\n');
    } else {
        for (; nextSplice_ < splices_.size(); ++nextSplice_)
            addBreak('S');
        if (finalBreak)
            addBreak(finalBreak);
        if (state_ == State::Code)
            newline_ = true;
        space_ = true;
    }
    joining_ = false;
    if (!splices_.empty()) {
        splices_.clear();
        tails_.clear();
    }
}

// A raw string whose prefix starts at p[s] and quote stands at p[quote]. Returns where the token
// ends, n when it runs past the logical line (state Raw), npos when this is no raw string.
size_t GuardTokenizer::lexRaw(const char* p, size_t s, size_t quote, size_t n) {
    size_t d = quote + 1;
    for (; d < n && d <= quote + 17 && p[d] != '('; ++d)
        if (p[d] == ')' || p[d] == '\\' || p[d] == '"' || IsBlank(At(p, d)))
            return std::string_view::npos;
    // At most 16 characters of delimiter.
    if (d >= n || p[d] != '(' || d - quote - 1 > 16)
        return std::string_view::npos;
    // A splice is undone after the opening quote: one before the "(" puts a backslash into the
    // delimiter, which no delimiter may hold.
    for (size_t k = nextSplice_; k < splices_.size(); ++k)
        if (splices_[k].offset > quote && splices_[k].offset <= d)
            return std::string_view::npos;
    rawEnd_.assign(1, ')');
    rawEnd_.append(p + quote + 1, d - quote - 1);
    rawEnd_.push_back('"');

    // Splices are undone inside a raw string: rebuild the physical text from the prefix on.
    for (; nextSplice_ < splices_.size() && splices_[nextSplice_].offset <= s; ++nextSplice_) {
        addBreak('S');
        curLine_ = splices_[nextSplice_].line;
    }
    long line = curLine_;
    raw_.clear();
    size_t at = s;
    for (size_t k = nextSplice_; k < splices_.size(); ++k) {
        const Splice& sp = splices_[k];
        raw_.append(p + at, sp.offset - at);
        raw_.append(tails_, sp.tailStart, sp.tailSize);
        raw_.push_back('\n');
        at = sp.offset;
    }
    raw_.append(p + at, n - at);
    size_t t = raw_.find(rawEnd_, d + 1 - s);
    if (t == std::string::npos) {
        state_ = State::Raw;
        rawLine_ = line;
        nextSplice_ = splices_.size();
        return n;
    }
    size_t end = t + rawEnd_.size();
    size_t inserted = 0;
    for (; nextSplice_ < splices_.size(); ++nextSplice_) {
        const Splice& sp = splices_[nextSplice_];
        if (sp.offset - s + inserted >= end)
            break;
        inserted += sp.tailSize + 1;
        curLine_ = sp.line;
    }
    raw_.resize(end);
    emit(raw_, line, 0);
    return s + end - inserted;
}

void GuardTokenizer::token(size_t s, size_t e, std::string_view bytes) {
    for (; nextSplice_ < splices_.size() && splices_[nextSplice_].offset <= s; ++nextSplice_) {
        addBreak('S');
        curLine_ = splices_[nextSplice_].line;
    }
    long line = curLine_;
    unsigned inner = 0;
    for (; nextSplice_ < splices_.size() && splices_[nextSplice_].offset < e; ++nextSplice_) {
        ++inner;
        curLine_ = splices_[nextSplice_].line;
    }
    emit(bytes, line, inner);
}

void GuardTokenizer::emit(std::string_view bytes, long line, unsigned innerSplices) {
    if (markLines_ && (marks_.empty() || marks_.back().line != line))
        marks_.push_back({base_ + enc_.size(), line});
    if (!gap_.empty()) {
        enc_ += gap_;
        gap_.clear();
    }
    bool first = newline_;
    newline_ = false;
    bool hash = bytes.size() <= 2 && (bytes == "#" || bytes == "%:");
    unsigned char header = kHeader;
    // Where a line starts matters only where a directive starts or ends.
    if (first && (hash || inDirective_))
        header |= kFirstOnLine;
    if (first) {
        inDirective_ = false;
        step_ = Step::None;
    }
    if (step_ != Step::None) {
        switch (step_) {
        case Step::AfterHash:
            step_ = bytes == "define" ? Step::AfterDefine
                    : bytes == "include" || bytes == "include_next" || bytes == "import"
                        ? Step::HeaderName
                        : Step::None;
            break;
        case Step::AfterDefine:
            step_ = Step::AfterName;
            break;
        case Step::AfterName:
            if (bytes == "(" && space_)
                header |= kSpaceBeforeParen;
            step_ = Step::None;
            break;
        case Step::HeaderName:
        case Step::None:
            step_ = Step::None;
            break;
        }
    }
    if (hash && first) {
        inDirective_ = true;
        step_ = Step::AfterHash;
    }
    if (innerSplices)
        header |= kInnerSplices;
    char head[1 + 10];
    head[0] = static_cast<char>(header);
    size_t headSize = 1;
    for (uint64_t v = bytes.size();; v >>= 7) {
        head[headSize++] = static_cast<char>(v >= 0x80 ? 0x80 | (v & 0x7F) : v);
        if (v < 0x80)
            break;
    }
    enc_.append(head, headSize);
    enc_.append(bytes);
    if (innerSplices)
        PutVarint(enc_, innerSplices);
    space_ = false;
}

} // namespace srctdy
