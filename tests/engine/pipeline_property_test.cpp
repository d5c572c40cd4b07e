#include "engine/convert_file.h"
#include "engine/utf8.h"
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

// UTF-8 pieces: CJK, kana (some ending in a byte that leads a pair in code page 932, some in a
// byte that looks like a brace or "@" there), emoji, U+3000, comment marks and braces right
// after multi-byte characters, the markers in UTF-8, and the ASCII pieces of every stage.
const std::string_view kUtf8Pieces[] = {
    "漢字",
    "ぁ@",
    "テスト",
    "なし*/",
    "あ{",
    "い}",
    "/*ア",
    "う//",
    "\"え\"",
    "'お'",
    "😀",
    "😀{",
    "é",
    "\xE3\x80\x80",
    "\xE3\x80\x80\xE3\x80\x80",
    "[関数名]",
    "[概要]",
    "a",
    "int x = 1;",
    " ",
    "\t",
    "{",
    "}",
    "/*",
    "*/",
    "//",
    "\"",
    "#if DEBUG",
    "#endif",
    "#include <a.h>",
    "case 1:",
    "default:",
    "TODO",
    "DEBUG",
    "\n",
    "\n",
    "\r\n",
    "\r\n",
    "/********************************************************************",
    "********************************************************************/",
};

// Random UTF-8 text from a seed, with at least one multi-byte character.
std::string RandomUtf8Input(unsigned seed) {
    std::mt19937 random(seed);
    std::string text = random() % 2 ? "\xEF\xBB\xBF" : "";
    text += "漢";
    const size_t pieces = random() % 200;
    for (size_t i = 0; i < pieces; ++i) {
        if (random() % 20 == 0)
            text.append(random() % 120, 'x');
        else
            text += kUtf8Pieces[random() % std::size(kUtf8Pieces)];
    }
    return text;
}

// The input with only the full-width spaces and the line ends changed.
std::string WithAsciiSpaces(std::string text) {
    for (size_t at; (at = text.find("\xE3\x80\x80")) != std::string::npos;)
        text.replace(at, 3, "  ");
    return WithCrlfLineEnds(text);
}

TEST(ConversionPipeline, UnderEveryOptionSetUtf8StaysValidWithItsMark) {
    const std::string_view replacements[] = {"%filename%", "%date%", "", "置換😀"};
    ConvertSettings settings;
    RecordingPrompter prompter;
    for (unsigned seed = 1; seed <= 600; ++seed) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        std::mt19937 random(seed * 7919u);
        auto flag = [&] { return static_cast<int>(random() % 2); };
        FormatOptions options;
        options.insertFunctionNames = flag();
        options.deleteConditionalBlocks = flag();
        options.replaceOrDelete = flag();
        options.deleteMatchingLines = options.replaceOrDelete ? 0 : flag();
        options.insertHeaderTemplate = random() % 8 == 0;
        options.templatePath = "/nonexistent/srctdy-template.txt";
        options.insertDefinitionComments = flag();
        options.collapseEmptyLines = flag();
        options.deleteEmptyLines = flag();
        options.fullWidthToHalfWidth = flag();
        options.trimBlanks = flag();
        options.commentMode = static_cast<int>(random() % 4);
        // The command line's UTF-8 texts, or the options dialog's code page 932 ones.
        if (flag()) {
            options.textEncoding = TextEncoding::Utf8;
            options.searchText = random() % 2 ? "テスト" : "TODO";
            options.replaceText = replacements[random() % std::size(replacements)];
            options.conditionText = "漢";
        } else {
            options.searchText = "\x83\x65\x83\x58\x83\x67";                    // テスト
            options.replaceText = random() % 2 ? "%date%" : "\x92\x75\x8A\xB7"; // 置換
            options.conditionText = "DEBUG";
        }
        settings.indentOn = flag();
        settings.indentSizeIndex = static_cast<int>(random() % 4);
        settings.lineEnds = random() % 3 == 0 ? LineEnds::Keep : LineEnds::CrLf;
        const std::string input = RandomUtf8Input(seed);
        std::string output;
        ASSERT_EQ(kConverted, ConvertBytes(input, "名前.c", output, options, settings, prompter));
        EXPECT_TRUE(utf8::IsValid(output)) << output;
        const bool mark = input.starts_with(utf8::kByteOrderMark);
        EXPECT_EQ(mark, output.starts_with(utf8::kByteOrderMark));
        EXPECT_EQ(output.find(utf8::kByteOrderMark, mark ? 3 : 0), std::string::npos);
    }
    // With only the full-width conversion on, that is the only change (with no quotes: inside
    // a literal a full-width space is the program's text and stays).
    FormatOptions fullWidthOnly;
    fullWidthOnly.collapseEmptyLines = fullWidthOnly.trimBlanks = 0;
    settings = ConvertSettings{};
    settings.indentOn = false;
    for (unsigned seed = 1; seed <= 200; ++seed) {
        std::string input = RandomUtf8Input(seed);
        std::erase_if(input, [](char c) { return c == '"' || c == '\''; });
        std::string output;
        ASSERT_EQ(kConverted,
                  ConvertBytes(input, "f.c", output, fullWidthOnly, settings, prompter));
        ASSERT_EQ(WithAsciiSpaces(input), output) << "seed " << seed;
    }
}

} // namespace
} // namespace srctdy
