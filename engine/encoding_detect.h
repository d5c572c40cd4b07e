#pragma once

#include "engine/text_encoding.h"
#include "engine/utf8.h"

#include <cstddef>
#include <string_view>

namespace srctdy {

struct ConvertSettings;
class LineReader;

// Decides a file's encoding from its bytes, fed in order in pieces of any size. A UTF-8 mark
// at the start means UTF-8; so does valid UTF-8 that holds a character of several bytes. Text
// with no byte above 0x7F takes the encoding configured for it (only what is inserted differs).
// Anything else, Shift-JIS or bytes valid in neither, is code page 932, handled byte for byte.
class EncodingDetector {
public:
    void feed(std::string_view bytes);
    // Whether more bytes can no longer change the decision (a mark, or bytes that are not
    // UTF-8): the caller may stop reading.
    bool decided() const { return hasMark() || !validator_.ok(); }
    bool hasMark() const { return markMatched_ == utf8::kByteOrderMark.size(); }
    TextEncoding result(TextEncoding asciiEncoding) const;
    // The encoding the bytes fed so far show, should the rest not change it: unlike result(), a
    // character cut off at the end of the bytes is taken as whole.
    TextEncoding guess(TextEncoding asciiEncoding) const;

private:
    utf8::Validator validator_;
    size_t markMatched_ = 0; // leading bytes that matched the mark so far
    bool markFailed_ = false;
};

TextEncoding DetectEncoding(std::string_view bytes,
                            TextEncoding asciiEncoding = TextEncoding::Cp932);

// The encoding to convert bytes held in memory with: the one the settings force, or the
// detected one.
TextEncoding EncodingFor(std::string_view bytes, const ConvertSettings& settings);

// What a larger file's first block shows of its encoding, when the rest is not read ahead.
struct EncodingGuess {
    EncodingDetector detector; // fed with the first block; to be fed the rest as it is read
    bool tentative = false;    // the rest may still decide otherwise
};

// The same for a file whose reader has returned no line yet. A file that fits the reader's
// block is read once: the conversion takes it from there. A larger one is read on to its end,
// or until the decision is made, then rewound to offset 0 and read again; with guess, it is
// not: encoding is then what the first block shows, and guess tells whether that is still
// tentative. False on a read or seek error.
bool EncodingOfFile(LineReader& reader, const ConvertSettings& settings, TextEncoding& encoding,
                    EncodingGuess* guess = nullptr);
// For a file whose first block detector has seen, and whose reader holds that block: reads on
// from there to decide, then rewinds to offset 0 for the conversion. False on a read or seek
// error.
bool DecideFromTheRest(LineReader& reader, const ConvertSettings& settings,
                       EncodingDetector& detector, TextEncoding& encoding);

} // namespace srctdy
