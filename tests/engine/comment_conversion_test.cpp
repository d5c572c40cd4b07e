#include "engine/comment_conversion.h"
#include "engine/convert_file.h"
#include "platform/scripted_prompter.h"

#include <gtest/gtest.h>

#include <source_location>
#include <string>
#include <string_view>

namespace srctdy {
namespace {

using Where = std::source_location;

// Converts one line in the given mode, starting from commentStateBefore, and checks the line
// and the comment state that follow.
void VerifyConverted(std::string_view expected, std::string_view input, int commentMode,
                     int commentStateBefore = 0, int commentStateAfter = 0,
                     Where where = Where::current()) {
    testing::ScopedTrace trace(where.file_name(), static_cast<int>(where.line()), "case");
    ConversionState state;
    state.rawLine = input;
    state.line = input;
    state.commentState = commentStateBefore;
    ConvertComments(commentMode, state);
    EXPECT_EQ(expected, state.line);
    EXPECT_EQ(commentStateAfter, state.commentState);
    EXPECT_FALSE(state.splitPending);
}

// Mode 3 on one line: expects the comment part and the code part, or no split at all.
void VerifySplit(std::string_view expectedComment, std::string_view expectedCode,
                 std::string_view input, Where where = Where::current()) {
    testing::ScopedTrace trace(where.file_name(), static_cast<int>(where.line()), "case");
    ConversionState state;
    state.line = input;
    ConvertComments(3, state);
    EXPECT_TRUE(state.splitPending);
    EXPECT_EQ(expectedComment, state.splitComment);
    EXPECT_EQ(expectedCode, state.line);
}

void VerifyNotSplit(std::string_view input, Where where = Where::current()) {
    testing::ScopedTrace trace(where.file_name(), static_cast<int>(where.line()), "case");
    ConversionState state;
    state.line = input;
    ConvertComments(3, state);
    EXPECT_FALSE(state.splitPending);
    EXPECT_EQ("", state.splitComment);
    EXPECT_EQ(input, state.line);
}

// head, then filler, then tail: length bytes in all.
std::string WithLength(std::string_view head, std::string_view tail, size_t length) {
    std::string text(head);
    text.append(length - head.size() - tail.size(), 'x');
    text.append(tail);
    return text;
}

TEST(CommentConversion, TurnsBlockCommentsIntoLineComments) {
    VerifyConverted("x = 1; // one   ", "x = 1; /* one */", 1, 0, 2);
    VerifyConverted("// a    x = 0; // b   ", "/* a */ x = 0; /* b */", 1, 0, 2);
    // The opening scan stops at a line comment.
    VerifyConverted("a(); // see /* b", "a(); // see /* b", 1, 0, 0);
    // Pairs inside double quotes stay.
    VerifyConverted("p = \"/*\";", "p = \"/*\";", 1, 0, 0);
    VerifyConverted("q = \"*/\";", "q = \"*/\";", 1, 0, 0);
    // The closing scan does not stop at a line comment.
    VerifyConverted("a; // x   ", "a; // x */", 1, 0, 2);
    // Other modes leave block comments alone.
    VerifyConverted("x = 1; /* one */", "x = 1; /* one */", 0);
    // "*/" after a stray lead byte, or after UTF-8 text ("なし"), still closes.
    VerifyConverted("// \x88  ", "/* \x88*/", 1, 0, 2);
    VerifyConverted("// \xE3\x81\xAA\xE3\x81\x97   ", "/* \xE3\x81\xAA\xE3\x81\x97 */", 1, 0, 2);
    VerifyConverted("// \xE3\x81\xAA\xE3\x81\x97  ", "/* \xE3\x81\xAA\xE3\x81\x97*/", 1, 0, 2);
}

TEST(CommentConversion, CarriesAnOpenBlockCommentAcrossLines) {
    VerifyConverted("// head", "/* head", 1, 0, 1);
    VerifyConverted("body", "body", 1, 1, 1);
    VerifyConverted("tail   ", "tail */", 1, 1, 2);
    // While a comment is open a new "/*" is not converted; code after the "*/" stays in the
    // comment's line.
    VerifyConverted("end    x = 1; /* new", "end */ x = 1; /* new", 1, 1, 2);
    // A double quote in the comment text hides its "*/".
    VerifyConverted("say \"hi */", "say \"hi */", 1, 1, 1);
}

TEST(CommentConversion, TurnsLineCommentsIntoBlockComments) {
    VerifyConverted("x = 1; /* one */", "x = 1; // one", 2);
    VerifyConverted("a(); /* b /* c */", "a(); // b // c", 2);
    VerifyConverted("/* a /* b */ */", "/* a // b */", 2);
    VerifyConverted("s = \"http://x\";", "s = \"http://x\";", 2);
    VerifyConverted("s = \"//\"; /* x */", "s = \"//\"; // x", 2);
    VerifyConverted("x = 1;", "x = 1;", 2);
}

TEST(CommentConversion, SplitsLongLinesIntoCommentAndCode) {
    const std::string blockComment = WithLength("a = ", "; /* note */", 100);
    VerifySplit("/* note */", blockComment.substr(0, 90), blockComment);
    const std::string lineComment = WithLength("a = ", "; // note", 100);
    VerifySplit("// note", lineComment.substr(0, 93), lineComment);
    // Block comments are cut out and joined; the blanks around them stay in the code.
    VerifySplit("/* x *//* y */", "a  b  " + std::string(70, 'c'),
                "a /* x */ b /* y */ " + std::string(70, 'c'));
    // A long line without comments is split too, into an empty comment and itself.
    VerifySplit("", std::string(100, 'x'), std::string(100, 'x'));
}

TEST(CommentConversion, SplitsOnlyLinesOf81To255Bytes) {
    VerifyNotSplit(WithLength("x", "/* c */", 80));
    VerifyNotSplit(WithLength("x", "/* c */", 256));
    VerifySplit("/* c */", std::string(74, 'x'), WithLength("x", "/* c */", 81));
    VerifySplit("/* c */", std::string(248, 'x'), WithLength("x", "/* c */", 255));
}

TEST(CommentConversion, KeepsLongLinesWithAnOpenQuoteWhole) {
    VerifyNotSplit(WithLength("s = \"http://example.com/", "\";", 100));
    VerifyNotSplit(WithLength("c = '\"'; /* q */ ", "", 100));
    VerifyNotSplit(WithLength("s = \"a\\\"b\"; /* q */ ", "", 100));
    VerifyNotSplit(WithLength("c = 'a; /* q */ ", "", 100));
}

TEST(SplitCommentLine, SeparatesCodeFromComments) {
    struct Case {
        int line;
        std::string_view text;
        std::string_view code;
        std::string_view comment;
        int result;
    };
    const Case cases[] = {
        {__LINE__, "a /* x */ b", "a  b", "/* x */", 0},
        {__LINE__, "a // b /* c */", "a ", "// b /* c */", 0},
        // A "//" ends the walk wherever it stands.
        {__LINE__, "/* a // b */ c", "", "/* a // b */ c", 0},
        {__LINE__, "s = \"//\";", "s = \"", "//\";", 1},
        // Quotes inside block comments are not counted.
        {__LINE__, "/* it's \" */ x", " x", "/* it's \" */", 0},
        {__LINE__, "c = '\"';", "c = '\"';", "", 1},
        {__LINE__, "a /* open", "a ", "/* open", 0},
        // A "*/" outside a comment, a lone "/" and a lone "*" are code.
        {__LINE__, "x */ y / z * w", "x */ y / z * w", "", 0},
        {__LINE__, "/* a /* b */ c", " c", "/* a /* b */", 0},
        {__LINE__, "", "", "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "case on line " << c.line);
        std::string code = "stale";
        std::string comment = "stale";
        EXPECT_EQ(c.result, SplitCommentLine(c.text, code, comment));
        EXPECT_EQ(c.code, code);
        EXPECT_EQ(c.comment, comment);
    }
}

TEST(CommentConversionPipeline, WritesSplitCommentAboveItsCodeAtDepth) {
    FormatOptions options;
    options.commentMode = 3;
    ConvertSettings settings;
    ScriptedPrompter prompter([](const std::string& m) { ADD_FAILURE() << m; });
    const std::string code = WithLength("a = ", ";", 90);
    const std::string plain(100, 'p');
    const std::string input = "void f(void)\n"
                              "{\n"
                              "    " +
                              code +
                              " /* note */  \n"
                              "    " +
                              plain +
                              "\n"
                              "}\n";
    // Trimming runs first; the blank before the comment stays with the code.
    const std::string expected = "void f(void)\r\n"
                                 "{\r\n"
                                 "    /* note */\r\n"
                                 "    " +
                                 code +
                                 " \r\n"
                                 "    \r\n"
                                 "    " +
                                 plain +
                                 "\r\n"
                                 "}\r\n";
    EXPECT_EQ(expected,
              ConvertText(input, options, settings, FileContext{"f.c", "2024-01-02"}, prompter));
}

} // namespace
} // namespace srctdy
