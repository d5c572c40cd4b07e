#include "engine/convert_file.h"
#include "engine/utf8.h"
#include "platform/scripted_prompter.h"
#include "support/c_tokens.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

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
    // The edges of the blanks that trimming takes (\t to \r and space), a backslash, a raw
    // string, and indentation longer than sixteen bytes.
    "\\",
    "\x08",
    "\x0B",
    "\x0C",
    "\x0E",
    "\x1F",
    "!",
    "R\"x(",
    ")x\"",
    "                 ",
    "\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t",
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
        SCOPED_TRACE(::testing::Message() << "seed " << seed);
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

// Pieces of real-looking C for the token property: literals that fool a quote flag, comment
// marks inside literals and comments, full-width spaces and double-byte characters (0x95 0x5C
// is one whose second byte is a backslash).
// clang-format off
const std::string_view kCodePieces[] = {
    "x", "name_2", "42", "0x1F", "1.5e-3", "=", "+", "(", ")", "{", "}", ";", ",", "*", "/",
    "&&", "->",
    "\"a\\\"b\"", "\"/*\"", "\"//\"", "\"*/\"", "'\"'", "'\\''", "'/'", "\"\\\\\"",
    "\"\x81\x40\"", "'\x81\x40'", "\"\x95\x5C\"", "\"a\tb\"",
    "/* c */", "/**/", "/* \x95\x5C*/", "/*\x81\x40*/", "\x81\x40", "\t"};
const std::string_view kCommentWords[] = {
    "text", "see https://host/x", "*/", "//", "/*", "\x95\x5C", "C:\\", "\x81\x40", "'", "\"",
    "////////", "\\"};
// clang-format on

std::string Pick(std::mt19937& random, const auto& table) {
    return std::string(table[random() % std::size(table)]);
}

std::string CodeRun(std::mt19937& random, size_t pieces) {
    std::string code;
    for (size_t i = 0; i < pieces; ++i)
        code += Pick(random, kCodePieces) + (random() % 2 ? " " : "");
    return code;
}

std::string CommentText(std::mt19937& random) {
    std::string text;
    for (size_t i = random() % 4; i > 0; --i)
        text += " " + Pick(random, kCommentWords);
    return text;
}

// One construct of random C-like code: one line or a few that belong together.
std::string RandomConstruct(std::mt19937& random) {
    const std::string indent = random() % 3 ? std::string(random() % 3, '\t') : "\x81\x40 ";
    switch (random() % 9) {
    case 0:
        return "";
    case 1: // code, perhaps with a comment after it, perhaps with code after the comment
        return indent + CodeRun(random, 1 + random() % 6) +
               (random() % 2 ? "//" + CommentText(random) : "") + (random() % 4 ? "" : " \t");
    case 2: // a block comment over several lines, code before it and after it
    {
        std::string text =
            indent + (random() % 2 ? CodeRun(random, 2) : "") + "/*" + CommentText(random);
        for (size_t i = random() % 3; i > 0; --i)
            text += "\n *" + CommentText(random);
        return text + "\n" + CommentText(random) + " */" + (random() % 2 ? " f();" : "");
    }
    case 3: // a macro continued over lines, with comments in it
    {
        std::string text = "#define M(a) \\";
        for (size_t i = random() % 3; i > 0; --i)
            text += "\n  " + CodeRun(random, 2) + (random() % 2 ? " /* c */" : "") +
                    (random() % 4 ? " \\" : " \\ ");
        return text + (random() % 4 ? "\n" : "\n\n") + "  " + CodeRun(random, 2);
    }
    case 4: // a string continued over two lines
        return indent + "s = \"abc" + Pick(random, kCodePieces) + "\\\n  def\";";
    case 5: // a preprocessor line with tabs, inside literals too
        return "#define\tT\t\"a\tb\"\t'\t'" + (random() % 2 ? "\t/*\tc\t*/" : std::string());
    case 6: // a long line, with or without a comment
    {
        std::string text = indent;
        const size_t length = 81 + random() % 175;
        while (text.size() < length)
            text += CodeRun(random, 1) + " ";
        return text + (random() % 2 ? "// long" + CommentText(random) : "");
    }
    case 7: // a line comment that may end in a backslash or a character ending in 0x5C
        return indent + "//" + CommentText(random) + (random() % 2 ? "\x95\x5C" : "");
    default: // a block comment on one line with the last word right before its end
        return indent + "/*" + CommentText(random) + Pick(random, kCommentWords) + "*/" +
               (random() % 2 ? " y = 2;" : "");
    }
}

