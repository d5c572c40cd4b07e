#include "support/c_tokens.h"

#include <cctype>
#include <cstdio>

namespace srctdy::testing {
namespace {

// One character of the input: 1 to 3 bytes at off, on physical line `line`.
struct Unit {
    size_t off;
    size_t len;
    int line;
};

constexpr int kEnd = -1;
constexpr int kWideSpace = 256; // the full-width space
constexpr int kWide = 257;      // any other character of more than one byte

bool IsBlankByte(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\f' || c == '\v' || c == '\r' || c == '\0';
}

// A physical line break and whether gcc's byte reading splices there.
struct Break {
    size_t off;
    bool splice;
};

class Lexer {
public:
    Lexer(std::string_view text, bool cpp, CharReading reading) : text_(text), cpp_(cpp) {
        Split(reading);
        RemoveSplices();
    }

    std::vector<CToken> Run();

private:
    void Split(CharReading reading);
    void RemoveSplices();
    int C(size_t k) const {
        if (k >= units_.size())
            return kEnd;
        const Unit& u = units_[k];
        if (u.len == 1) // a CR alone ends a line as an LF does, as gcc reads it
            return text_[u.off] == '\r' ? '\n' : static_cast<unsigned char>(text_[u.off]);
        const std::string_view bytes = text_.substr(u.off, u.len);
        if (bytes == "\r\n")
            return '\n';
        return bytes == "\x81\x40" || bytes == "\xE3\x80\x80" ? kWideSpace : kWide;
    }
    bool IsIdent(int c) const {
        return c == '_' || c == '$' || (c >= 0 && c < 128 && std::isalnum(c)) ||
               (c >= 128 && c != kWideSpace);
    }
    bool IsBlank(int c) const {
        return c == kWideSpace || (c >= 0 && c < 128 && IsBlankByte(static_cast<unsigned char>(c)));
    }
    size_t Quoted(size_t k) const;
    size_t Raw(size_t k) const;
    size_t Number(size_t k) const;
    // The end of a C++ user-defined literal's suffix after a literal ending at k.
    size_t Suffixed(size_t k) const {
        while (cpp_ && IsIdent(C(k)))
            ++k;
        return k;
    }
    size_t Punctuator(size_t k) const;
    size_t TokenEnd(size_t k) const;

