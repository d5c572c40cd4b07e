#include "engine/encoding_detect.h"
#include "engine/format_options.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace srctdy {
namespace {

constexpr TextEncoding kCp932 = TextEncoding::Cp932;
constexpr TextEncoding kUtf8 = TextEncoding::Utf8;

struct DetectCase {
    const char* name;
    std::string_view bytes;
    TextEncoding expected; // with ASCII text taken as code page 932
    bool decidedEarly;     // more bytes could not change the decision
};

TEST(EncodingDetect, DecidesFromAllTheBytesWhateverThePieces) {
    const DetectCase cases[] = {
        {"mark", "\xEF\xBB\xBFint x;\n", kUtf8, true},
        {"mark alone", "\xEF\xBB\xBF", kUtf8, true},
        {"mark before bytes that are not UTF-8", "\xEF\xBB\xBF\x82\xA0", kUtf8, true},
        {"UTF-8 kana", "/* \xE3\x81\x81@ */\n", kUtf8, false},
        {"UTF-8 two-byte", "caf\xC3\xA9", kUtf8, false},
        {"UTF-8 emoji", "s = \"\xF0\x9F\x98\x80\";", kUtf8, false},
        {"UTF-8 last code point", "\xF4\x8F\xBF\xBF", kUtf8, false},
        {"Shift-JIS", "/* \x83\x65\x83\x58\x83\x67 */\n", kCp932, true},
        {"Shift-JIS full-width space", "\x81\x40x", kCp932, true},
        {"Shift-JIS whose pairs look like UTF-8", "\xE3\x81\x81\x82", kCp932, true},
        {"ASCII", "int main(void) { return 0; }\n", kCp932, false},
        {"empty", "", kCp932, false},
        {"part of a mark", "\xEF\xBB", kCp932, false},
        {"cut in a character", "ok \xE3\x81", kCp932, false},
        {"overlong", "\xC0\x80", kCp932, true},
        {"surrogate", "\xED\xA0\x80", kCp932, true},
        {"above U+10FFFF", "\xF4\x90\x80\x80", kCp932, true},
        // Each lead byte's range of second bytes, at its edges.
        {"lowest two-byte", "\xC2\x80", kUtf8, false},
        {"overlong two-byte", "\xC1\xBF", kCp932, true},
        {"lowest three-byte", "\xE0\xA0\x80", kUtf8, false},
        {"overlong three-byte", "\xE0\x9F\xBF", kCp932, true},
        {"last before the surrogates", "\xED\x9F\xBF", kUtf8, false},
        {"lowest four-byte", "\xF0\x90\x80\x80", kUtf8, false},
        {"overlong four-byte", "\xF0\x8F\xBF\xBF", kCp932, true},
        {"lead byte past U+10FFFF", "\xF5\x80\x80\x80", kCp932, true},
        {"byte never in UTF-8", "a\xFF", kCp932, true},
        // ASCII is passed over eight bytes at a time: what follows a run is still read.
        {"UTF-8 after a long ASCII run", "int x = 1; int y = 2; /* \xC3\xA9 */", kUtf8, false},
        {"broken after a long ASCII run", "int x = 1; int y = 2; /* \xC3 */", kCp932, true},
        {"cut at the end of a long ASCII run", "int x = 1; int y = 2;\xE3\x81", kCp932, false},
    };
    for (const DetectCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.expected, DetectEncoding(c.bytes));
        // Fed a byte at a time, as a file read in blocks may split a character or the mark.
        EncodingDetector detector;
        for (char byte : c.bytes)
            detector.feed(std::string_view(&byte, 1));
        EXPECT_EQ(c.expected, detector.result(kCp932));
        EXPECT_EQ(c.decidedEarly, detector.decided());
    }
}

// A character of several bytes, or a byte UTF-8 never holds, is found at any offset of an
// ASCII run (the run is passed over many bytes at a time).
TEST(EncodingDetect, FindsTheFirstHighByteAtAnyOffset) {
    for (size_t offset = 0; offset <= 160; ++offset) {
        const std::string before(offset, 'a');
        const std::string after(160 - offset, 'b');
        EXPECT_EQ(kUtf8, DetectEncoding(before + "\xC3\xA9" + after)) << offset;
        EXPECT_EQ(kCp932, DetectEncoding(before + "\xFF" + after)) << offset;
    }
}

TEST(EncodingDetect, AsciiTextTakesTheConfiguredEncodingOnly) {
    EXPECT_EQ(kUtf8, DetectEncoding("int x;\n", kUtf8));
    EXPECT_EQ(kUtf8, DetectEncoding("", kUtf8));
    EXPECT_EQ(kCp932, DetectEncoding("\x83\x65", kUtf8));
    EXPECT_EQ(kUtf8, DetectEncoding("\xE6\xBC\xA2", kCp932));
}

TEST(EncodingDetect, SettingsForceOneEncoding) {
    ConvertSettings settings;
    EXPECT_EQ(kUtf8, EncodingFor("\xE6\xBC\xA2", settings));
    settings.forcedEncoding = kCp932;
    EXPECT_EQ(kCp932, EncodingFor("\xEF\xBB\xBF\xE6\xBC\xA2", settings));
    settings.forcedEncoding = kUtf8;
    EXPECT_EQ(kUtf8, EncodingFor("\x83\x65", settings));
}

} // namespace
} // namespace srctdy
