#pragma once

#include <cstddef>
#include <string_view>

// UTF-8 helpers: the byte-order mark, validation in pieces, and the length of a character.
// In valid UTF-8 no byte of a multi-byte character is below 0x80, so searches for ASCII marks
// and for whole UTF-8 texts may go byte by byte.
namespace srctdy::utf8 {

inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Checks text fed in pieces (a character may be split between two pieces).
class Validator {
public:
    void feed(std::string_view bytes);
    // Whether everything fed so far can still be the start of valid UTF-8.
    bool ok() const { return ok_; }
    // Whether everything fed is valid UTF-8 and ends on a character boundary.
    bool complete() const { return ok_ && pending_ == 0; }
    // Whether a character of two or more bytes has been seen.
    bool sawMultiByte() const { return multiByte_; }

private:
    bool ok_ = true;
    bool multiByte_ = false;
    int pending_ = 0;                        // continuation bytes still expected
    unsigned char low_ = 0x80, high_ = 0xBF; // range of the next continuation byte
};

bool IsValid(std::string_view text);

// The length of the character at text[at]: 2 to 4 for a lead byte followed by its
// continuation bytes, 1 for anything else (ASCII, or a byte that does not form a character).
size_t CharLength(std::string_view text, size_t at);

} // namespace srctdy::utf8