    std::string_view text_;
    bool cpp_;
    std::vector<Unit> units_;
    std::vector<Break> breaks_;
};

void Lexer::Split(CharReading reading) {
    int line = 1;
    for (size_t i = 0; i < text_.size();) {
        const auto b = [&](size_t j) { return static_cast<unsigned char>(text_[j]); };
        size_t len = 1;
        if (text_.substr(i, 2) == "\r\n")
            len = 2; // one line end, as the compiler reads it
        else if (reading == CharReading::Cp932 && i + 1 < text_.size() &&
                 ((b(i) >= 0x81 && b(i) <= 0x9F) || (b(i) >= 0xE0 && b(i) <= 0xFC)) &&
                 b(i + 1) >= 0x40 && b(i + 1) <= 0xFC && b(i + 1) != 0x7F)
            len = 2;
        else if (reading == CharReading::Utf8 && text_.substr(i, 3) == "\xE3\x80\x80")
            len = 3;
        units_.push_back({i, len, line});
        if (b(i) == '\n' || b(i) == '\r') {
            size_t j = i;
            while (j > 0 && b(j - 1) != '\r' && IsBlankByte(b(j - 1)))
                --j;
            breaks_.push_back({i, j > 0 && b(j - 1) == 0x5C});
            ++line;
        }
        i += len;
    }
}

// A backslash, blanks only, then a line break: the two lines are one (gcc also allows the
// blanks, with a warning).
void Lexer::RemoveSplices() {
    std::vector<Unit> kept;
    for (size_t k = 0; k < units_.size(); ++k) {
        if (C(k) == '\\') {
            size_t j = k + 1;
            while (C(j) >= 0 && C(j) < 128 && IsBlankByte(static_cast<unsigned char>(C(j))))
                ++j;
            if (C(j) == '\n') {
                k = j;
                continue;
            }
        }
        kept.push_back(units_[k]);
    }
    units_.swap(kept);
}

// A string or character literal from its quote at k; an unclosed one ends at the line end.
size_t Lexer::Quoted(size_t k) const {
    const int quote = C(k++);
    while (C(k) != kEnd && C(k) != '\n') {
        const int c = C(k++);
        if (c == quote)
            break;
        if (c == '\\' && C(k) != kEnd && C(k) != '\n')
            ++k;
    }
    return k;
}

// A raw string from its quote at k, or Quoted when no delimiter follows.
size_t Lexer::Raw(size_t k) const {
    std::string close = ")";
    size_t j = k + 1;
    for (; C(j) != '(' && close.size() <= 16; ++j) {
        const int c = C(j);
        if (c == kEnd || c == kWide || c == kWideSpace || c == ')' || c == '\\' || IsBlank(c) ||
            c == '\n')
            return Quoted(k);
        close += static_cast<char>(c);
    }
    if (close.size() > 16)
        return Quoted(k);
    close += '"';
    for (++j; C(j) != kEnd; ++j) {
        size_t m = 0;
        while (m < close.size() && C(j + m) == static_cast<unsigned char>(close[m]))
            ++m;
        if (m == close.size())
            return j + m;
    }
    return j;
}

size_t Lexer::Number(size_t k) const {
    for (++k;;) {
        const int c = C(k);
        if ((c == 'e' || c == 'E' || c == 'p' || c == 'P') && (C(k + 1) == '+' || C(k + 1) == '-'))
            k += 2;
        else if (IsIdent(c) || c == '.')
            ++k;
        else if (cpp_ && c == '\'' && IsIdent(C(k + 1)))
            k += 2;
        else
            return k;
    }
}

size_t Lexer::Punctuator(size_t k) const {
    static const std::string_view kC[] = {"%:%:", "...", "<<=", ">>=", "->", "++", "--", "<<",
                                          ">>",   "<=",  ">=",  "==",  "!=", "&&", "||", "*=",
                                          "/=",   "%=",  "+=",  "-=",  "&=", "^=", "|=", "##",
                                          "<:",   ":>",  "<%",  "%>",  "%:"};
    static const std::string_view kCpp[] = {"->*", "<=>", "::", ".*"};
    size_t best = 1;
    const auto consider = [&](std::string_view p) {
        size_t m = 0;
        while (m < p.size() && C(k + m) == static_cast<unsigned char>(p[m]))
            ++m;
        if (m == p.size() && m > best)
            best = m;
    };
    for (std::string_view p : kC)
        consider(p);
    if (cpp_)
        for (std::string_view p : kCpp)
            consider(p);
    return k + best;
}

size_t Lexer::TokenEnd(size_t k) const {
    const int c = C(k);
    if (IsIdent(c) && !(c >= '0' && c <= '9')) {
        size_t j = k;
        std::string word;
        while (IsIdent(C(j)))
            word += static_cast<char>(C(j++) & 0x7F);
        const bool prefix = word == "L" || word == "u" || word == "U" || word == "u8";
        if (C(j) == '"' && cpp_ &&
            (word == "R" || word == "LR" || word == "uR" || word == "UR" || word == "u8R"))
            return Suffixed(Raw(j));
        if ((C(j) == '"' || C(j) == '\'') && prefix)
            return Suffixed(Quoted(j));
        return j;
    }
    if ((c >= '0' && c <= '9') || (c == '.' && C(k + 1) >= '0' && C(k + 1) <= '9'))
        return Number(k);
    if (c == '"' || c == '\'')
        return Suffixed(Quoted(k));
    // C++ reads `<::` as `<` `::` unless a `:` or `>` follows.
    if (cpp_ && c == '<' && C(k + 1) == ':' && C(k + 2) == ':' && C(k + 3) != ':' &&
        C(k + 3) != '>')
        return k + 1;
    return c < 128 ? Punctuator(k) : k + 1;
}

std::vector<CToken> Lexer::Run() {
    std::vector<CToken> tokens;
    std::vector<size_t> starts; // byte offset of each token
    bool atLineStart = true, inDirective = false, lastInDirective = false, space = false;
    int define = 0; // 1: after `#`, 2: after `define`, 3: after the macro's name
    for (size_t k = 0; k < units_.size();) {
        const int c = C(k);
        if (c == '\n') {
            atLineStart = true;
            inDirective = false;
            space = true;
            define = 0;
            ++k;
        } else if (IsBlank(c)) {
            space = true;
            ++k;
        } else if (c == '/' && C(k + 1) == '*') {
            for (k += 2; C(k) != kEnd && !(C(k) == '*' && C(k + 1) == '/');)
                ++k;
            k = C(k) == kEnd ? k : k + 2;
            space = true;
        } else if (c == '/' && C(k + 1) == '/') {
            while (C(k) != kEnd && C(k) != '\n')
                ++k;
        } else {
            const size_t end = TokenEnd(k);
            CToken t;
            for (size_t j = k; j < end; ++j)
                t.text.append(text_.substr(units_[j].off, units_[j].len));
            t.line = units_[k].line;
            const bool hash = t.text == "#" || t.text == "%:";
            t.lineStart = atLineStart && (hash || lastInDirective);
            if (atLineStart && hash) {
                inDirective = true;
                define = 1;
            } else if (define == 1 && t.text == "define") {
                define = 2;
            } else if (define == 2 && IsIdent(C(k))) {
                define = 3;
            } else {
                t.spaceBefore = define == 3 && t.text == "(" && space;
                define = 0;
            }
            lastInDirective = inDirective;
            atLineStart = space = false;
            starts.push_back(units_[k].off);
            tokens.push_back(std::move(t));
            k = end;
        }
    }
    tokens.push_back(CToken{});
    tokens.back().line = units_.empty() ? 1 : units_.back().line;
    starts.push_back(text_.size());
    size_t b = 0;
    for (size_t t = 0; t < tokens.size(); ++t) {
        std::string& sig = tokens[t].breaks;
        for (; b < breaks_.size() && breaks_[b].off < starts[t]; ++b) {
            if (breaks_[b].splice)
                sig += 's';
            else if (!(t == 0 && sig.empty()) && (sig.empty() || sig.back() != 'n'))
                sig += 'n';
        }
    }
    std::string& last = tokens.back().breaks;
    if (!last.empty() && last.back() == 'n')
        last.pop_back();
    return tokens;
}

// The token for a message: its text from byte `from` on (at most 60 bytes, odd bytes as
// \xHH), its line and its flags.
std::string Printable(const CToken& t, size_t from = 0) {
    std::string out = t.text.empty() ? "end of file" : (from > 0 ? "`..." : "`");
    const std::string_view shown = std::string_view(t.text).substr(from, 60);
    for (unsigned char c : shown) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", c);
        out += c >= 0x20 && c < 0x7F ? std::string(1, static_cast<char>(c)) : std::string(hex);
    }
    if (!t.text.empty())
        out += from + shown.size() < t.text.size() ? "...`" : "`";
    out += " at line " + std::to_string(t.line) + " (breaks \"" + t.breaks + "\"";
    out += std::string(t.lineStart ? ", starts a line" : "") +
           (t.spaceBefore ? ", space before" : "") + ")";
    return out;
}

} // namespace

