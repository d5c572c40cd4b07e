#include "engine/guard_chars.h"

#include <cstring>
#include <string_view>

namespace srctdy::guard {

size_t Utf8Length(const char* p, size_t i, size_t n) {
    unsigned char c = At(p, i);
    size_t len = c >= 0xC2 && c <= 0xDF   ? 2
                 : c >= 0xE0 && c <= 0xEF ? 3
                 : c >= 0xF0 && c <= 0xF4 ? 4
                                          : 0;
    if (len == 0 || i + len > n)
        return 0;
    unsigned char c1 = At(p, i + 1);
    unsigned char lo = c == 0xE0 ? 0xA0 : c == 0xF0 ? 0x90 : 0x80;
    unsigned char hi = c == 0xED ? 0x9F : c == 0xF4 ? 0x8F : 0xBF;
    if (c1 < lo || c1 > hi)
        return 0;
    for (size_t k = 2; k < len; ++k)
        if (!IsContinuation(At(p, i + k)))
            return 0;
    return len;
}

size_t FindCommentEnd(const char* p, size_t i, size_t n) {
    while (i < n) {
        const void* star = std::memchr(p + i, '*', n - i);
        if (!star)
            return std::string_view::npos;
        size_t j = static_cast<const char*>(star) - p;
        if (j + 1 < n && p[j + 1] == '/')
            return j + 2;
        i = j + 1;
    }
    return std::string_view::npos;
}

size_t PunctuatorLength(const char* p, size_t i, size_t n, bool cpp) {
    char c1 = i + 1 < n ? p[i + 1] : 0;
    char c2 = i + 2 < n ? p[i + 2] : 0;
    switch (p[i]) {
    case '-':
        if (c1 == '>')
            return cpp && c2 == '*' ? 3 : 2;
        return c1 == '-' || c1 == '=' ? 2 : 1;
    case '+':
        return c1 == '+' || c1 == '=' ? 2 : 1;
    case '&':
        return c1 == '&' || c1 == '=' ? 2 : 1;
    case '|':
        return c1 == '|' || c1 == '=' ? 2 : 1;
    case '<':
        if (c1 == '<')
            return c2 == '=' ? 3 : 2;
        if (c1 == '=')
            return cpp && c2 == '>' ? 3 : 2;
        return c1 == ':' || c1 == '%' ? 2 : 1;
    case '>':
        if (c1 == '>')
            return c2 == '=' ? 3 : 2;
        return c1 == '=' ? 2 : 1;
    case '*':
    case '/':
    case '!':
    case '^':
    case '=':
        return c1 == '=' ? 2 : 1;
    case '#':
        return c1 == '#' ? 2 : 1;
    case '%':
        if (c1 == ':')
            return c2 == '%' && i + 3 < n && p[i + 3] == ':' ? 4 : 2;
        return c1 == '=' || c1 == '>' ? 2 : 1;
    case ':':
        return c1 == '>' || c1 == ':' ? 2 : 1;
    case '.':
        if (c1 == '.' && c2 == '.')
            return 3;
        return cpp && c1 == '*' ? 2 : 1;
    default:
        return 1;
    }
}

} // namespace srctdy::guard
