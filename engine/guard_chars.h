#pragma once

#include <array>
#include <cstddef>

// The character rules of the token guard's tokenizer. They are its own on purpose: nothing
// here is shared with the engine's lexical tracker or its double-byte helpers, so that one
// bug cannot hide in both.
namespace srctdy::guard {

// Character classes of the code reading.
enum : unsigned char { kOther, kBlank, kIdent, kDigit, kHigh, kQuote };

constexpr std::array<unsigned char, 256> MakeClasses() {
    std::array<unsigned char, 256> t{};
    for (int c = 0; c < 256; ++c) {
        if (c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r')
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

inline unsigned char At(const char* p, size_t i) {
    return static_cast<unsigned char>(p[i]);
}
inline bool IsBlank(unsigned char c) {
    return kClass[c] == kBlank;
}
inline bool IsWordChar(unsigned char c) {
    return kClass[c] == kIdent || kClass[c] == kDigit;
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
