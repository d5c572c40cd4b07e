#include "engine/convert_file.h"
#include "engine/line_output.h"
#include "engine/line_writer.h"
#include "platform/scripted_prompter.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <source_location>
#include <string>
#include <string_view>
#include <vector>

namespace srctdy {
namespace {

// The bytes of lines as the writer ends them.
std::string Lines(std::initializer_list<std::string_view> lines) {
    std::string bytes;
    for (std::string_view line : lines) {
        bytes.append(line);
        bytes.append("\r\n");
    }
    return bytes;
}

struct OutputSetup {
    int depth = 0; // braceDepth before the first line
    int commentMode = 0;
    Indentation indentation{true, "    "};
};

// Sends lines through the whole pipeline with every filter off, starting at setup.depth (made
// by lines of braces in front, whose output is left out), and returns what was written.
std::string RunOutputStage(const std::vector<std::string>& input, const OutputSetup& setup) {
    FormatOptions options;
    options.trimBlanks = options.fullWidthToHalfWidth = options.collapseEmptyLines = 0;
    options.commentMode = setup.commentMode;
    ConvertSettings settings;
    settings.indentOn = setup.indentation.on;
    settings.indentSizeIndex = setup.indentation.unit == "  "         ? 0
                               : setup.indentation.unit == "    "     ? 1
                               : setup.indentation.unit == "        " ? 2
                                                                      : 3;
    std::string text;
    const int lead = setup.depth < 0 ? -setup.depth : setup.depth;
    for (int i = 0; i < lead; ++i)
        text += setup.depth < 0 ? "}\n" : "{\n";
    for (const std::string& line : input)
        text += line + "\n";
    ScriptedPrompter prompter([](const std::string& m) { ADD_FAILURE() << m; });
    std::string bytes =
        ConvertText(text, options, settings, FileContext{"f.c", "2026-12-07"}, prompter);
    for (int i = 0; i < lead; ++i)
        bytes.erase(0, bytes.find('\n') + 1);
    return bytes;
}

void VerifyOutput(std::string_view expected, const std::vector<std::string>& input,
                  const OutputSetup& setup = {},
                  std::source_location where = std::source_location::current()) {
    testing::ScopedTrace trace(where.file_name(), static_cast<int>(where.line()), "case");
    EXPECT_EQ(expected, RunOutputStage(input, setup));
}

TEST(LineOutput, IndentsBlocksByBraceDepth) {
    VerifyOutput(
        Lines({"int f(void)", "{", "    int a;", "    if (a) {", "        a = 0;", "    }", "}"}),
        {"int f(void)", "{", "int a;", "if (a) {", "a = 0;", "}", "}"});
    // At most one level per line, whatever the number of braces.
    VerifyOutput(Lines({"{ {", "    a;", "}}", "b;"}), {"{ {", "a;", "}}", "b;"});
    VerifyOutput(Lines({"    } else {", "        x;"}), {"} else {", "x;"}, {.depth = 2});
    VerifyOutput(Lines({"x = 1; }", "y;"}), {"x = 1; }", "y;"}, {.depth = 1});
    // Braces inside comments count like any other in comment mode 0.
    VerifyOutput(Lines({"/* { */", "    x;"}), {"/* { */", "x;"});
    // A surplus "}" takes the depth below zero, and it stays there until enough "{" lines.
    VerifyOutput(Lines({"}", "{", "{", "    c;"}), {"}", "{", "{", "c;"});
}

TEST(LineOutput, WritesCaseAndDefaultOneLevelOut) {
    VerifyOutput(Lines({"    switch (x) {", "    case 1:", "        y = 0;", "        break;",
                        "    default:", "        y = 1;", "    }"}),
                 {"switch (x) {", "case 1:", "y = 0;", "break;", "default:", "y = 1;", "}"},
                 {.depth = 1});
    // The label's own "{" counts before it is moved out.
    VerifyOutput(Lines({"        case 1: {", "            y = 0;"}), {"case 1: {", "y = 0;"},
                 {.depth = 2});
    // Only the first bytes are compared: no word boundary, no blanks skipped.
    VerifyOutput(Lines({"    caseCount = 0;", "    defaultValue = 1;", "         case 1:"}),
                 {"caseCount = 0;", "defaultValue = 1;", " case 1:"}, {.depth = 2});
    // The word alone is enough; a line that goes on inside a literal is no label.
    VerifyOutput(Lines({"    default", "        s = \"a\\", "case\";"}),
                 {"default", "s = \"a\\", "case\";"}, {.depth = 2});
}

TEST(LineOutput, WritesPreprocessorLinesFlushLeftWithoutTabs) {
    VerifyOutput(Lines({"#define BEGIN {", "    x;", "#if A", "    y;"}),
                 {"#define BEGIN {", "x;", "#if\tA", "y;"}, {.depth = 1});
    // Only a "#" in the first byte counts: an untrimmed line is ordinary and keeps its tabs.
    VerifyOutput(Lines({"    \t#if\tA"}), {"\t#if\tA"}, {.depth = 1});
}

TEST(LineOutput, IgnoresBraceBytesInsideDoubleByteCharacters) {
    VerifyOutput(Lines({"    s = \"\x83{\";", "    t = \"\x81}\";", "    u;"}),
                 {"s = \"\x83{\";", "t = \"\x81}\";", "u;"}, {.depth = 1});
}

TEST(LineOutput, UsesTheChosenUnit) {
    EXPECT_EQ("  ", IndentUnitFor(0));
    EXPECT_EQ("    ", IndentUnitFor(1));
    EXPECT_EQ("        ", IndentUnitFor(2));
    EXPECT_EQ("\t", IndentUnitFor(3));
    EXPECT_EQ("\t", IndentUnitFor(-1));
    VerifyOutput(Lines({"{", "\t{", "\t\tx;"}), {"{", "{", "x;"},
                 {.indentation = {true, IndentUnitFor(3)}});
}

TEST(LineOutput, WritesLinesUnchangedWhenIndentationIsOff) {
    const OutputSetup off{.indentation = {false, "    "}};
    EXPECT_EQ(Lines({"{", "#if\tA", "x;", " case 1:", ""}),
              RunOutputStage({"{", "#if\tA", "x;", " case 1:", ""}, off));
}

TEST(LineOutput, WritesEmptyLineAsBarePrefix) {
    VerifyOutput(Lines({"        "}), {""}, {.depth = 2});
    VerifyOutput(Lines({""}), {""}, {.depth = -1});
}

TEST(LineOutput, WritesSplitCommentBeforeItsCodeWithTheSamePrefix) {
    struct Case {
        std::string comment;
        std::string expected;
    };
    const Case cases[] = {
        {"/* note */", Lines({"    /* note */", "    x;"})},
        {"", Lines({"    ", "    x;"})}, // a long line without comments still gets its line
    };
    for (const auto& [comment, expected] : cases) {
        std::string bytes;
        StringSink sink(bytes);
        LineWriter out(sink);
        ConversionState state;
        state.braceDepth = 1;
        const std::string raw = "x; " + comment;
        state.rawLine = raw;
        state.line = "x;";
        state.splitComment = comment;
        state.splitPending = true;
        WriteOutputLine(Indentation{true, "    "}, 3, state, out);
        out.flush();
        EXPECT_EQ(expected, bytes);
    }
}

TEST(LineOutput, WritesConvertedBlockCommentsAsLineComments) {
    // The depth stays, and the comment is closed for the line after.
    EXPECT_EQ(Lines({"// a", "//b", "//    c   ", "    y;"}),
              RunOutputStage({"/* a", "b", "c */", "y;"}, {.depth = 1, .commentMode = 1}));
    // A line that already holds "//" gets no second one.
    VerifyOutput(Lines({"    x = 1; // one   ", "    y;"}), {"x = 1; /* one */", "y;"},
                 {.depth = 1, .commentMode = 1});
    VerifyOutput(Lines({"// a", "  // b", "//c   "}), {"/* a", "  // b", "c */"},
                 {.commentMode = 1});
    // Inside an open comment braces do not count; on the closing line they do, but the line is
    // no case label.
    VerifyOutput(Lines({"// {", "//}", "//    case 1: {   ", "        x;"}),
                 {"/* {", "}", "case 1: { */", "x;"}, {.depth = 1, .commentMode = 1});
}

TEST(LineOutput, ResetsCountersAfterWriting) {
    struct Case {
        int commentMode;
        std::string rawLine;
        int commentStateAfter;
        int blankRunAfter;
    };
    const Case cases[] = {
        {1, "x", 0, 0},
        {1, "", 0, 1}, // an empty line as read keeps the count of empty lines
        {0, "", 2, 1}, // other modes never reset the comment state
        {3, "  ", 2, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.commentMode);
        std::string bytes;
        StringSink sink(bytes);
        LineWriter out(sink);
        ConversionState state;
        state.rawLine = c.rawLine;
        state.commentState = 2;
        state.blankRun = 1;
        WriteOutputLine(Indentation{false, ""}, c.commentMode, state, out);
        EXPECT_EQ(c.commentStateAfter, state.commentState);
        EXPECT_EQ(c.blankRunAfter, state.blankRun);
    }
}

TEST(LineOutputPipeline, ConvertsBlockCommentsInsideSwitchWithIndentation) {
    FormatOptions options;
    options.commentMode = 1;
    ConvertSettings settings;
    ScriptedPrompter prompter([](const std::string& m) { ADD_FAILURE() << m; });
    const std::string input = "void f(int x)\n"
                              "{\n"
                              "    switch (x) {\n"
                              "    case 1: /* one */\n"
                              "        y = 0;\n"
                              "    /* fall\n"
                              "       through */\n"
                              "    default:\n"
                              "        y = 1;\n"
                              "    }\n"
                              "}\n";
    // The label that closes a comment stays at the depth of the statements.
    EXPECT_EQ(Lines({"void f(int x)", "{", "    switch (x) {", "        case 1: // one   ",
                     "        y = 0;", "// fall", "//        through   ",
                     "    default:", "        y = 1;", "    }", "}"}),
              ConvertText(input, options, settings, FileContext{"f.c", "2024-01-02"}, prompter));
}

// Whether a "{" on a line counts, as the whole pipeline decides it (the encoding from the
// bytes): the line after it is indented or not. Each line is tried short and padded past 16
// bytes, where the brace scan takes sixteen bytes at a time.
TEST(LineOutputPipeline, BraceCountsOnlyWhereACharacterBegins) {
    struct Case {
        std::string line;
        bool opens;
    };
    std::vector<Case> cases = {
        {"s = \"\x80{\";", true},
        {"s = \"\x81{\";", false},
        {"s = \"\x9F{\";", false},
        {"s = \"\xA0{\";", true},
        {"s = \"\xDF{\";", true},
        {"s = \"\xE0{\";", false},
        {"s = \"\xFD{\";", true},
        {"s = \"\x88\x7F{\";", true}, // DEL is no second byte
        {"\x83{", false},
        {"\x83{{", true},
        {"{ s = \"\x81\x40\";", true},    // the first byte of the line
        {"s = \"\xE3\x81\x82{\";", true}, // UTF-8 "あ": its last byte leads in code page 932
        {"\xEF\xBB\xBF\xE3\x81\x82{", true},
    };
    for (int lead = 0xF0; lead <= 0xFC; ++lead)
        cases.push_back({std::string("s = \"") + static_cast<char>(lead) + "{\";", false});
    FormatOptions options;
    ConvertSettings settings;
    ScriptedPrompter prompter([](const std::string& m) { ADD_FAILURE() << m; });
    for (const Case& c : cases) {
        for (const std::string& line : {c.line, c.line + " /* padding past 16 */"}) {
            SCOPED_TRACE(testing::PrintToString(line));
            std::string output;
            ASSERT_EQ(kConverted,
                      ConvertBytes(line + "\nx;\n", "f.c", output, options, settings, prompter));
            EXPECT_EQ(line + "\r\n" + (c.opens ? "    x;" : "x;") + "\r\n", output);
        }
    }
}

// A brace counts wherever it stands in a line of any length: the brace scans look at sixteen
// bytes at a time, and at a short line or a line's last bytes in pieces. The lines are plain
// code, code after a comment, or code after a double-byte character (the careful walk).
TEST(LineOutputPipeline, EveryBraceCountsWhereverItStands) {
    FormatOptions options;
    ConvertSettings settings;
    ScriptedPrompter prompter([](const std::string& m) { ADD_FAILURE() << m; });
    for (const std::string prefix : {"", "/**/", "\"\x88\x9F\""}) {
        for (size_t length = prefix.size() + 1; length <= 40; ++length) {
            for (size_t at = prefix.size(); at < length; ++at) {
                for (const char brace : {'{', '}'}) {
                    std::string line = prefix + std::string(length - prefix.size(), 'x');
                    line[at] = brace;
                    SCOPED_TRACE(testing::PrintToString(line));
                    const bool open = brace == '{';
                    std::string output;
                    ASSERT_EQ(kConverted, ConvertBytes((open ? "" : "{\n") + line + "\nx;\n", "f.c",
                                                       output, options, settings, prompter));
                    EXPECT_EQ((open ? "" : "{\r\n") + line + "\r\n" + (open ? "    x;" : "x;") +
                                  "\r\n",
                              output);
                }
            }
        }
    }
}

} // namespace
} // namespace srctdy
