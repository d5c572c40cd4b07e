#include "engine/convert_file.h"
#include "engine/cp932.h"
#include "platform/scripted_prompter.h"

#include <gtest/gtest.h>

#include <vector>

namespace srctdy {
namespace {

struct FindCase {
    const char* text;
    const char* needle;
    size_t expected;
};

TEST(Cp932, FindMatchesOnlyOnCharacterBoundaries) {
    const size_t npos = std::string_view::npos;
    const FindCase cases[] = {
        {"a{b", "{", 1},
        {"\x88{", "{", npos},               // "{" as the second byte of a double-byte character
        {"\x88{{", "{", 2},                 // the next one is a character of its own
        {"\x81\x81\x40", "\x81\x40", npos}, // a pair beginning on a second byte
        {"a\x81\x40", "\x81\x40", 1},
        {"\x88", "\x88", 0}, // a lead byte at the end stands alone
        {"x/*y", "/*", 1},
        {"\x95\x5c\x5c", "\x5c", 2},
        {"\x88/", "/", 1}, // "/" cannot be a second byte: the stray lead byte stands alone
        {"\x88\x88/", "/", 2},
        {"\x88*/x", "*/", 1},
        {"\x88\t", "\t", 1},
        {"\x88\x7F{", "{", 2}, // nor can DEL
        {"\xFC\x7B{", "{", 2}, // 0xFC leads: its "{" is a second byte
        {"\xFD{", "{", 1},     // 0xFD does not lead
        {"\x88\x81\x40", "\x81\x40", npos},
        {"x//*", "/*", 2}, // a first byte that matches, then the whole mark one byte on
        {"abc", "", 0},
        {"", "", 0},
        {"", "a", npos},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, cp932::Find(c.text, c.needle)) << c.text << " / " << c.needle;
}

// The first bytes at the edges of the two lead ranges (0x81-0x9F, 0xE0-0xFC), the upper
// range whole, and the second bytes at the edges of theirs (0x40-0x7E, 0x80-0xFC).
TEST(Cp932, CharacterWalkAtTheEdgesOfTheByteRanges) {
    struct Byte {
        unsigned char value;
        bool fits; // leads a pair, or can be a second byte
    };
    std::vector<Byte> firsts = {{0x7F, false}, {0x80, false}, {0x81, true},  {0x9F, true},
                                {0xA0, false}, {0xDF, false}, {0xFD, false}, {0xFF, false}};
    for (int lead = 0xE0; lead <= 0xFC; ++lead)
        firsts.push_back({static_cast<unsigned char>(lead), true});
    const Byte seconds[] = {{0x00, false}, {0x3F, false}, {0x40, true}, {0x7B, true},
                            {0x7E, true},  {0x7F, false}, {0x80, true}, {0xA0, true},
                            {0xFC, true},  {0xFD, false}, {0xFF, false}};
    for (const Byte& first : firsts) {
        for (const Byte& second : seconds) {
            const std::string text{static_cast<char>(first.value), static_cast<char>(second.value)};
            SCOPED_TRACE(testing::Message()
                         << std::hex << int(first.value) << " " << int(second.value));
            EXPECT_EQ(first.fits && second.fits ? 2u : 1u, cp932::CharLength(text, 0));
        }
        // A "{" (a possible second byte) begins a character only after a byte that cannot lead.
        const std::string brace{static_cast<char>(first.value), '{'};
        EXPECT_EQ(first.fits ? std::string_view::npos : 1u, cp932::Find(brace, "{"))
            << std::hex << int(first.value);
        // A lead byte at the end of a text stands alone.
        EXPECT_EQ(1u, cp932::CharLength(std::string(1, static_cast<char>(first.value)), 0));
    }
}

TEST(Cp932, FindGoesOnAfterSecondByteHitsInLongText) {
    std::string text;
    for (int i = 0; i < 1000; ++i)
        text += "\x88{";
    text += "{";
    EXPECT_EQ(2000u, cp932::Find(text, "{"));
}

TEST(Cp932, ReplaceAllSkipsSecondBytes) {
    std::string text = "\x95\x5c\\n\\";
    EXPECT_TRUE(cp932::ReplaceAll(text, "\\", "/"));
    EXPECT_EQ("\x95\x5c/n/", text);
    EXPECT_FALSE(cp932::ReplaceAll(text, "zz", "y"));
    EXPECT_EQ("\x95\x5c/n/", text);
    // The inserted text is never searched again, of the same length or not.
    const char* const cases[][4] = {
        {"abb", "ab", "ba", "bab"}, {"aa", "a", "bb", "bbbb"}, {"aaa", "aa", "b", "ba"}};
    for (const auto& c : cases) {
        text = c[0];
        EXPECT_TRUE(cp932::ReplaceAll(text, c[1], c[2]));
        EXPECT_EQ(c[3], text) << c[0] << " " << c[1] << " " << c[2];
    }
}

TEST(Cp932, ConvertsBackslashAndTildeUnchanged) {
    EXPECT_EQ(std::optional<std::string>("\\~"), cp932::FromUtf8("\\~"));
    EXPECT_EQ(std::optional<std::string>("\x81\x40"), cp932::FromUtf8("\xE3\x80\x80"));
    EXPECT_EQ(std::optional<std::string>("[\x8A\xD6\x90\x94\x96\xBC]"),
              cp932::FromUtf8("[関数名]"));
    EXPECT_EQ(std::optional<std::string>("\xE3\x80\x80"), cp932::ToUtf8("\x81\x40"));
}

TEST(Cp932, RefusesWhatTheOtherSideCannotHold) {
    EXPECT_FALSE(cp932::FromUtf8("\xF0\x9F\x98\x80").has_value()); // an emoji
    EXPECT_FALSE(cp932::FromUtf8("\xFF").has_value());             // not UTF-8
    EXPECT_FALSE(cp932::ToUtf8("\x88").has_value());               // a lone lead byte
}

// The options' texts in UTF-8 are converted for a file in code page 932 whenever one changes;
// one that code page 932 cannot hold fails the file when an option on uses it.
TEST(Cp932, OptionTextsInUtf8AreConvertedForTheFile) {
    FormatOptions o;
    o.textEncoding = TextEncoding::Utf8;
    o.deleteConditionalBlocks = 1;
    ConvertSettings settings;
    settings.indentOn = false;
    const std::string input = "#if A\na\n#endif\n#if B\nb\n#endif\n";
    std::string out;
    ScriptedPrompter prompter([](const std::string& m) { ADD_FAILURE() << m; });
    for (const char* condition : {"A", "B"}) {
        o.conditionText = condition;
        EXPECT_EQ(kConverted, ConvertBytes(input, "m.c", out, o, settings, prompter));
        EXPECT_EQ(*condition == 'A' ? "#if B\r\nb\r\n#endif\r\n" : "#if A\r\na\r\n#endif\r\n", out);
    }
    o.deleteConditionalBlocks = 0;
    o.deleteMatchingLines = 1;
    o.searchText = "\xF0\x9F\x98\x80";
    prompter.expectMessage("not converted: the text \"\xF0\x9F\x98\x80\" cannot be written in "
                           "code page 932, this file's encoding");
    EXPECT_EQ(kTextsUnwritable, ConvertBytes(input, "m.c", out, o, settings, prompter));
    EXPECT_TRUE(prompter.allUsed());
}

} // namespace
} // namespace srctdy