std::vector<CToken> TokenizeC(std::string_view text, bool cpp, CharReading reading) {
    return Lexer(text, cpp, reading).Run();
}

bool IsCppPath(std::string_view path) {
    for (std::string_view ext : {".cpp", ".cc", ".cxx", ".hpp", ".hh", ".hxx"})
        if (path.size() > ext.size() && path.substr(path.size() - ext.size()) == ext)
            return true;
    return false;
}

std::string FirstTokenDifference(const std::vector<CToken>& before,
                                 const std::vector<CToken>& after) {
    for (size_t i = 0; i < before.size() && i < after.size(); ++i) {
        const CToken& a = before[i];
        const CToken& b = after[i];
        if (a.text != b.text || a.lineStart != b.lineStart || a.spaceBefore != b.spaceBefore ||
            a.breaks != b.breaks) {
            size_t same = 0;
            while (same < a.text.size() && same < b.text.size() && a.text[same] == b.text[same])
                ++same;
            const size_t from = same > 20 ? same - 20 : 0;
            return "token " + std::to_string(i + 1) + ": before " + Printable(a, from) +
                   ", after " + Printable(b, from) +
                   (i > 0 ? ", following " + Printable(before[i - 1]) : "");
        }
    }
    return before.size() == after.size() ? "" : "token counts differ";
}

} // namespace srctdy::testing
