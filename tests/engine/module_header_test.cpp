#include "engine/convert_file.h"
#include "engine/cp932.h"
#include "engine/line_output.h"
#include "engine/line_writer.h"
#include "engine/module_header.h"
#include "platform/scripted_prompter.h"
#include "platform/string_table.h"

#include <gtest/gtest.h>

#include <source_location>
#include <string>
#include <string_view>
#include <vector>

namespace srctdy {
namespace {

// The markers as code page 932 bytes: "[関数名]" and "[概要]".
const std::string kName = "\x5B\x8A\xD6\x90\x94\x96\xBC\x5D";
const std::string kSummary = "\x5B\x8A\x54\x97\x76\x5D";
const std::string kClosing = std::string(68, '*') + "/";
const std::string kOpening = "/" + std::string(68, '*');

std::string Lines(const std::vector<std::string>& lines) {
    std::string bytes;
    for (const std::string& line : lines)
        bytes += line + "\r\n";
    return bytes;
}

// Runs lines through the whole pipeline with function names on, the filters off and
// indentation on (four spaces).
std::string RunStages(const std::vector<std::string>& input, int commentMode) {
    FormatOptions options;
    options.trimBlanks = options.fullWidthToHalfWidth = options.collapseEmptyLines = 0;
    options.commentMode = commentMode;
    options.insertFunctionNames = 1;
    std::string text;
    for (const std::string& line : input)
        text += line + "\n";
    ScriptedPrompter prompter([](const std::string& m) { ADD_FAILURE() << m; });
    return ConvertText(text, options, ConvertSettings{}, FileContext{"f.c", "2026-12-07"},
                       prompter);
}

void VerifyHeaders(const std::vector<std::string>& expected, const std::vector<std::string>& input,
                   int commentMode = 0,
                   std::source_location where = std::source_location::current()) {
    testing::ScopedTrace trace(where.file_name(), static_cast<int>(where.line()), "case");
    EXPECT_EQ(Lines(expected), RunStages(input, commentMode));
}

// n filler lines.
std::vector<std::string> Filler(size_t n) {
    return std::vector<std::string>(n, "  text");
}

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

TEST(ModuleHeader, MarkersMatchTheStringTable) {
    EXPECT_EQ(kName, cp932::FromUtf8(text::kFunctionNameMarker));
    EXPECT_EQ(kSummary, cp932::FromUtf8(text::kSummaryMarker));
}

TEST(ModuleHeader, InsertsTheFunctionLineIntoAnEmptyNameField) {
    const std::vector<std::string> once = {kOpening,
                                           kName,
                                           "int add(int a, int b)",
                                           kSummary,
                                           "  Adds two numbers.",
                                           kClosing,
                                           "int add(int a, int b)",
                                           "{"};
    VerifyHeaders(once, {kOpening, kName, kSummary, "  Adds two numbers.", kClosing,
                         "int add(int a, int b)", "{"});
    // A second run finds the field filled and changes nothing.
    VerifyHeaders(once, once);
}

TEST(ModuleHeader, CutsTheNameBeforeTheFirstBraceOrSlash) {
    VerifyHeaders(
        {kName, "static int f(int a) ", kSummary, kClosing, "static int f(int a) { return a; }"},
        {kName, kSummary, kClosing, "static int f(int a) { return a; }"});
    VerifyHeaders({kName, "void g(void) ", kSummary, kClosing, "void g(void) /* x */"},
                  {kName, kSummary, kClosing, "void g(void) /* x */"});
    VerifyHeaders({kName, "", kSummary, kClosing, "{"}, {kName, kSummary, kClosing, "{"});
}

TEST(ModuleHeader, KeepsLongHeldLinesAndNamesWhole) {
    const std::string longText(600, 't');
    const std::string longName(400, 'n');
    VerifyHeaders({kName, longName, kSummary, longText, kClosing, longName + "{", "    x;"},
                  {kName, kSummary, longText, kClosing, longName + "{", "x;"});
}

TEST(ModuleHeader, WritesNoNameWhenTheFieldIsNotDirectlyEmpty) {
    // The closing line right after the start marker.
    VerifyHeaders({kName, kClosing, "int f(void)"}, {kName, kClosing, "int f(void)"});
    // A trailing blank after the summary marker.
    VerifyHeaders({kName, kSummary + " ", kClosing, "int f(void)"},
                  {kName, kSummary + " ", kClosing, "int f(void)"});
    // A closing line at the end of the input.
    VerifyHeaders({kName, kSummary, kClosing}, {kName, kSummary, kClosing});
}

TEST(ModuleHeader, RecognisesOnlyExactMarkers) {
    // Blanks before the start marker, or an asterisk more or less on the closing line, make
    // ordinary lines; text after the start marker does not.
    VerifyHeaders({"{", "     " + kName, "    " + kSummary, "    *" + kClosing},
                  {"{", " " + kName, kSummary, "*" + kClosing});
    VerifyHeaders({kName + " x", "f ", kSummary, kClosing, "f {"},
                  {kName + " x", kSummary, kClosing, "f {"});
    VerifyHeaders({kName, kSummary, kClosing.substr(1), kClosing + " ", "f"},
                  {kName, kSummary, kClosing.substr(1), kClosing + " ", "f"});
}

TEST(ModuleHeader, HoldsAtMost249LinesAfterTheMarker) {
    VerifyHeaders(Join({{"{", "    " + kName, "int f(void)", kSummary},
                        Filler(248),
                        {kClosing, "    int f(void)"}}),
                  Join({{"{", kName, kSummary}, Filler(248), {kClosing, "int f(void)"}}));
    // The 250th line writes the block unchanged; the later closing line is an ordinary one.
    VerifyHeaders(
        Join(
            {{"{", "    " + kName, kSummary}, Filler(249), {"    " + kClosing, "    int f(void)"}}),
        Join({{"{", kName, kSummary}, Filler(249), {kClosing, "int f(void)"}}));
}

TEST(ModuleHeader, WritesHeldLinesUnchangedAtANewMarkerOrTheEnd) {
    VerifyHeaders({kName, kSummary, kName, "int f(void)", kSummary, kClosing, "int f(void)"},
                  {kName, kSummary, kName, kSummary, kClosing, "int f(void)"});
    VerifyHeaders({kName, kSummary, "  text"}, {kName, kSummary, "  text"});
    VerifyHeaders({kName, kSummary}, {kName, kSummary});
}

TEST(ModuleHeader, LeavesBracesOfHeldLinesUncounted) {
    VerifyHeaders({kName, "f()", kSummary, "{ {", kClosing, "f()", "{", "    x;"},
                  {kName, kSummary, "{ {", kClosing, "f()", "{", "x;"});
    // A closing line without an open block is indented like any line.
    VerifyHeaders({"{", "    " + kClosing}, {"{", kClosing});
}

TEST(ModuleHeader, KeepsTheBlockACommentInBlockToLineCommentMode) {
    // Held lines are written as read, so converting the opening line alone would turn the
    // block into code: the whole block comment stays as it is.
    EXPECT_EQ(
        Lines({kOpening, kName, "int f(void)", kSummary, "  text", kClosing, "int f(void)", "{",
               "    // x   "}),
        RunStages({kOpening, kName, kSummary, "  text", kClosing, "int f(void)", "{", "/* x */"},
                  1));
}

TEST(ModuleHeader, ResetsBlankRunOnlyWhenItWritesTheBlock) {
    std::string bytes;
    StringSink sink(bytes);
    LineWriter out(sink);
    ModuleHeaderStage stage;
    ConversionState state;
    const auto feed = [&](const std::string& raw) {
        state.rawLine = raw;
        return stage.process(0, state, out);
    };
    EXPECT_EQ(ModuleHeaderStage::Action::Pass, feed(kName));
    state.blankRun = 1;
    EXPECT_EQ(ModuleHeaderStage::Action::Hold, feed("x"));
    EXPECT_EQ(1, state.blankRun);
    EXPECT_EQ(ModuleHeaderStage::Action::BlockClosed, feed(kClosing));
    EXPECT_EQ(1, state.blankRun);
    const std::string_view next = "int f(void)";
    stage.closeBlock(&next, 0, state, out);
    EXPECT_EQ(0, state.blankRun);
    // An empty 250th line writes the block but, being empty, keeps the count.
    EXPECT_EQ(ModuleHeaderStage::Action::Pass, feed(kName));
    for (int i = 0; i < 249; ++i)
        feed("x");
    state.blankRun = 1;
    EXPECT_EQ(ModuleHeaderStage::Action::Hold, feed(""));
    EXPECT_EQ(1, state.blankRun);
    EXPECT_EQ(ModuleHeaderStage::Action::Pass, feed("after"));
    out.flush();
    std::vector<std::string> expected = {"x", kClosing};
    expected.insert(expected.end(), 249, "x");
    expected.push_back("");
    EXPECT_EQ(Lines(expected), bytes);
}

TEST(ModuleHeaderPipeline, CollapsesEmptyLinesAcrossTheWholeHeldBlock) {
    FormatOptions options;
    options.insertFunctionNames = 1;
    ConvertSettings settings;
    ScriptedPrompter prompter([](const std::string& m) { ADD_FAILURE() << m; });
    const std::string input =
        kName + "\n" + kSummary + "\n\n  text  \n\n\n" + kClosing + "\nint f(void)\n{\n\n\n}\n";
    // Held lines keep their blanks and do not end a run of empty lines.
    EXPECT_EQ(Lines({kName, "int f(void)", kSummary, "", "  text  ", kClosing, "int f(void)", "{",
                     "    ", "}"}),
              ConvertText(input, options, settings, FileContext{"f.c", "2024-01-02"}, prompter));
}

// A later block reuses the slots of the first: its lines keep their own ends.
TEST(ModuleHeaderPipeline, HeldLinesOfALaterBlockKeepTheirOwnEnds) {
    FormatOptions options;
    options.insertFunctionNames = 1;
    ConvertSettings settings;
    settings.lineEnds = LineEnds::Keep;
    ScriptedPrompter prompter([](const std::string& m) { ADD_FAILURE() << m; });
    const std::string block = kName + "\r\n" + kSummary + "\r\n" + kClosing + "\r\nf\r\n";
    EXPECT_EQ(kName + "\r\nf\r\n" + kSummary + "\r\n" + kClosing + "\r\nf\r\n" + kName + "\ng\r\n" +
                  kSummary + "\n" + kClosing + "\ng\n",
              ConvertText(block + kName + "\n" + kSummary + "\n" + kClosing + "\ng\n", options,
                          settings, FileContext{"f.c", "2024-01-02"}, prompter));
}

// The markers in the file's encoding, and the name cut at a character boundary: in code page
// 932 "ボ" (83 7B) holds a "{" byte.
TEST(ModuleHeaderPipeline, FillsTheNameInUtf8AndCutsOnlyBetweenCharacters) {
    FormatOptions options;
    options.insertFunctionNames = 1;
    ConvertSettings settings;
    settings.indentOn = false;
    ScriptedPrompter prompter([](const std::string& m) { ADD_FAILURE() << m; });
    struct Case {
        std::string name, summary, function, expectedName;
    };
    const Case cases[] = {
        {"[関数名]", "[概要]", "void ボタン(void) { }", "void ボタン(void) "},
        {kName, kSummary, "void \x83\x7B\x83\x5E\x83\x93(void) /* c */",
         "void \x83\x7B\x83\x5E\x83\x93(void) "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expectedName);
        const std::string input =
            c.name + "\n" + c.summary + "\n" + kClosing + "\n" + c.function + "\n";
        std::string output;
        ASSERT_EQ(kConverted, ConvertBytes(input, "f.c", output, options, settings, prompter));
        EXPECT_EQ(Lines({c.name, c.expectedName, c.summary, kClosing, c.function}), output);
    }
}

} // namespace
} // namespace srctdy
