#include "engine/encoding_detect.h"
#include "engine/format_options.h"
#include "engine/line_reader.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

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
        {"mark after the first byte", "x\xEF\xBB\xBF\x82\xA0", kCp932, true},
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
        {"highest two-byte", "\xDF\xBF", kUtf8, false},
        {"lowest three-byte", "\xE0\xA0\x80", kUtf8, false},
        {"overlong three-byte", "\xE0\x9F\xBF", kCp932, true},
        {"last before the surrogates", "\xED\x9F\xBF", kUtf8, false},
        {"lowest four-byte", "\xF0\x90\x80\x80", kUtf8, false},
        {"overlong four-byte", "\xF0\x8F\xBF\xBF", kCp932, true},
        {"four-byte leads between F0 and F4", "\xF1\x80\x80\x80\xF3\xBF\xBF\xBF", kUtf8, false},
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
        EXPECT_EQ(kCp932, DetectEncoding(before + "\xFF" + after, kUtf8)) << offset;
    }
}

// A lead byte with all its continuation bytes, or else a byte alone.
TEST(EncodingDetect, Utf8CharacterLengths) {
    const std::pair<std::string_view, size_t> cases[] = {{"a", 1},
                                                         {"\xC1\xBF", 1},
                                                         {"\xC2\x80", 2},
                                                         {"\xDF\xBF", 2},
                                                         {"\xE3\x81", 1},
                                                         {"\xE3\x81x", 1},
                                                         {"\xEF\xBF\xBF", 3},
                                                         {"\x80\x80", 1},
                                                         {"\xF4\x8F\xBF\xBF", 4},
                                                         {"\xF0\x9F\x98\x80x", 4},
                                                         {"\xF5\x80\x80\x80", 1}};
    for (const auto& [text, length] : cases)
        EXPECT_EQ(length, utf8::CharLength(text, 0)) << text;
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

// A file that fits the reader's first block is decided from it; a larger one from all its
// bytes (with a guess: from its first block, for now), then read again from its first byte.
// A read error is no end of the input.
TEST(EncodingDetect, DecidesAFileAndLeavesItsReaderAtTheStart) {
    testing::TempDir dir;
    const std::string block(1'200'000, 'a'); // more than the reader's block, kept one too
    const struct {
        std::string bytes;
        TextEncoding expected;
        bool tentative; // with a guess
    } cases[] = {{"ok \xE3\x81", kCp932, false},
                 {block + "\xC3\xA9\n", kUtf8, true},
                 {"\x82\xA0" + block, kCp932, false}};
    for (const auto& c : cases) {
        testing::WriteFile(dir / "in.c", c.bytes);
        for (bool withGuess : {false, true}) {
            SCOPED_TRACE(::testing::Message() << c.bytes.size() << " " << withGuess);
            const int fd = ::open((dir / "in.c").c_str(), O_RDONLY);
            ASSERT_GE(fd, 0);
            {
                LineReader reader(fd);
                TextEncoding encoding;
                EncodingGuess guess;
                ASSERT_TRUE(EncodingOfFile(reader, ConvertSettings{}, encoding,
                                           withGuess ? &guess : nullptr));
                EXPECT_EQ(withGuess && c.tentative, guess.tentative);
                EXPECT_EQ(guess.tentative ? kCp932 : c.expected, encoding);
                std::string line;
                ASSERT_TRUE(reader.next(line));
                EXPECT_EQ(c.bytes.substr(0, 8), line.substr(0, 8));
                while (reader.next(line)) {
                }
                EXPECT_EQ(c.bytes.size(), reader.bytesRead());
            }
            ::close(fd);
        }
    }
    const int fd = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    {
        LineReader reader(fd);
        TextEncoding encoding;
        EncodingDetector detector;
        EXPECT_FALSE(EncodingOfFile(reader, ConvertSettings{}, encoding));
        EXPECT_TRUE(reader.failed());
        EXPECT_FALSE(DecideFromTheRest(reader, ConvertSettings{}, detector, encoding));
    }
    ::close(fd);
}

} // namespace
} // namespace srctdy
