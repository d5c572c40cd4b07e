#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "engine/byte_blocks.h"

// The character rules of the token guard's tokenizer. They are its own on purpose: nothing
// here is shared with the engine's lexical tracker or its double-byte helpers, so that one
// bug cannot hide in both.
namespace srctdy::guard {

// Character classes of the code reading.
enum : unsigned char { kOther, kBlank, kIdent, kDigit, kHigh, kQuote };

constexpr std::array<unsigned char, 256> MakeClasses() {
    std::array<unsigned char, 256> t{};
    for (int c = 0; c < 256; ++c) {
        // gcc takes a NUL for white space, and splices at a backslash before NULs.
        if (c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\0')
            t[c] = kBlank;
        else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$')
            t[c] = kIdent;
        else if (c >= '0' && c <= '9')
            t[c] = kDigit;
        else if (c >= 0x80)
            t[c] = kHigh;
        else if (c == '"' || c == '\'')
            t[c] = kQuote;
    }
    return t;
}
inline constexpr std::array<unsigned char, 256> kClass = MakeClasses();

enum HighKind { kHighIdent, kHighSpace, kHighOther };

// Whether text holds a CR. Inside a line the compiler takes one for a line end, as it takes an
// LF (old Mac files end every line so).
inline bool HasCr(std::string_view text) {
#if defined(__SSE2__)
    return blocks::HoldsAnyOf<'\r'>(text);
#else
    return std::memchr(text.data(), '\r', text.size()) != nullptr;
#endif
}

inline unsigned char At(const char* p, size_t i) {
    return static_cast<unsigned char>(p[i]);
}
inline bool IsBlank(unsigned char c) {
    return kClass[c] == kBlank;
}
inline bool IsWordChar(unsigned char c) {
    return kClass[c] == kIdent || kClass[c] == kDigit;
}

// The high bit of each byte of the eight in w that is a space or a tab.
inline uint64_t SpaceOrTabBits(uint64_t w) {
    constexpr uint64_t k7f = 0x7F7F7F7F7F7F7F7FULL;
    // The high bit of each byte of x that is zero.
    auto zeroBytes = [](uint64_t x) { return ~(((x & k7f) + k7f) | x | k7f); };
    return zeroBytes(w ^ 0x2020202020202020ULL) | zeroBytes(w ^ 0x0909090909090909ULL);
}
inline constexpr uint64_t kAllHighBits = 0x8080808080808080ULL;

// How many bytes at p are spaces or tabs, eight at a time (the usual indentation).
inline size_t LeadingSpacesOrTabs(const char* p, size_t n) {
    size_t i = 0;
    if constexpr (std::endian::native == std::endian::little) {
        for (; i + 8 <= n; i += 8) {
            uint64_t w;
            std::memcpy(&w, p + i, 8);
            const uint64_t blank = SpaceOrTabBits(w);
            if (blank != kAllHighBits)
                return i + static_cast<size_t>(std::countr_zero(~blank & kAllHighBits)) / 8;
        }
    }
    while (i < n && (p[i] == ' ' || p[i] == '\t'))
        ++i;
    return i;
}

// s without the tokenizer's blanks at both ends (a line holds no LF); the usual indentation
// is passed eight bytes at a time.
inline std::string_view Trimmed(std::string_view s) {
    const char* p = s.data();
    size_t b = LeadingSpacesOrTabs(p, s.size());
    size_t e = s.size();
    while (b < e && IsBlank(At(p, b)))
        ++b;
    while (e > b && IsBlank(At(p, e - 1)))
        --e;
    return {p + b, e - b};
}

// Whether the n bytes at p are spaces and tabs only (the usual indentation): eight at a time,
// the last eight overlapping the ones before; four at a time below eight.
inline bool OnlySpacesOrTabs(const char* p, size_t n) {
    if constexpr (std::endian::native == std::endian::little) {
        auto blankWord = [](uint64_t w) { return SpaceOrTabBits(w) == kAllHighBits; };
        if (n >= 8) {
            uint64_t w;
            for (size_t i = 0; i + 8 <= n; i += 8) {
                std::memcpy(&w, p + i, 8);
                if (!blankWord(w))
                    return false;
            }
            std::memcpy(&w, p + n - 8, 8);
            return blankWord(w);
        }
        if (n >= 4) {
            uint32_t a, b;
            std::memcpy(&a, p, 4);
            std::memcpy(&b, p + n - 4, 4);
            return blankWord(uint64_t{a} << 32 | b);
        }
    }
    for (size_t i = 0; i < n; ++i)
        if (p[i] != ' ' && p[i] != '\t')
            return false;
    return true;
}

// Whether the n bytes at p are all blanks.
inline bool AllBlank(const char* p, size_t n) {
    if (OnlySpacesOrTabs(p, n))
        return true;
    for (size_t i = 0; i < n; ++i)
        if (!IsBlank(At(p, i)))
            return false;
    return true;
}

// Code page 932: a lead byte pairs with the next byte only when that byte can be a second byte.
inline bool IsLead(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}
inline bool IsSecond(unsigned char c) {
    return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

inline bool IsContinuation(unsigned char c) {
    return c >= 0x80 && c <= 0xBF;
}

// Length of a valid UTF-8 sequence at p[i] (a byte 0x80 or above), 0 if it is not one.
size_t Utf8Length(const char* p, size_t i, size_t n);
// End (after "*/") of a block comment whose text starts at p[i]; npos when it goes on.
size_t FindCommentEnd(const char* p, size_t i, size_t n);
// Longest punctuator at p[i]; C++'s own ones (->*, .*, <=>) only in C++. Digraphs count as
// punctuators of their own; a byte that starts none is a token of one byte.
size_t PunctuatorLength(const char* p, size_t i, size_t n, bool cpp);

} // namespace srctdy::guard
