#include "engine/convert_file.h"
#include "platform/scripted_prompter.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>

namespace srctdy {
namespace {

// Pieces that stress every stage: braces, comment marks, quotes, labels, preprocessor lines,
// module-header markers, search texts, double-byte characters (some with a brace or a tab as
// second byte), stray lead bytes, NUL, lone CR and both line ends.
const std::string_view kPieces[] = {
    "a",
    "int x = 1;",
    " ",
    "  ",
    "\t",
    "{",
    "}",
    "/*",
    "*/",
    "//",
    "/",
    "*",
    "\"",
    "'",
    "#if",
    "#if DEBUG",
    "#endif",
    "#include <a.h>",
    "#define X {",
    "case 1:",
    "default:",
    "\x82\xA0",
    "\x81\x40",
    "\x83{",
    "\x81}",
    "\x81\t",
    "\x81",
    "\xFC",
    std::string_view("\0", 1),
    "\r",
    "\n",
    "\n",
    "\r\n",
    "\r\n",
    "\x5B\x8A\xD6\x90\x94\x96\xBC\x5D",
    "\x5B\x8A\x54\x97\x76\x5D",
    "********************************************************************/",
    "/********************************************************************",
    "DEBUG",
    "%filename%",
    "TODO",
};

// Random input from a seed: pieces, the odd random byte, now and then a long run.
std::string RandomInput(unsigned seed) {
    std::mt19937 random(seed);
    const size_t pieces = random() % 200;
    std::string text;
    for (size_t i = 0; i < pieces; ++i) {
        const unsigned kind = random() % 20;
        if (kind == 0)
            text += static_cast<char>(random() % 256);
        else if (kind == 1)
            text.append(random() % 300, static_cast<char>('a' + random() % 26));
        else
            text += kPieces[random() % std::size(kPieces)];
    }
    return text;
}

// The input in text mode: every LF, with the CR before it if any, becomes CR LF, a lone CR
// stays, and a last line without a line end gets one.
std::string WithCrlfLineEnds(std::string_view input) {
    std::string out;
    for (size_t i = 0; i < input.size(); ++i) {
        if (input[i] == '\n' && (i == 0 || input[i - 1] != '\r'))
            out += '\r';
        out += input[i];
    }
    if (!input.empty() && input.back() != '\n')
        out += "\r\n";
    return out;
}

FormatOptions EverythingOff() {
    FormatOptions options;
    options.collapseEmptyLines = 0;
    options.fullWidthToHalfWidth = 0;
    options.trimBlanks = 0;
    return options;
}

TEST(ConversionPipeline, WithEveryConditionOffOnlyLineEndsChange) {
    const FormatOptions options = EverythingOff();
    ConvertSettings settings;
    settings.indentOn = false;
    ScriptedPrompter prompter([](const std::string& m) { ADD_FAILURE() << m; });
    const FileContext file{"f.c", "2024-01-02"};
    for (unsigned seed = 1; seed <= 400; ++seed) {
        const std::string input = RandomInput(seed);
        ASSERT_EQ(WithCrlfLineEnds(input), ConvertText(input, options, settings, file, prompter))
            << "seed " << seed;
    }
}

TEST(ConversionPipeline, WithEveryConditionOffKeepsOddBytesAndEndsLinesWithCrLf) {
    const FormatOptions options = EverythingOff();
    ConvertSettings settings;
    settings.indentOn = false;
    ScriptedPrompter prompter([](const std::string& m) { ADD_FAILURE() << m; });
    const FileContext file{"f.c", "2024-01-02"};
    struct Case {
        std::string_view expected;
        std::string_view input;
    };
    const Case cases[] = {
        {"", ""},
        {"a\r\n\r\nb\r\n", "a\n\r\nb"},
        {"a\r\r\n", "a\r"},
        {"a\rb\r\r\n", "a\rb\r\r\n"},
        {std::string_view("\0x\r\n\x81\r\n", 7), std::string_view("\0x\n\x81", 4)},
        {"\t{ // \x81\t\r\n", "\t{ // \x81\t"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, ConvertText(c.input, options, settings, file, prompter));
        EXPECT_EQ(c.expected, WithCrlfLineEnds(c.input));
    }
}

TEST(ConversionPipeline, SurvivesRandomInputWithEveryConditionOn) {
    FormatOptions options;
    options.conditionText = "DEBUG";
    options.searchText = "TODO";
    options.insertFunctionNames = 1;
    options.deleteConditionalBlocks = 1;
    options.replaceOrDelete = 1;
    options.deleteMatchingLines = 1;
    options.collapseEmptyLines = 1;
    options.deleteEmptyLines = 1;
    options.fullWidthToHalfWidth = 1;
    options.trimBlanks = 1;
    options.templatePath = "/nonexistent/srctdy-template.txt";
    ConvertSettings settings;
    settings.indentOn = true;
    const FileContext file{"f.c", "2024-01-02"};
    const std::string_view replacements[] = {"%filename%", "%date%", "", "FIXME"};
    for (unsigned seed = 1; seed <= 400; ++seed) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        options.commentMode = static_cast<int>(seed % 4);
        options.replaceText = replacements[seed / 4 % 4];
        options.insertHeaderTemplate = static_cast<int>(seed / 16 % 2);
        options.insertDefinitionComments = 1;
        settings.indentSizeIndex = static_cast<int>(seed % 5);
        RecordingPrompter prompter;
        const std::string output =
            ConvertText(RandomInput(seed), options, settings, file, prompter);
        // Whatever was written is whole lines.
        if (!output.empty()) {
            EXPECT_EQ("\r\n", output.substr(output.size() - 2));
        }
    }
}

} // namespace
} // namespace srctdy
