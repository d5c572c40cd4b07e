#pragma once

// The tests' own C tokenizer: what the compiler sees of a file, to check that a conversion
// kept it. Written apart from the engine's comment tracking so that one mistake cannot hide
// itself in both.

#include <string>
#include <string_view>
#include <vector>

namespace srctdy::testing {

// How bytes above 0x7F are read: code page 932 pairs (lead 0x81-0x9F/0xE0-0xFC, second byte
// 0x40-0x7E/0x80-0xFC, so 0x5C may be a second byte) or UTF-8. The full-width space of either
// is white space outside literals.
enum class CharReading { Cp932, Utf8 };

// A preprocessing token after splices and comments are gone.
struct CToken {
    std::string text;         // bytes as written, splices removed; "" for the end of the file
    bool lineStart = false;   // begins a logical line that is, or follows, a directive line
    bool spaceBefore = false; // a `(` right after a #define name, with white space before it
    // Physical line breaks since the previous token, as gcc reads the bytes: 's' where the
    // line's last non-blank byte is 0x5C (a splice), 'n' otherwise; runs of 'n' are one 'n',
    // and plain breaks before the first token and after the last are dropped.
    std::string breaks;
    int line = 0; // physical line (from 1) where the token begins
};

// Tokens of text, ending with an end-of-file token that carries the last breaks. cpp adds
// raw strings and digit separators.
std::vector<CToken> TokenizeC(std::string_view text, bool cpp,
                              CharReading reading = CharReading::Cp932);

// Whether path names a C++ file by its extension (.cpp .cc .cxx .hpp .hh .hxx).
bool IsCppPath(std::string_view path);

// "" when both lists are the same; otherwise where they part, with line numbers.
std::string FirstTokenDifference(const std::vector<CToken>& before,
                                 const std::vector<CToken>& after);

} // namespace srctdy::testing
