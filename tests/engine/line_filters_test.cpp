#include "engine/convert_file.h"
#include "engine/cp932.h"
#include "engine/line_filters.h"
#include "platform/scripted_prompter.h"

#include <gtest/gtest.h>

#include <ctime>
#include <initializer_list>
#include <string>

namespace srctdy {
namespace {

// Joins lines as the converter writes them: each ends with CR LF.
std::string Crlf(std::initializer_list<std::string> lines) {
    std::string out;
    for (const auto& l : lines)
        out += l + "\r\n";
    return out;
}

// Input with LF line ends.
std::string Lf(std::initializer_list<std::string> lines) {
    std::string out;
    for (const auto& l : lines)
        out += l + "\n";
    return out;
}

// Everything off, indentation off: only what a case switches on acts.
FormatOptions Off() {
    FormatOptions o;
    o.trimBlanks = o.fullWidthToHalfWidth = o.collapseEmptyLines = 0;
    return o;
}

// Converts input as a file main.c in encoding, on 2026-12-07.
std::string Convert(const std::string& input, const FormatOptions& options,
                    TextEncoding encoding = TextEncoding::Cp932) {
    FileContext file;
    std::string message;
    EXPECT_TRUE(MakeFileContext("main.c", encoding, options, file, message)) << message;
    file.dateText = "2026-12-07";
    ConvertSettings settings;
    settings.indentOn = false;
    ScriptedPrompter prompter([](const std::string& m) { ADD_FAILURE() << m; });
    // Every row also passes the token check: no filter may change what the compiler sees.
    ConvertReport report;
    std::string output = ConvertText(input, options, settings, file, prompter, &report);
    EXPECT_FALSE(report.guardFailed)
        << "token check refused it at input line " << report.partingLine;
    return output;
}

struct FilterCase {
    const char* name;
    std::string expected;
    std::string input;
    FormatOptions options;
    TextEncoding encoding = TextEncoding::Cp932;
};

void PrintTo(const FilterCase& c, std::ostream* os) {
    *os << c.name;
}

class LineFilters : public ::testing::TestWithParam<FilterCase> {};

TEST_P(LineFilters, ConvertsAsExpected) {
    const FilterCase& c = GetParam();
    EXPECT_EQ(c.expected, Convert(c.input, c.options, c.encoding));
}

FormatOptions With(std::initializer_list<int FormatOptions::*> flags, FormatOptions o = Off()) {
    for (auto flag : flags)
        o.*flag = 1;
    return o;
}

FormatOptions Texts(FormatOptions o, std::string search, std::string replace = {},
                    std::string condition = {}) {
    o.searchText = std::move(search);
    o.replaceText = std::move(replace);
    o.conditionText = std::move(condition);
    return o;
}

FormatOptions Utf8Texts(FormatOptions o) {
    o.textEncoding = TextEncoding::Utf8;
    return o;
}

using F = FormatOptions;
constexpr TextEncoding kUtf8 = TextEncoding::Utf8;
const FormatOptions kTrim = With({&F::trimBlanks});
const FormatOptions kFullWidth = With({&F::trimBlanks, &F::fullWidthToHalfWidth});
const FormatOptions kIf = With({&F::deleteConditionalBlocks});
const FormatOptions kReplace = With({&F::replaceOrDelete});

INSTANTIATE_TEST_SUITE_P(
    Cases, LineFilters,
    ::testing::Values(
        FilterCase{"TrimRemovesBlanksAtBothEnds", Crlf({"x = 1;"}), Lf({"\t  x = 1;  "}), kTrim},
        FilterCase{"TrimOffKeepsBlanks", Crlf({"\t  x = 1;  "}), Lf({"\t  x = 1;  "}), Off()},
        FilterCase{"TrimKeepsFullWidthSpace", Crlf({"\x81\x40x"}), Lf({" \x81\x40x "}), kTrim},
        FilterCase{"FullWidthSpaceAfterTrimBecomesTwoSpaces", Crlf({"  a"}),
                   Lf({"\x81\x40"
                       "a"}),
                   With({&F::trimBlanks, &F::fullWidthToHalfWidth})},
        // The name of an indented #include is no comment: the string after it is a string.
        FilterCase{"FullWidthStaysInStringAfterIndentedInclude",
                   Crlf({"#include <a/*b.h>", "s = \"\x81\x40\";"}),
                   Lf({"\t\t#include <a/*b.h>", "s = \"\x81\x40\";"}), kFullWidth},
        FilterCase{"FullWidthPairOnSecondByteIsNotASpace", Crlf({"\x88\x81\x40"}),
                   Lf({"\x88\x81\x40"}), With({&F::fullWidthToHalfWidth})},
        // A block comment's line after a splice loses its leading blanks unless a "*" before
        // the splice would meet a "/" there.
        FilterCase{"TrimTakesLeadingBlanksOfCommentAfterSplice",
                   Crlf({"/* a \\", "b */", "/* c *\\", "   / d */"}),
                   Lf({"/* a \\", "   b */", "/* c *\\", "   / d */"}), kTrim},
        FilterCase{"TrimKeepsTrailingBlanksOfOpenLiteral", Crlf({"c = 'a  ", "s = \"a  "}),
                   Lf({"c = 'a  ", "s = \"a  "}), kTrim},
        // Blanks after the backslash of a literal's splice are no text of the literal.
        FilterCase{"TrimTakesBlanksAfterSpliceInLiteral", Crlf({"s = \"a\\", "b\";"}),
                   Lf({"s = \"a\\  ", "b\";"}), kTrim},
        // The lines of a <name> that never closes stay as they were, blanks and all.
        FilterCase{"TrimKeepsTheBlanksOfANameThatNeverCloses", Crlf({"#include <a \\", "  b  "}),
                   Lf({"#include <a \\", "  b  "}), kTrim},
        FilterCase{"DeleteEmptyDropsBlankLineOnlyWithTrim", Crlf({"a", "b"}),
                   Lf({"a", "  ", "", "b"}), With({&F::trimBlanks, &F::deleteEmptyLines})},
        FilterCase{"DeleteEmptyWithoutTrimKeepsBlanks", Crlf({"a", "  ", "b"}),
                   Lf({"a", "  ", "", "b"}), With({&F::deleteEmptyLines})},
        FilterCase{"LineHoldingNulIsNotEmpty", Crlf({"a", std::string(1, '\0'), "b"}),
                   Lf({"a", std::string(1, '\0'), "b"}), With({&F::deleteEmptyLines})},
        FilterCase{"CollapsesRunOfEmptyLines", Crlf({"a", "", "b"}), Lf({"a", "", "", "", "b"}),
                   With({&F::collapseEmptyLines})},
        FilterCase{"BlankLineAfterEmptyLineIsDropped", Crlf({"a", "", "b"}),
                   Lf({"a", "", "  ", "b"}), With({&F::trimBlanks, &F::collapseEmptyLines})},
        FilterCase{"RunOfBlankLinesStaysWhole", Crlf({"a", "", "", "b"}),
                   Lf({"a", "  ", "\t", "b"}), With({&F::trimBlanks, &F::collapseEmptyLines})},
        FilterCase{"DeletesIfBlockContainingCondition", Crlf({"a", "b"}),
                   Lf({"a", "#if DEBUG", "x", "#else", "y", "#endif", "b"}),
                   Texts(kIf, "", "", "DEBUG")},
        FilterCase{"KeepsIfBlockWithoutCondition", Crlf({"#if RELEASE", "x", "#endif"}),
                   Lf({"#if RELEASE", "x", "#endif"}), Texts(kIf, "", "", "DEBUG")},
        FilterCase{"NestedEndifEndsTheDeletion", Crlf({"z", "#endif", "b"}),
                   Lf({"#ifdef DEBUG", "#if X", "y", "#endif", "z", "#endif", "b"}),
                   Texts(kIf, "", "", "DEBUG")},
        FilterCase{"IndentedEndifDoesNotClose", Crlf({"a"}),
                   Lf({"a", "#if DEBUG", "  #endif", "b", "c"}), Texts(kIf, "", "", "DEBUG")},
        FilterCase{"ConditionInsideIfWordCounts", Crlf({"a"}), Lf({"a", "#ifdef X", "b", "#endif"}),
                   Texts(kIf, "", "", "fd")},
        FilterCase{"IncludeIsNoIf", Crlf({"#include <a.h>", "b"}), Lf({"#include <a.h>", "b"}),
                   kIf},
        // Only a line that begins a directive opens or closes a block: not one inside a
        // comment or a literal, nor one a splice joins to the line before (in the byte reading
        // too: a line comment ending in a second byte 0x5C goes on).
        FilterCase{"IfInsideCommentOpensNoBlock", Crlf({"/*", "#if DEBUG", "*/", "a", "b"}),
                   Lf({"/*", "#if DEBUG", "*/", "a", "#if DEBUG", "x", "#endif", "b"}),
                   Texts(kIf, "", "", "DEBUG")},
        FilterCase{"IfAfterSpliceOpensNoBlock", Crlf({"#define X \\", "#if DEBUG", "a"}),
                   Lf({"#define X \\", "#if DEBUG", "a"}), Texts(kIf, "", "", "DEBUG")},
        FilterCase{"IfAfterByteSpliceOpensNoBlock", Crlf({"// \x95\x5c", "#if DEBUG", "a"}),
                   Lf({"// \x95\x5c", "#if DEBUG", "a"}), Texts(kIf, "", "", "DEBUG")},
        FilterCase{"EndifInsideCommentDoesNotClose", Crlf({"b"}),
                   Lf({"#if DEBUG", "/*", "#endif", "*/", "x", "#endif", "b"}),
                   Texts(kIf, "", "", "DEBUG")},
        FilterCase{"EndifInContinuedStringDoesNotClose", Crlf({"b"}),
                   Lf({"#if DEBUG", "s = \"a\\", "#endif", "\";", "#endif", "b"}),
                   Texts(kIf, "", "", "DEBUG")},
        FilterCase{"CommentOpenedOnIfLineHidesEndif", Crlf({"b"}),
                   Lf({"#if DEBUG /* a", "#endif", "*/", "#endif", "b"}),
                   Texts(kIf, "", "", "DEBUG")},
        FilterCase{"EmptyConditionOpensEveryIf", Crlf({"a", "b"}),
                   Lf({"a", "#ifndef X", "q", "#endif", "b"}), kIf},
        FilterCase{
            "EmptyLinesAroundDeletedBlockCollapse", Crlf({"a", "", "b"}),
            Lf({"a", "", "#if DEBUG", "x", "#endif", "", "b"}),
            Texts(With({&F::deleteConditionalBlocks, &F::collapseEmptyLines}), "", "", "DEBUG")},
        FilterCase{"DeletesLinesBeginningWithSearchText", Crlf({"a", " //DEL b"}),
                   Lf({"a", "//DEL x", " //DEL b"}),
                   Texts(With({&F::deleteMatchingLines}), "//DEL")},
        // A matching line goes only where dropping it joins no lines otherwise; inside a
        // comment it goes as in code.
        FilterCase{"DeleteLinesKeepsLineASpliceJoins", Crlf({"#define X a \\", "//DEL x", "y;"}),
                   Lf({"#define X a \\", "//DEL x", "y;"}),
                   Texts(With({&F::deleteMatchingLines}), "//DEL")},
        FilterCase{"DeleteLinesKeepsLineEndingInSplice", Crlf({"//DEL x \\", "y;"}),
                   Lf({"//DEL x \\", "y;"}), Texts(With({&F::deleteMatchingLines}), "//DEL")},
        FilterCase{"DeleteLinesKeepsLineOpeningComment", Crlf({"/*DEL", "f();", "*/", "b"}),
                   Lf({"/*DEL", "f();", "*/", "/*DEL g(); */", "b"}),
                   Texts(With({&F::deleteMatchingLines}), "/*DEL")},
        FilterCase{"DeleteLinesKeepsLineInContinuedLiteral", Crlf({"s = \"a\\", "DEL\";"}),
                   Lf({"s = \"a\\", "DEL\";"}), Texts(With({&F::deleteMatchingLines}), "DEL")},
        FilterCase{"DeleteLinesDropsLineInsideComment", Crlf({"/*", "*/"}),
                   Lf({"/*", "DEL x", "*/"}), Texts(With({&F::deleteMatchingLines}), "DEL")},
        FilterCase{"MatchingLineTestLooksAtLineAsRead", Crlf({"//DEL b"}), Lf({" //DEL b"}),
                   Texts(With({&F::deleteMatchingLines, &F::trimBlanks}), "//DEL")},
        FilterCase{"ReplacesEveryOccurrence", Crlf({"b = b + b;"}), Lf({"a = a + a;"}),
                   Texts(kReplace, "a", "b")},
        // The search text also stands in the blanks that trimming takes off: only the
        // matches that are left are replaced.
        FilterCase{"ReplacesOnlyWhatTrimmingLeaves", Crlf({"int X;"}), Lf({"\t\tint\t\t;\t\t"}),
                   Texts(With({&F::replaceOrDelete, &F::trimBlanks}), "\t\t", " X")},
        FilterCase{"ReplacesBlanksMadeOfAFullWidthSpace", Crlf({"a=b;"}),
                   Lf({"a\x81\x40"
                       "b;"}),
                   Texts(With({&F::replaceOrDelete, &F::fullWidthToHalfWidth}), "  ", "=")},
        FilterCase{"EmptyReplacementDeletes", Crlf({"x = 1; "}), Lf({"x = 1; /*TODO*/"}),
                   Texts(kReplace, "/*TODO*/")},
        FilterCase{"ReplacementIsNotSearchedAgain", Crlf({"aaaa"}), Lf({"aa"}),
                   Texts(kReplace, "a", "aa")},
        FilterCase{"DatePlaceholder", Crlf({"/* 2026-12-07 2026-12-07 */"}), Lf({"/* $D $D */"}),
                   Texts(kReplace, "$D", "%date%")},
        FilterCase{"FilenamePlaceholderOnlyOnLinesBeginningWithSearch",
                   Crlf({"main.c: main.c", " @F: @F"}), Lf({"@F: @F", " @F: @F"}),
                   Texts(kReplace, "@F", "%filename%")},
        FilterCase{"PlaceholderInsideLongerTextIsLiteral", Crlf({"x%date%xx"}), Lf({"xDx"}),
                   Texts(kReplace, "D", "%date%x")},
        FilterCase{"SearchNeverMatchesSecondByte",
                   Crlf({"\x95\x5c"
                         "X"}),
                   Lf({"\x95\x5c\x5c"}), Texts(kReplace, "\x5c", "X")},
        FilterCase{"EmptySearchTextReplacesNothing", Crlf({"abc"}), Lf({"abc"}),
                   Texts(kReplace, "", "x")},
        FilterCase{"BlankAfterStrayLeadByteIsTrimmed", Crlf({"a\x88"}), Lf({"a\x88 \t"}), kTrim},
        // UTF-8 files: U+3000 is the full-width space, and 81 40 inside a character is not.
        FilterCase{"Utf8FullWidthSpaceBecomesTwoSpaces", Crlf({"  a  b"}),
                   Lf({"\xE3\x80\x80"
                       "a\xE3\x80\x80"
                       "b"}),
                   kFullWidth, kUtf8},
        FilterCase{"Utf8KanaEndingIn81BeforeAtSignStays", Crlf({"/* \xE3\x81\x81@ */"}),
                   Lf({"/* \xE3\x81\x81@ */"}), kFullWidth, kUtf8},
        FilterCase{"Utf8CodePage932SpaceBytesStay", Crlf({"\x81\x40"}), Lf({"\x81\x40"}),
                   kFullWidth, kUtf8},
        FilterCase{"Utf8ReplacesRightAfterMultiByteCharacter",
                   Crlf({"\xE3\x81\x82"
                         "B"}),
                   Lf({"\xE3\x81\x82"
                       "A"}),
                   Utf8Texts(Texts(kReplace, "A", "B")), kUtf8},
        // The options dialog's code page 932 texts, used in a UTF-8 file.
        FilterCase{"Utf8UsesCodePage932TextsConverted", Crlf({"x\xE3\x81\x84\xE3\x81\x84x"}),
                   Lf({"x\xE3\x81\x82x"}), Texts(kReplace, "\x82\xA0", "\x82\xA2\x82\xA2"), kUtf8},
        FilterCase{"Utf8DeletesLinesBeginningWithConvertedText", Crlf({"b"}),
                   Lf({"\xE5\x89\x8A\xE9\x99\xA4 a", "b"}),
                   Texts(With({&F::deleteMatchingLines}), "\x8D\xED\x8F\x9C"), kUtf8},
        FilterCase{"Utf8ConditionConverted", Crlf({"b"}),
                   Lf({"#if \xE8\xA9\xA6", "x", "#endif", "b"}), Texts(kIf, "", "", "\x8E\x8E"),
                   kUtf8},
        // UTF-8 texts in a code page 932 file (the command line's).
        FilterCase{"Cp932UsesUtf8TextsConverted", Crlf({"a\x90V"}), Lf({"a\x8B\x8C"}),
                   Utf8Texts(Texts(kReplace, "\xE6\x97\xA7", "\xE6\x96\xB0")),
                   TextEncoding::Cp932}),
    [](const auto& info) { return std::string(info.param.name); });

// Trimming takes the bytes from tab to CR and the space, and nothing next to them, at either
// end and at indentation of any length (sixteen bytes are looked at at a time). The lines are
// plain code, code with a literal, and code with a full-width space to convert, which go
// through the filters by different ways.
TEST(LineFilters, TrimTakesTabToCrAndSpaceAtEitherEnd) {
    const FormatOptions options = With({&F::trimBlanks, &F::fullWidthToHalfWidth});
    for (const int byte : {0x08, 0x09, 0x0B, 0x0D, 0x0E, 0x1F, 0x20, 0x21}) {
        const bool blank = byte == 0x20 || (byte >= 0x09 && byte <= 0x0D);
        for (const size_t count : {1, 15, 16, 17, 33}) {
            for (const std::string text : {"x;", "s = \"a\";", "y; /*\x81\x40*/"}) {
                const std::string run(count, static_cast<char>(byte));
                SCOPED_TRACE(::testing::Message()
                             << "byte " << byte << " count " << count << " " << text);
                const std::string converted =
                    text.ends_with("*/") ? "y; /*  */" : text; // the full-width space
                EXPECT_EQ(Crlf({(blank ? "" : run) + converted}),
                          Convert(Lf({run + text}), options));
                EXPECT_EQ(Crlf({converted + (blank ? "" : run)}),
                          Convert(Lf({text + run}), options));
            }
        }
    }
}

// Only 81 40 is the full-width space, and only where a character starts: the lead bytes at
// the edges of their two ranges take the 81 after them as their second byte, while the bytes
// next to those ranges stand alone. 81 3F is a stray lead byte and a "?".
TEST(LineFilters, FullWidthSpaceOnlyWhereACharacterStarts) {
    const FormatOptions options = With({&F::fullWidthToHalfWidth});
    struct Row {
        std::string before; // the bytes before 81 40
        bool pairs;         // whether the last of them takes the 81
    };
    const Row rows[] = {
        {"\x80", false},     {"\x81", true},      {"\x9F", true},      {"\xA0", false},
        {"\xDF", false},     {"\xE0", true},      {"\xFC", true},      {"\xFD", false},
        {"\x81\x41", false}, {"\x81\x3F", false}, {"\x81\xFC", false}, {"a", false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(::testing::PrintToString(r.before));
        const std::string input = "/* " + r.before + "\x81\x40 */";
        EXPECT_EQ(Crlf({r.pairs ? input : "/* " + r.before + "   */"}),
                  Convert(Lf({input}), options));
    }
}

TEST(DefinitionComments, PrecedeFirstSurvivingIncludeOnce) {
    FormatOptions o = With({&F::insertDefinitionComments, &F::deleteMatchingLines});
    o.searchText = "#include <drop";
    std::string out =
        Convert(Lf({"/* x */", "#include <drop.h>", "#include <a.h>", "#include <b.h>"}), o);
    auto sjis = [](const char* utf8) { return cp932::FromUtf8(utf8).value(); };
    EXPECT_EQ(Crlf({"/* x */", sjis("/* 標準インクルード */"), sjis("/* ユーザーインクルード */"),
                    sjis("/* 外部関数定義 */"), sjis("/* DEFINE定義 */"), sjis("/* 構造体定義 */"),
                    sjis("/* グローバル変数定義 */"), "#include <a.h>", "#include <b.h>"}),
              out);
    // An "#include" inside a comment is none.
    EXPECT_EQ(Crlf({"/*", "#include <c.h>", "*/", sjis("/* 標準インクルード */"),
                    sjis("/* ユーザーインクルード */"), sjis("/* 外部関数定義 */"),
                    sjis("/* DEFINE定義 */"), sjis("/* 構造体定義 */"),
                    sjis("/* グローバル変数定義 */"), "#include <a.h>"}),
              Convert(Lf({"/*", "#include <c.h>", "*/", "#include <a.h>"}),
                      With({&F::insertDefinitionComments})));
}

TEST(DefinitionComments, NeverWrittenWithTemplateOn) {
    FormatOptions o = With({&F::insertDefinitionComments, &F::insertHeaderTemplate});
    o.templatePath = "/nonexistent/FileTitle.txt";
    ConvertSettings settings;
    settings.indentOn = false;
    ScriptedPrompter prompter([](const std::string& m) { ADD_FAILURE() << m; });
    prompter.expectMessage("雛形ファイルが存在しません。\n雛形挿入処理は無視されます。");
    EXPECT_EQ(Crlf({"#include <a.h>"}),
              ConvertText(Lf({"#include <a.h>"}), o, settings, {"a.c", ""}, prompter));
    EXPECT_TRUE(prompter.allUsed());
}

TEST(DefinitionComments, WrittenInTheFilesEncoding) {
    FormatOptions o = With({&F::insertDefinitionComments});
    std::string out = Convert(Lf({"#include <a.h>"}), o, kUtf8);
    EXPECT_EQ(Crlf({"/* 標準インクルード */", "/* ユーザーインクルード */", "/* 外部関数定義 */",
                    "/* DEFINE定義 */", "/* 構造体定義 */", "/* グローバル変数定義 */",
                    "#include <a.h>"}),
              out);
}

// %date% is written with four-digit years and two-digit months and days, at every edge.
TEST(DateText, WritesYearMonthAndDayWithTheirZeros) {
    struct Row {
        int year, month, day; // month 1 to 12
        const char* expected;
    };
    const Row rows[] = {
        {2026, 1, 2, "2026-01-02"},  {2026, 12, 8, "2026-12-08"}, {1999, 12, 31, "1999-12-31"},
        {2030, 9, 10, "2030-09-10"}, {2000, 10, 1, "2000-10-01"},
    };
    for (const Row& r : rows) {
        std::tm local{};
        local.tm_year = r.year - 1900;
        local.tm_mon = r.month - 1;
        local.tm_mday = r.day;
        EXPECT_EQ(r.expected, DateText(local));
    }
    EXPECT_EQ(10u, TodayText().size());
}

TEST(FileTexts, TextCodePage932CannotHoldFailsOnlyItsFiles) {
    FormatOptions o = Utf8Texts(Texts(kReplace, "\xF0\x9F\x98\x80", "x"));
    FileContext file;
    std::string message;
    EXPECT_FALSE(MakeFileContext("a.c", TextEncoding::Cp932, o, file, message));
    EXPECT_EQ("not converted: the text \"\xF0\x9F\x98\x80\" cannot be written in code page 932, "
              "this file's encoding",
              message);
    EXPECT_TRUE(MakeFileContext("b.c", kUtf8, o, file, message));
    // A text no switched-on condition uses does not matter.
    o.replaceOrDelete = 0;
    EXPECT_TRUE(MakeFileContext("a.c", TextEncoding::Cp932, o, file, message));
}

TEST(LineFilters, StartupDefaultsTrimConvertAndCollapse) {
    FormatOptions o = StartupFormatOptions("/tmp");
    EXPECT_EQ("/tmp/FileTitle.txt", o.templatePath);
    EXPECT_EQ(Crlf({"a", "", "  b"}), Convert(Lf({"  a  ", "", "",
                                                  "\x81\x40"
                                                  "b"}),
                                              o));
}

} // namespace
} // namespace srctdy
