#include "support/c_tokens.h"

#include <gtest/gtest.h>

namespace srctdy::testing {
namespace {

// Tokens in one line: "{breaks}" before a token that has some, "^" for a significant line
// start, "_" for a space before a #define's `(`; the end of the file shows its breaks only.
std::string Render(std::string_view text, bool cpp = false,
                   CharReading reading = CharReading::Cp932) {
    std::string out;
    for (const CToken& t : TokenizeC(text, cpp, reading)) {
        std::string one = (t.breaks.empty() ? "" : "{" + t.breaks + "}") +
                          (t.lineStart ? "^" : "") + (t.spaceBefore ? "_" : "") + t.text;
        if (!one.empty())
            out += (out.empty() ? "" : " ") + one;
    }
    return out;
}

TEST(CTokens, ReadsWhatTheCompilerSees) {
    struct Case {
        const char* expected;
        std::string_view input;
        bool cpp;
    };
    const Case cases[] = {
        {"a b", "a/**/b", false},
        {"^# define F _( x ) x {n}^# define G ( x ) x", "#define F/**/(x) x\n#define G(x) x\n",
         false},
        // A backslash with blanks after it still splices; the next line ends the directive.
        {"^# define A {s}1 {n}^x", "#define A \\  \n  1\nx\n", false},
        {"s = \"a\\\"/*\" '\"' c {n}\"open /* {n}b * /",
         "s = \"a\\\"/*\" '\"' c\n\"open /*\nb */\n", false},
        {"a ++ + b -> c <<= d ... e %:%: f : : g", "a+++b->c<<=d...e%:%:f::g", false},
        {"0x1e+5 1.e-3 .5f 1 '0", "0x1e+5 1.e-3 .5f 1'0", false},
        {"R\"x(a\"/*)x\" 1'000 u8'a'", "R\"x(a\"/*)x\" 1'000 u8'a'\n", true},
        {"R \"x(a\"", "R\"x(a\"/*)x\" 1'000 u8'a'\n", false},
        {"a :: b", "a::b", true},
        {"x < :: y ; v <: :> ; \"\"s 'a'_c", "x<::y; v<::>; \"\"s 'a'_c", true},
        // CR LF is one line end: it closes an open quote and ends a splice.
        {"\"a {n}b {s}", "\"a\r\nb\\\r\n", false},
        {"ab {s}", "a\\\r\nb", false},
        // A CR alone is a line end too (old Mac files): it ends a line comment, a directive and
        // an open quote, and a backslash before it splices.
        {"a {n}b {n}\"cd {s}", "a // x\rb\r\"c\\\rd", false},
        {"^# define A 1 {n}^B", "#define A 1\rB", false},
        // Plain breaks: none before the first token or after the last, runs count once.
        {"a {n}b {sn}c", "\n\na\n\n\nb\\\n\nc\n\n", false},
        // The full-width space is white space outside literals only.
        {"a b \"\x81\x40\" '\x81\x40'",
         "a\x81\x40"
         "b \"\x81\x40\" '\x81\x40'",
         false},
        // 0x5C as a second byte: no escape, no splice, but a splice in the byte reading.
        {"\"\x95\x5C\" {s}x", "\"\x95\x5C\"//\x95\x5C\nx\n", false},
        {"{s}", "/* \x95\x5C */ // C:\\\ny", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, Render(c.input, c.cpp)) << c.input;
}

TEST(CTokens, ReadsUtf8WithItsOwnSpaceAndBackslashes) {
    EXPECT_EQ("a b", Render("a\xE3\x80\x80"
                            "b",
                            false, CharReading::Utf8));
    // 0x95 0x5C is no character in UTF-8: the backslash splices the comment onto the next line.
    EXPECT_EQ("{s}", Render("//\x95\x5C\nx\n", false, CharReading::Utf8));
    EXPECT_EQ("{s}x", Render("//\x95\x5C\nx\n", false, CharReading::Cp932));
}

TEST(CTokens, NamesTheFirstDifferenceWithItsLines) {
    const auto tokens = [](std::string_view text) { return TokenizeC(text, false); };
    EXPECT_EQ("", FirstTokenDifference(tokens("a  b // c\n"), tokens("a b /* c */\n")));
    const std::string changed = FirstTokenDifference(tokens("a\nb c\n"), tokens("a\n\nb d\n"));
    EXPECT_NE(std::string::npos, changed.find("token 3: before `c` at line 2")) << changed;
    EXPECT_NE(std::string::npos, changed.find("after `d` at line 3")) << changed;
    // A line made or lost after a directive, a splice made: each is a difference.
    EXPECT_NE("", FirstTokenDifference(tokens("#if A\nx\n"), tokens("#if A x\n")));
    EXPECT_NE("", FirstTokenDifference(tokens("x; // a\n"), tokens("x; // a\\\n")));
    EXPECT_NE("", FirstTokenDifference(tokens("#define F (x)\n"), tokens("#define F(x)\n")));
    EXPECT_NE("", FirstTokenDifference(tokens("a\n"), tokens("a\nb\n")));
}

} // namespace
} // namespace srctdy::testing