std::vector<std::string> RandomCLines(unsigned seed) {
    std::mt19937 random(seed);
    std::vector<std::string> lines;
    for (size_t i = 1 + random() % 12; i > 0; --i) {
        const std::string construct = RandomConstruct(random);
        size_t from = 0;
        for (size_t end; (end = construct.find('\n', from)) != std::string::npos; from = end + 1)
            lines.push_back(construct.substr(from, end - from));
        lines.push_back(construct.substr(from));
    }
    return lines;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

// Bytes as a C string literal, for a failure message.
std::string Quoted(std::string_view bytes) {
    std::string out = "\"";
    for (unsigned char c : bytes) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", c);
        out += c == '\n'               ? std::string("\\n\"\n\"")
               : c == '"' || c == '\\' ? std::string("\\") + static_cast<char>(c)
               : c >= 0x20 && c < 0x7F ? std::string(1, static_cast<char>(c))
                                       : std::string(hex);
    }
    out += "\"";
    return out.ends_with("\n\"\"") ? out.substr(0, out.size() - 3) : out;
}

// Drops lines, then words, while fails(lines) still holds: a short input to show.
std::vector<std::string> Shrunk(std::vector<std::string> lines,
                                const std::function<bool(const std::vector<std::string>&)>& fails) {
    // Removes count bytes of line at from (npos: the whole line) when it still fails.
    const auto tryWithout = [&](size_t line, size_t from, size_t count) {
        std::vector<std::string> fewer = lines;
        if (count == std::string::npos)
            fewer.erase(fewer.begin() + static_cast<std::ptrdiff_t>(line));
        else
            fewer[line].erase(from, count);
        if (fails(fewer))
            lines = fewer;
    };
    for (size_t i = lines.size(); i-- > 0;)
        tryWithout(i, 0, std::string::npos);
    for (size_t i = 0; i < lines.size(); ++i) {
        for (size_t end = lines[i].size(); end > 0;) {
            const size_t space = lines[i].rfind(' ', end - 1);
            const size_t start = space == std::string::npos ? 0 : space;
            tryWithout(i, start, end - start);
            end = start;
        }
    }
    return lines;
}

