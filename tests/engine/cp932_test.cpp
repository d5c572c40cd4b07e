#include "engine/cp932.h"

#include <gtest/gtest.h>

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
        {"\x88/", "/", npos},              // a stray lead byte takes even "/" as its second
        {"\x88\x88/", "/", 2},
        {"\x88*/x", "*/", npos},
        {"\x88\t", "\t", npos},
        {"abc", "", 0},
        {"", "a", npos},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, cp932::Find(c.text, c.needle)) << c.text << " / " << c.needle;
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

} // namespace
} // namespace srctdy
