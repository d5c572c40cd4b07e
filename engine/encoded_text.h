#pragma once

#include "engine/cp932.h"
#include "engine/text_encoding.h"
#include "engine/utf8.h"

#include <string>
#include <string_view>

// The character rules of a file's encoding, for the stages that search or walk a line. In code
// page 932 a byte from 0x40 to 0x7E may be the second byte of a pair (braces, the backslash),
// so a search walks characters; bytes below 0x40 ("/", "*", the quotes, blanks) never are. In
// UTF-8 no ASCII byte is ever part of a longer character, so a byte search is safe.
namespace srctdy::encoded {

// The length of the character at text[at] (at < text.size()); 1 for a byte that does not
// start a character of several bytes. A walk that steps by it never lands on a second byte.
inline size_t CharLength(TextEncoding encoding, std::string_view text, size_t at) {
    return encoding == TextEncoding::Utf8 ? utf8::CharLength(text, at)
                                          : cp932::CharLength(text, at);
}

// The first occurrence of needle at or after from (a character boundary) that starts on a
// character boundary; npos when there is none.
size_t Find(TextEncoding encoding, std::string_view text, std::string_view needle, size_t from = 0);

inline bool Contains(TextEncoding encoding, std::string_view text, std::string_view needle) {
    return Find(encoding, text, needle) != std::string_view::npos;
}

// Replaces every occurrence of from by to (left to right, no overlaps, the inserted text never
// searched again). Returns whether anything was replaced.
bool ReplaceAll(TextEncoding encoding, std::string& text, std::string_view from,
                std::string_view to);

// The full-width space: 81 40 in code page 932, U+3000 (E3 80 80) in UTF-8.
inline std::string_view FullWidthSpace(TextEncoding encoding) {
    return encoding == TextEncoding::Utf8 ? "\xE3\x80\x80" : "\x81\x40";
}

} // namespace srctdy::encoded
