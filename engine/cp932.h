#pragma once

#include <optional>
#include <string>
#include <string_view>

// Code page 932 (Shift-JIS) helpers. A lead byte pairs with the next byte only when that byte
// can be a second byte (0x40 to 0x7E, 0x80 to 0xFC); otherwise, and at the end of a text, it
// stands alone, so a blank, a brace or a comment mark after a stray lead byte is still seen.
// Every search inside a line goes through here, so that no match starts on a second byte.
namespace srctdy::cp932 {

inline bool IsLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

inline bool IsSecondByte(unsigned char c) {
    return c >= 0x40 && c <= 0xFC && c != 0x7F;
}

// The length of the character at text[at]: 2 for a lead byte and its second byte, else 1.
inline size_t CharLength(std::string_view text, size_t at) {
    return IsLeadByte(static_cast<unsigned char>(text[at])) && at + 1 < text.size() &&
                   IsSecondByte(static_cast<unsigned char>(text[at + 1]))
               ? 2
               : 1;
}

// Position of the first occurrence of needle in text at or after from (a character
// boundary) that starts on a character boundary; npos when there is none.
size_t Find(std::string_view text, std::string_view needle, size_t from = 0);

inline bool Contains(std::string_view text, std::string_view needle) {
    return Find(text, needle) != std::string_view::npos;
}

// Replaces every occurrence of from (character-aware, left to right, no overlaps, the
// inserted text never searched again). Returns whether anything was replaced.
bool ReplaceAll(std::string& text, std::string_view from, std::string_view to);

// Conversions with glibc's "CP932" table (its "SHIFT_JIS" maps 0x5C and 0x7E elsewhere).
// Empty when the text holds a character (or a byte sequence) the other side cannot hold.
std::optional<std::string> FromUtf8(std::string_view utf8);
std::optional<std::string> ToUtf8(std::string_view cp932);

} // namespace srctdy::cp932