TEST(ConversionPipeline, RandomCodeKeepsItsTokensUnderEveryOptionSet) {
    struct OptionSet {
        const char* name;
        int commentMode;
        int indentSizeIndex;
    };
    const OptionSet sets[] = {
        {"defaults", 0, 1},         {"--indent=tab", 0, 3},     {"--comments=line", 1, 1},
        {"--comments=block", 2, 1}, {"--comments=split", 3, 1},
    };
    const unsigned kSeed = 20261207;
    const FileContext file{"f.c", "2024-01-02"};
    for (const OptionSet& base : sets) {
        for (const bool deleteEmpty : {false, true}) {
            FormatOptions options;
            options.commentMode = base.commentMode;
            options.deleteEmptyLines = deleteEmpty;
            options.collapseEmptyLines = !deleteEmpty;
            ConvertSettings settings;
            settings.indentSizeIndex = base.indentSizeIndex;
            const auto difference = [&](const std::vector<std::string>& lines) {
                const std::string input = Joined(lines);
                RecordingPrompter prompter;
                const std::string output = ConvertText(input, options, settings, file, prompter);
                return testing::FirstTokenDifference(testing::TokenizeC(input, false),
                                                     testing::TokenizeC(output, false));
            };
            int failures = 0;
            std::vector<std::string> smallest;
            std::string smallestDifference;
            unsigned firstSeed = 0;
            for (unsigned seed = kSeed; seed < kSeed + 300; ++seed) {
                const std::vector<std::string> lines = RandomCLines(seed);
                if (difference(lines).empty())
                    continue;
                if (failures++ > 0)
                    continue;
                smallest = Shrunk(lines, [&](const std::vector<std::string>& fewer) {
                    return !difference(fewer).empty();
                });
                smallestDifference = difference(smallest);
                firstSeed = seed;
            }
            EXPECT_EQ(0, failures) << base.name << (deleteEmpty ? " --delete-empty" : "") << ": "
                                   << failures << " of 300 inputs changed their tokens (seeds from "
                                   << kSeed << "); seed " << firstSeed << " reduced to\n"
                                   << Quoted(Joined(smallest)) << "\n"
                                   << smallestDifference;
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
std::string WithAsciiSpaces(std::string_view text) {
    std::string spaced;
    for (size_t at; (at = text.find("\xE3\x80\x80")) != std::string_view::npos;) {
        spaced.append(text.substr(0, at)).append("  ");
        text.remove_prefix(at + 3);
    }
    spaced.append(text);
    return WithCrlfLineEnds(spaced);
}

TEST(ConversionPipeline, UnderEveryOptionSetUtf8StaysValidWithItsMark) {
    const std::string_view replacements[] = {"%filename%", "%date%", "", "置換😀"};
    ConvertSettings settings;
    RecordingPrompter prompter;
    for (unsigned seed = 1; seed <= 600; ++seed) {
        SCOPED_TRACE(::testing::Message() << "seed " << seed);
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

// Lines that only trimming and indentation change (directives among them) take a short way
// through the line loop; with it turned off every line goes through every stage. Both must write
// the same bytes for any input and options, and so must the short way without the token check,
// which copies its lines another way.
TEST(ConversionPipeline, PlainLinesTakeTheShortWayToTheSameBytes) {
    const std::string_view replacements[] = {"%filename%", "x{", ""};
    for (unsigned seed = 1; seed <= 900; ++seed) {
        SCOPED_TRACE(::testing::Message() << "seed " << seed);
        std::mt19937 random(seed);
        const auto flag = [&] { return static_cast<int>(random() % 2); };
        FormatOptions options;
        options.commentMode = static_cast<int>(random() % 4);
        options.trimBlanks = random() % 4 != 0;
        options.fullWidthToHalfWidth = flag();
        options.deleteEmptyLines = flag();
        options.collapseEmptyLines = flag();
        options.deleteConditionalBlocks = random() % 4 == 0;
        options.conditionText = "DEBUG";
        options.replaceOrDelete = random() % 4 == 0;
        options.deleteMatchingLines = options.replaceOrDelete ? 0 : random() % 4 == 0;
        options.searchText = random() % 2 ? "TODO" : "a";
        options.replaceText = replacements[random() % std::size(replacements)];
        options.insertFunctionNames = random() % 4 == 0;
        options.insertDefinitionComments = flag();
        ConvertSettings settings;
        settings.indentOn = random() % 4 != 0;
        settings.indentSizeIndex = static_cast<int>(random() % 4);
        const LineEnds lineEnds[] = {LineEnds::Keep, LineEnds::Lf, LineEnds::CrLf};
        settings.lineEnds = lineEnds[random() % 3];
        const unsigned source = random() % 3; // pieces, UTF-8 pieces, or C-like lines
        const bool utf8 = source == 1;
        if (utf8)
            settings.forcedEncoding = TextEncoding::Utf8;
        const FileContext file{random() % 2 ? "f.cpp" : "f.c", "2024-01-02",
                               utf8 ? TextEncoding::Utf8 : TextEncoding::Cp932, random() % 2 != 0};
        const std::string input = source == 0   ? RandomInput(seed)
                                  : source == 1 ? RandomUtf8Input(seed)
                                                : Joined(RandomCLines(seed));
        RecordingPrompter prompter;
        SetShortWayForTesting(false);
        const std::string everyStage = ConvertText(input, options, settings, file, prompter);
        SetShortWayForTesting(true);
        settings.guard = seed % 2 == 0;
        ASSERT_EQ(everyStage, ConvertText(input, options, settings, file, prompter));
    }
}

} // namespace
} // namespace srctdy
