#include "engine/convert_file.h"
#include "engine/cp932.h"
#include "engine/line_writer.h"
#include "platform/scripted_prompter.h"
#include "platform/string_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>

namespace srctdy {
namespace {

// head, then filler, then tail: length bytes in all.
std::string WithLength(std::string_view head, std::string_view tail, size_t length,
                       char filler = 'x') {
    std::string text(head);
    text.append(length - head.size() - tail.size(), filler);
    text.append(tail);
    return text;
}

struct Setup {
    int commentMode = 1;
    bool indentOn = false;
    bool functionNames = false;
    bool deleteEmpty = false;
    bool definitions = false;
    const char* fileName = "f.c";
    TextEncoding encoding = TextEncoding::Cp932;
};

struct Case {
    const char* name;
    std::string expected; // LF line ends
    std::string input;    // LF line ends
    Setup setup;
};

// A case whose text comes out as it went in.
Case Stays(const char* name, const std::string& text, Setup setup) {
    return Case{name, text, text, setup};
}

// A case whose head leaves the file in code: the line comment after it becomes a block
// comment.
Case CodeAfter(const char* name, const std::string& head) {
    return Case{name, head + "x; /* c */\n", head + "x; // c\n", Setup{2}};
}

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

std::string Convert(const std::string& input, const Setup& setup, ConvertReport* report,
                    bool guardFires = false) {
    FormatOptions options; // the start-up defaults: trim, full-width spaces, collapse
    options.commentMode = setup.commentMode;
    options.insertFunctionNames = setup.functionNames;
    options.deleteEmptyLines = setup.deleteEmpty;
    options.insertDefinitionComments = setup.definitions;
    ConvertSettings settings;
    settings.indentOn = setup.indentOn;
    settings.lineEnds = LineEnds::Lf;
    ScriptedPrompter prompter([](const std::string& m) { ADD_FAILURE() << m; });
    FileContext file{setup.fileName, "2026-12-07", setup.encoding};
    // Every row also passes the token check: the rules alone keep the tokens.
    ConvertReport own;
    ConvertReport& checked = report ? *report : own;
    std::string output = ConvertText(input, options, settings, file, prompter, &checked);
    EXPECT_EQ(guardFires, checked.guardFailed)
        << "token check refused it at input line " << checked.partingLine;
    return output;
}

class CommentConversion : public ::testing::TestWithParam<Case> {};

// Each case converts as expected, and converting the result again adds no line.
TEST_P(CommentConversion, ConvertsWhereTheTokensStayAndOnlyOnce) {
    const Case& c = GetParam();
    const std::string first = Convert(c.input, c.setup, nullptr);
    EXPECT_EQ(c.expected, first);
    if (!c.setup.functionNames && !c.setup.definitions) {
        const std::string second = Convert(first, c.setup, nullptr);
        EXPECT_EQ(std::count(first.begin(), first.end(), '\n'),
                  std::count(second.begin(), second.end(), '\n'));
    }
}

Setup Mode(int mode) {
    Setup s;
    s.commentMode = mode;
    return s;
}
Setup Utf8(int mode) {
    Setup s = Mode(mode);
    s.encoding = TextEncoding::Utf8;
    return s;
}
Setup Indented(int mode) {
    Setup s = Mode(mode);
    s.indentOn = true;
    return s;
}

// The six section comments in code page 932, each on a line.
std::string DefinitionLines() {
    std::string lines;
    for (std::string_view comment : text::kDefinitionComments)
        lines += cp932::FromUtf8(comment).value() + "\n";
    return lines;
}

const std::string kLong = std::string(70, 'c'); // makes a line long enough to split

// Module-header block in code page 932: "[関数名]", "[概要]" and the closing line.
const std::string kNameMarker = "\x5B\x8A\xD6\x90\x94\x96\xBC\x5D";
const std::string kSummaryMarker = "\x5B\x8A\x54\x97\x76\x5D";
const std::string kStars(68, '*');
const std::string kXLines249 = [] {
    std::string lines;
    for (int i = 0; i < 249; ++i)
        lines += "x;\n";
    return lines;
}();

INSTANTIATE_TEST_SUITE_P(
    Rows, CommentConversion,
    ::testing::Values(
        // Block comments to line comments.
        Case{"WholeCommentAtLineEnd", "x = 1; // one   \n", "x = 1; /* one */\n", Mode(1)},
        // "*/" after a stray lead byte, or right after UTF-8 text ("なし"), still closes.
        Case{"CloseAfterStrayLeadByte", "// \x88  \n", "/* \x88*/\n", Mode(1)},
        Case{"Utf8CloseRightAfterKana", "// \xE3\x81\xAA\xE3\x81\x97  \nx;\n",
             "/* \xE3\x81\xAA\xE3\x81\x97*/\nx;\n", Utf8(1)},
        Case{"Utf8OpenRightAfterKana", "x; /* \xE3\x81\x82 */\n", "x; // \xE3\x81\x82   \n",
             Utf8(2)},
        Case{"CodeAfterCloseKeepsTheComment", "/* a */ x = 0; // b   \n",
             "/* a */ x = 0; /* b */\n", Mode(1)},
        Stays("LineCommentHidesOpening", "a(); // see /* b\n", Mode(1)),
        Case{"PairsInStringsStay", "p = \"/*\";\nq = \"*/\";\n", "p = \"/*\";\nq = \"*/\";\n",
             Mode(1)},
        Stays("CloseInsideLineCommentStays", "a; // x */\n", Mode(1)),
        Case{"MultiLineComment", "// head\n//body\n//tail   \n", "/* head\nbody\ntail */\n",
             Mode(1)},
        Case{"QuoteInsideCommentText", "// x\n//say \"hi   \n", "/* x\nsay \"hi */\n", Mode(1)},
        Case{"MultiLineIndentedAtDepth", "{\n// a\n//b\n//    c   \n}\n", "{\n/* a\nb\nc */\n}\n",
             Indented(1)},
        // Code after the close would be commented out: the comment stays, however long.
        Stays("CodeAfterClose", "x = 1; /* c */ y = 2;\n", Mode(1)),
        Stays("CodeAfterMultiLineClose", "/* a\nb */ f();\n", Mode(1)),
        Stays("CloseThenOpen", "/* a\nend */ x = 1; /* new\nmore */\n", Mode(1)),
        // A backslash after the comment continues the line: "//" would swallow it.
        Case{"CommentInContinuedMacro", "#define M(x) f(x) /* c */ \\\ng(x)\n",
             "#define M(x) f(x) /* c */ \\\n  g(x)\n", Mode(1)},
        // A line of the comment that holds "//" would get no "//" in front and turn into code.
        Case{"UrlInsideComment", "/* see\n* https://host/x\n*/\n",
             "/* see\n * https://host/x\n */\n", Mode(1)},
        Case{"UrlOnTheOpeningLine", "// see http://x\n//b   \n", "/* see http://x\nb */\n",
             Mode(1)},
        Stays("UrlOnTheClosingLine", "/* a\nb // c */\n", Mode(1)),
        // A comment ending in a backslash, or in a character whose second byte is one, would
        // splice the next line into a line comment.
        Stays("BackslashAtCommentEnd", "/* C:\\ */\nx;\n", Mode(1)),
        Case{"SecondByteBackslashAtCommentEnd", "/* \x95\x5C */\nx;\n", "/* \x95\x5C */\nx;\n",
             Mode(1)},
        Case{"SecondByteBackslashInsideComment", "// \x95\x5C\x95\x5C a   \n",
             "/* \x95\x5C\x95\x5C a */\n", Mode(1)},
        Case{"CharLiteralQuote", "if (c == '\"') return \"/*\";\nx = 1; // y   \n",
             "if (c == '\"') return \"/*\";\nx = 1; /* y */\n", Mode(1)},
        Case{"EscapedQuoteInString", "s = \"a\\\"/*\"; // c   \n", "s = \"a\\\"/*\"; /* c */\n",
             Mode(1)},
        // A comment mark split by a splice stays as it is, and so does its comment.
        Stays("SplicedCloseOfBlockComment", "/* a *\\\n/\nx;\n", Mode(1)),
        Case{"SplicedCloseBeforeAComment", "/* a *\\\n/// b   \n", "/* a *\\\n//* b */\n", Mode(1)},
        Stays("SplicedOpenOfBlockComment", "x; /\\\n* a */\n", Mode(1)),
        Stays("SplicedOpenOfLongBlockComment", "x; /\\\n*a\nb */\n", Mode(1)),
        Case{"ModuleHeaderStaysBlock",
             "/" + kStars + "\n" + kNameMarker + "\nint add(int a, int b)\n" + kSummaryMarker +
                 "\n  Adds.\n" + kStars + "/\nint add(int a, int b)\n{\n",
             "/" + kStars + "\n" + kNameMarker + "\n" + kSummaryMarker + "\n  Adds.\n" + kStars +
                 "/\nint add(int a, int b)\n{\n",
             Setup{1, false, true}},
        Stays("MarkerLineClosesTheComment", "/* a\n" + kNameMarker + " */\nx;\n",
              Setup{1, false, true}),
        // A comment left as it is writes its held lines as they were: "#" lines inside it stay
        // flush left with their tabs, and blanks that keep a spliced "*" from a "/" stay.
        Case{"HeldLinesKeepWhatTheyWere",
             "{\n    /* a\n#\tx\n#\n    */ y;\n    /* a *\\\n  / b\n    c */ x;\n}\n",
             "{\n/* a\n#\tx\n#\n*/ y;\n/* a *\\\n  / b\nc */ x;\n}\n", Indented(1)},
        // A code line starting with the marker holds the lines after it, 250 at most, and
        // writes them as read: a comment that opens in the last held line stays whole.
        Case{"CommentAcrossModuleHeaderBound", kNameMarker + "\n" + kXLines249 + "/* a\nb */\ny;\n",
             kNameMarker + "\n" + kXLines249 + "/* a\n b */\ny;\n", Setup{1, false, true}},

        // Line comments to block comments.
        Case{"LineComment", "x = 1; /* one */\n", "x = 1; // one\n", Mode(2)},
        // A form feed between two comments is white space, as the compiler takes it.
        Case{"FormFeedBetweenCommentsIsBlank", "x = 1; // a   \f// b   \n",
             "x = 1; /* a */\f/* b */\n", Mode(1)},
        Case{"TabAndCarriageReturnBetweenCommentsAreBlank", "x = 1; // a   \t\r// b   \n",
             "x = 1; /* a */\t\r/* b */\n", Mode(1)},
        Case{"EverySlashPairInTheComment", "a(); /* b /* c */\n", "a(); // b // c\n", Mode(2)},
        Case{"SlashPairsInQuotesOfTheCommentStay", "a(); /* see \"x//y\" /* z */\n",
             "a(); // see \"x//y\" // z\n", Mode(2)},
        Case{"SlashesInStringStay", "s = \"http://x\";\ns = \"//\"; /* x */\n",
             "s = \"http://x\";\ns = \"//\"; // x\n", Mode(2)},
        Stays("SlashesInsideBlockCommentStay", "/* see http://x */\n/*\n////////\n*/\n", Mode(2)),
        Stays("ContinuedLineComment", "// a \\\nb\n", Mode(2)),
        Stays("SecondByteBackslashEndsLineComment", "// \x95\x5C\nb\n", Mode(2)),
        Case{"CommentAfterASecondByteSplice", "// \x95\x5C\nb; // c\n", "// \x95\x5C\nb; // c\n",
             Mode(2)},
        // A backslash before a splice in a literal escapes the next line's first character:
        // that quote closes nothing, and the "//" after it stays in the literal.
        // Before a CR inside the line, a second byte 0x5C splices only in the byte-wise
        // reading: as the file reads, the line comment ends there, and "/*" opens a comment.
        // A backslash before a CR splices there: the splice after it joins the "*" before
        // that backslash with the next line's "/".
        Stays("SplicedLineCommentEndsAtACr", "x = a /\\\n/ c\ry; /* d\n// e\n*/\n", Mode(2)),
        Stays("CommentBeforeOneACrRunsThrough", "/**//*\r*/\n", Mode(1)),
        Stays("CloseSplicedOverACr", "/* a *\\\r\\\n/ x;\ns = \"\x81\x40\";\n", Mode(0)),
        Stays("SecondByteBackslashBeforeACr", "x; // \x95\x5C\ry; /* a\n// b\n*/\n", Mode(2)),
        // gcc takes a NUL for a blank: a backslash before one splices all the same.
        Stays("LineCommentSplicedOverANul", std::string("x; // c \\\0\ny;\n", 14), Mode(2)),
        Stays("EscapeAcrossSplice", "c = '\\\\\n'// c\n", Mode(2)),
        Case{"EscapeAcrossSpliceOnlyLine", "c = '\\\\\n\\\n'// c\n", "c = '\\\\\n\\\n'// c\n",
             Mode(2)},
        Case{"SlashesInIncludedNameAfterSplice", "#include<\\\n//>\n", "#include<\\\n//>\n",
             Mode(2)},
        Stays("CloseInsideLineComment", "x; // a */ b\n", Mode(2)),
        Case{"SlashesInIncludedName", "#include <a//b.h> /* c */\n", "#include <a//b.h> // c\n",
             Mode(2)},
        // A comment before the "#" is white space: the line is an include all the same.
        Stays("SlashesInIncludedNameAfterAComment", "/* a */ #include <a//b.h>\n", Mode(2)),
        // The full-width space is white space before the "#" too; in the name it stays.
        Case{"FullWidthSpaceInIncludedNameAfterOne",
             "  #  include <a\x81\x40"
             "b.h>\n",
             "\x81\x40#\x81\x40include <a\x81\x40"
             "b.h>\n",
             Mode(0)},
        Case{"FullWidthSpaceInIncludedNameAfterOneInUtf8",
             "  #include <a\xE3\x80\x80"
             "b.h>\n",
             "\xE3\x80\x80#include <a\xE3\x80\x80"
             "b.h>\n",
             Setup{0, false, false, false, false, "f.c", TextEncoding::Utf8}},
        Case{"SlashesInIncludedNameAfterFormFeeds", "#\v include <a//b.h>\n",
             "\v\f#\v include <a//b.h>\n", Mode(2)},
        Stays("FullWidthSpaceInIncludedNameAfterAComment",
              "/* a */ # /* b */ include <a\x81\x40"
              "b.h>\n",
              Mode(0)),
        // The directive goes on over splices and over comments that span lines, and so
        // does its <name>: what stands in the name is no comment, and its blanks stay.
        Stays("FullWidthSpaceInIncludedNameOverASplice",
              "#include <a.\x81\x40"
              "h\\\n>\n",
              Mode(0)),
        Stays("BlanksInIncludedNameAfterASplice", "#include <a \\\n  b.h>\n", Mode(0)),
        // A "<" whose ">" does not come before the directive ends makes no name: the
        // compiler reads what follows it as code, a comment opening there too.
        Stays("OpeningAfterAnUnclosedNameOverASplice",
              "#include \\\n<a \\\n  /*b.h // c\n// d\n*/\n", Mode(2)),
        Stays("OpeningAfterANameACrEnds", "#include <a \\\n/* b\r c\n// d\n*/\n", Mode(2)),
        // Its text so far is read again as code from the "<" on; a ">" after a CR closes nothing.
        Stays("OpeningInAnUnclosedNameOverTwoSplices", "#include <a/*\\\nb\\\nc\nx; // d\n*/\n",
              Mode(2)),
        Stays("OpeningAfterAQuoteInAnUnclosedName", "#include <a\"\\\n\" /* c\nx; // d\n*/\n",
              Mode(2)),
        Stays("OpeningAfterANameACrEndsBeforeItsCloser", "#include <a \\\n/* b\r> c\n// d\n*/\n",
              Mode(2)),
        Stays("OpeningAfterANameACrEndsOverTwoSplices",
              "#include <a \\\n/* b\r c\\\ne;\n// d\n*/\n", Mode(2)),
        Stays("OpeningAfterANameACrCuts", "#include <a\r/*b>\nx; // c\n*/\n", Mode(2)),
        Stays("OpeningAfterANameACrCutsOverASplice", "#include <a\r/* b\\\n> x;\ny; // c\n*/\n",
              Mode(2)),
        // A name over a splice ends at its first ">", knows no escapes and ends the directive.
        CodeAfter("OpeningInIncludedNameOverASpliceAfterAQuote", "#include <a\\\n\"/*b.h>\n"),
        Stays("OpeningAfterANameOverASpliceEndingInABackslash",
              "#include <a\\\n\\>/* b\nx; // c\n*/\n", Mode(2)),
        Stays("OpeningAfterACommentAfterANameOverASplice",
              "#include <a\\\nb> /* c */ /* d\nx; // e\n*/\n", Mode(2)),
        // A "name" over a splice is a string: its quote, not a ">", closes it.
        Stays("OpeningAfterAQuotedNameOverASplice", "#include \"a\\\nb\" /* c >\nx; // d\n*/\n",
              Mode(2)),
        // A "name" knows no escapes over a splice either.
        Stays("OpeningAfterAQuotedNameOverASpliceEndingInABackslash",
              "#include \"a\\\nb\\\" /* c\n// e\n*/\n", Mode(2)),
        // 64 KiB of a name are held over splices at the most: a longer one is read as code.
        CodeAfter("OpeningInANameHeldAtTheLongest",
                  "#include <" + std::string(65535, 'a') + "\\\n\\\n/*>\n"),
        Stays("OpeningInANameHeldPastTheLongest",
              "#include <" + std::string(65536, 'a') + "\\\n\\\n/*>\nx; // c\n*/\n", Mode(2)),
        CodeAfter("OpeningInIncludedNameAfterASplice", "#include \\\n<a/*b.h>\n"),
        CodeAfter("OpeningInIncludedNameAfterASplicedHash", "%:\\\ninclude <a/*b.h>\n"),
        CodeAfter("OpeningInIncludedNameAfterASpliceAlone", "\\\n#include <a/*b.h>\n"),
        CodeAfter("OpeningInIncludedNameAfterACutWord", "#inc\\\nlu\\\nde <a/*b.h>\n"),
        Stays("OpeningAfterAWordCutByABlank", "#inc\\\n lude <a/*b.h>\nx; // c\n", Mode(2)),
        // A splice may cut the "/*" of a comment before the name, or the digraph "%:".
        CodeAfter("OpeningInIncludedNameAfterACutComment", "#include /\\\n* c */ <a/*b.h>\n"),
        Stays("OpeningAfterASlashBeforeTheName", "#include /\\\n<a/*b.h>\nx; // d\n*/\n", Mode(2)),
        CodeAfter("OpeningInIncludedNameAfterACutDigraph", "%\\\n:include <a/*b.h>\n"),
        CodeAfter("OpeningInIncludedNameAfterADigraphCutTwice", "%\\\n:\\\ninclude <a/*b.h>\n"),
        CodeAfter("OpeningInIncludedNameAfterACutLongWord", "#include_\\\nnext <a/*b.h>\n"),
        // gcc takes a NUL for white space before the "#" too.
        CodeAfter("OpeningInIncludedNameAfterANul", std::string("\0#include <a/*b.h>\n", 19)),
        // A CR ends the compiler's line, in code or in a comment: an include may follow it.
        Case{"FullWidthSpaceInIncludedNameAfterACr", "#include <a.\x81\x40h>\n",
             "\r#include <a.\x81\x40h>\n", Mode(0)},
        CodeAfter("OpeningInIncludedNameAfterACr", "x;\r#include <a/*b.h>\n"),
        CodeAfter("OpeningInIncludedNameAfterALineCommentACrEnds", "x; // a\r#include <a/*b.h>\n"),
        CodeAfter("LineCommentSplicedAtACrHidesAnOpening", "x; // a\\\ry; /* b\n"),
        // As the file reads, a second byte 0x5C splices at no CR: the include after it holds
        // the "//", and the "/*" on the line its splice joins opens a comment.
        Stays("OpeningAfterANameASecondByteBackslashAndACr",
              "x = \x95\x5C\r#include <a//b.h> \\\n/* c\ny; // d\n*/\n", Mode(2)),
        // A line end inside a comment starts no directive: after code, "#" is no directive
        // there; after "#", the directive goes on.
        Stays("OpeningAfterAHashThatACommentWithACrFollows",
              "x; /* a\r */ #include <a/*b.h>\ny; // c\n*/\n", Mode(2)),
        CodeAfter("OpeningInIncludedNameAfterACommentWithACr", "#/* a\r b\n*/include <a/*b.h>\n"),
        CodeAfter("OpeningInIncludedNameAfterALongComment", "#include /* a\nb */ <a/*b.h>\n"),
        Stays("FullWidthSpaceInIncludedNameAfterTwoLongComments",
              "/* a\nb */ # /* c\nd */ include <a\x81\x40"
              "b.h>\n",
              Mode(0)),
        Case{"CommentAfterQuotedIncludedNameEndingInBackslash", "#include \"a\\\" /* b */\n",
             "#include \"a\\\" // b\n", Mode(2)},
        // "%:" is the digraph for "#": its include's name is one token too.
        Case{"SlashesInIncludedNameAfterDigraph", "%: include_next <a//b.h> /* c */\n",
             "  %: include_next <a//b.h> // c\n", Mode(2)},
        Case{"OpeningInIncludedNameAfterDigraph", "%:import <x/*y.h>\nz; // c   \n",
             "%:import <x/*y.h>\nz; /* c */\n", Mode(1)},
        // A splice between the two bytes of a comment mark still makes the mark.
        Stays("SplicedCommentOpening", "x; /\\\n* c *//y\n", Mode(2)),
        Case{"SplicedCommentClosing", "/* a *\\\n/ x; // b   \n", "/* a *\\\n/ x; /* b */\n",
             Mode(1)},
        Case{"BlanksKeepAStarFromASlash", "/* a *\\\n  / b */ x;\n", "/* a *\\\n  / b */ x;\n",
             Mode(0)},
        Case{"OpenerBeforeSpliceClosesNothing", "/*\\\n/ x; */ y;\n", "/*\\\n/ x; */ y;\n",
             Mode(1)},
        // A line that is only a splice joins the "*" above it to the "/" below it: the comment
        // closes there, and that line's place stays as it is.
        Case{"CloseSplitByTwoSplices", "f() {\n    /* a *\\\n\\\n/ x;\n}\n",
             "f() {\n/* a *\\\n\\\n/ x;\n}\n", Indented(0)},
        Stays("TripleSlash", "x; // a ///\n", Mode(2)),
        // The "*/" of the "/*/" that "///" turns into overlaps its opening: it closes nothing.
        Case{"TripleSlashOpeningTheComment", "x; /*/ d */\n", "x; /// d\n", Mode(2)},

        // Long lines split into comment and code.
        Case{"SplitBlockComment", "/* note */\n" + WithLength("a = ", "; ", 90) + "\n",
             WithLength("a = ", "; /* note */", 100) + "\n", Mode(3)},
        Case{"SplitLineComment", "// note\n" + WithLength("a = ", "; ", 93) + "\n",
             WithLength("a = ", "; // note", 100) + "\n", Mode(3)},
        Case{"SplitJoinsComments", "/* x *//* y */\na  b  " + kLong + "\n",
             "a /* x */ b /* y */ " + kLong + "\n", Mode(3)},
        Case{"SplitAtDepth", "{\n    /* note */\n    " + WithLength("a = ", "; ", 90) + "\n}\n",
             "{\n" + WithLength("a = ", "; /* note */", 100) + "\n}\n", Indented(3)},
        Stays("NoSplitAt80", WithLength("x", "/* c */", 80) + "\n", Mode(3)),
        Case{"NoSplitAt80AfterTrimming", WithLength("x", "/* c */", 80) + "\n",
             WithLength("x", "/* c */", 80) + "   \n", Mode(3)},
        Case{"SplitAt81", "/* c */\n" + std::string(74, 'x') + "\n",
             WithLength("x", "/* c */", 81) + "\n", Mode(3)},
        Case{"SplitAt255", "/* c */\n" + std::string(248, 'x') + "\n",
             WithLength("x", "/* c */", 255) + "\n", Mode(3)},
        Stays("NoSplitAt256", WithLength("x", "/* c */", 256) + "\n", Mode(3)),
        Case{"CharLiteralQuoteSplits", "/* q */\n" + WithLength("c = '\"';  ", "", 93) + "\n",
             WithLength("c = '\"'; /* q */ ", "", 100) + "\n", Mode(3)},
        Stays("UnclosedCharLiteral", WithLength("c = 'a; /* q */ ", "", 100) + "\n", Mode(3)),
        Stays("SlashesInString", WithLength("s = \"http://example.com/", "\";", 100) + "\n",
              Mode(3)),
        Case{"NoCommentNoSplit", std::string(100, 'x') + "\n", std::string(100, 'x') + "\n",
             Mode(3)},
        Stays("OnlyCommentNoSplit", WithLength("/* ", " */", 100) + "\n", Mode(3)),
        Stays("InsideContinuation",
              "#define M \\\n" + WithLength("f(x); /* c */ ", " \\", 100) + "\ng(x)\n", Mode(3)),
        Stays("CommentOpensWithoutClosing",
              WithLength("x = 1; /* open ", "", 100) + "\nstill comment */\n", Mode(3)),
        Stays("InsideBlockComment", "/*\n" + WithLength("a // b ", "", 100) + "\n*/\n", Mode(3)),
        Stays("CutWouldGlue", WithLength("a/**/b", "", 100) + "\n", Mode(3)),
        Stays("CutWouldGlueDespiteALaterComment", WithLength("a/**/b /**/", "", 100) + "\n",
              Mode(3)),
        // A blank on either side of a cut comment keeps the code apart.
        Case{"SplitWhereABlankSeparates", "/* c *//* e */\n" + WithLength("a b d f", "", 86) + "\n",
             WithLength("a /* c */b d/* e */ f", "", 100) + "\n", Mode(3)},
        Stays("NoSplitOfOnlyBlanksBetweenComments", WithLength("/* a */ /* ", " */", 100) + "\n",
              Mode(3)),
        Stays("NoSplitBeforeAnOpenLiteral", WithLength("x = 1; /* c */ s = \"", "", 100) + "\n",
              Mode(3)),
        Stays("NoSplitOfALineBegunInAComment",
              "/* a\n" + WithLength("b */ x = 1; /* c */ ", "", 100) + "\n", Mode(3)),
        Stays("CutWouldMakeFunctionMacro", WithLength("#define F/**/(x) ", "", 100) + "\n",
              Mode(3)),
        // Cut before its comment, the code would end in a backslash and splice.
        Stays("CodeBeforeCommentEndsInBackslash", WithLength("x = 1; ", "\\ // c", 100) + "\n",
              Mode(3)),
        Stays("CodeBeforeCommentEndsInSecondByteBackslash",
              WithLength("x = 1; ", "\x95\x5C/* c */", 100) + "\n", Mode(3)),
        Stays("LineCommentEndsInBackslash", WithLength("x = 1; // C:", "\\", 100) + "\ny;\n",
              Mode(3)),
        Stays("LineCommentEndsInSecondByteBackslash",
              WithLength("x = 1; // ", "\x95\x5C", 100) + "\ny;\n", Mode(3)),

        // The line filters and the indentation on literals and continued lines.
        Case{"ContinuedStringKeepsItsBlanks", "{\n    s = \"abc\\\n  def\";\n}\n",
             "{\ns = \"abc\\\n  def\";\n}\n", Indented(0)},
        Case{"ContinuedTokenKeepsItsBlanks", "{\n    a\\\n  b;\n}\n", "{\na\\\n  b;\n}\n",
             Indented(0)},
        Case{"ContinuedAfterBlankIsIndented", "{\n    a \\\n    b;\n}\n", "{\na \\\n  b;\n}\n",
             Indented(0)},
        Case{"FullWidthSpaceInLiteralsStays", "s = \"\x81\x40\"; c = '\x81\x40'; x;  //     \n",
             "s = \"\x81\x40\"; c = '\x81\x40'; x;\x81\x40// \x81\x40\x81\x40\n", Mode(0)},
        Case{"TabInPreprocessorLiteralStays", "#define S \"a\tb\" 'c\t'\n#define X 1\n",
             "#define\tS \"a\tb\" 'c\t'\n#define\tX\t1\n", Indented(0)},
        Case{"TabInIncludedNameStays", "#include <a\tb.h>\n#include \"c\td.h\"\n",
             "#include\t<a\tb.h>\n#include\t\"c\td.h\"\n", Indented(0)},
        Stays("EmptyLineAfterSpliceStays", "#define A 1 \\\n\nint x;\n",
              Setup{0, false, false, true}),
        Stays("EmptyLineAfterSecondByteSpliceStays", "// \x95\x5C\n\nint x;\n",
              Setup{0, false, false, true}),
        Stays("RawStringKeepsItsLines", "s = R\"x(  a  \n\n  b )x\";\n",
              Setup{0, false, false, true, false, "f.cpp"}),
        // Quotes that pair up on the line still leave the raw string open, and a quote that
        // is a digit separator pairs with none.
        Case{"RawStringWithAQuoteStaysOpen", "s = R\"(a\"\n  b)\";\n", "s = R\"(a\"\n  b)\";\n",
             Setup{0, true, false, false, false, "f.cpp"}},
        Stays("DigitSeparatorBeforeAnOpenComment", "c = 1'2 /* '\n#\tx */\n",
              Setup{0, true, false, false, false, "f.cpp"}),
        Case{"QuoteBeforeDoubleByteOpensALiteral", "x = 1'\x81\x40';\n", "x = 1'\x81\x40';\n",
             Setup{0, false, false, false, false, "f.cpp"}},
        // A literal's closing quote ends the number that the next quote could belong to.
        Stays("SeparatorAfterACharLiteral", "c = 'a'12'3 + '\x81\x40';\n",
              Setup{0, false, false, false, false, "f.cpp"}),
        Case{"DigitSeparatorIsNoQuote", "x = 1'000; // c   \n", "x = 1'000; /* c */\n",
             Setup{1, false, false, false, false, "f.cpp"}},
        // Digits after a double-byte letter end an identifier, not a number: the quote opens
        // a literal. After a full-width space they begin a number.
        Case{"DigitsAfterDoubleByteLetterAreNoNumber",
             "c = \x8A\xBF"
             "1'5\x81\x40';\n",
             "c = \x8A\xBF"
             "1'5\x81\x40';\n",
             Setup{0, false, false, false, false, "f.cpp"}},
        Case{"NumberWithDoubleByteLetterTakesASeparator", "c = 1\x8A\xBF'5  ;\n",
             "c = 1\x8A\xBF'5\x81\x40;\n", Setup{0, false, false, false, false, "f.cpp"}},
        Case{"DigitsAfterWideSpaceAreANumber", "c =  1'5  ;\n",
             "c =\x81\x40"
             "1'5\x81\x40;\n",
             Setup{0, false, false, false, false, "f.cpp"}},
        Case{"DigitsAfterUtf8LetterAreNoNumber",
             "c = \xE6\xBC\xA2"
             "1'5\xE3\x80\x80';\n",
             "c = \xE6\xBC\xA2"
             "1'5\xE3\x80\x80';\n",
             Setup{0, false, false, false, false, "f.cpp", TextEncoding::Utf8}},
        // R" opens a raw string only where R starts a token: after a byte that is no
        // character it does, after a letter ("$" too) it does not.
        Stays("RawStringAfterStrayByte", "x = \xFFR\"(a\n\x81\x40\n)\";\n",
              Setup{0, false, false, false, false, "f.cpp"}),
        Case{"NoRawStringAfterDollar", "x = $R\"(a\n  y;\n", "x = $R\"(a\n\x81\x40y;\n",
             Setup{0, false, false, false, false, "f.cpp"}},
        // A splice joins the token before it to the one after: N then 0x1 is a name, 1 then
        // '000 a number; a "." ends a name, and a number may begin with it.
        Stays("SplicedNameTakesNoSeparator", "a = N\\\n0x1'F /* \x81\x40 */\n",
              Setup{0, false, false, false, false, "f.cpp"}),
        Case{"SplicedNumberTakesASeparator", "b = 1\\\n\\\n'000 /*    */;\n",
             "b = 1\\\n\\\n'000 /* \x81\x40 */;\n", Setup{0, false, false, false, false, "f.cpp"}},
        Case{"NumberAfterANameAndADot", "e = x.5'0 /*    */;\n", "e = x.5'0 /* \x81\x40 */;\n",
             Setup{0, false, false, false, false, "f.cpp"}},
        Stays("RawPrefixOverASplice", "s = u\\\n8R\"(a\n\x81\x40\n)\";\n",
              Setup{0, false, false, false, false, "f.cpp"}),
        Case{"NumberBeforeRIsNoRawPrefix", "s = 1.R\"(a\n  ;\n", "s = 1.R\"(a\n\x81\x40;\n",
             Setup{0, false, false, false, false, "f.cpp"}},
        Case{"NameOverASpliceIsNoRawPrefix", "s = x\\\nR\"(a\ny  ;\n",
             "s = x\\\nR\"(a\ny\x81\x40;\n", Setup{0, false, false, false, false, "f.cpp"}},
        // A splice at a CR inside a line joins tokens the same way.
        Stays("SplicedAtACrNameTakesNoSeparator", "a = L\\ \r0x1'F b  \nx;\n",
              Setup{0, false, false, false, false, "f.cpp"}),
        Case{"SplicedAtACrNumberTakesASeparator", "b = 1\\\r'0;\n", "b = 1\\\r'0;  \n",
             Setup{0, false, false, false, false, "f.cpp"}},
        Stays("RawPrefixOverSplicesAtCrs", "s = u\\\r8R\\\r\"(a\n   b)\";\n",
              Setup{0, false, false, false, false, "f.cpp"}),
        Stays("RawPrefixOverASpliceAtACrAndOneAtTheEnd", "s = u\\\r8\\\nR\"(a\n   b)\";\n",
              Setup{0, false, false, false, false, "f.cpp"}),
        Case{"DigitsAfterUtf8WideSpaceAreANumber", "c =  1'5  ;\n",
             "c =\xE3\x80\x80"
             "1'5\xE3\x80\x80;\n",
             Setup{0, false, false, false, false, "f.cpp", TextEncoding::Utf8}},
        Case{"SectionCommentsWaitForCode",
             "/* open\n#include <a.h>\n*/\n" + DefinitionLines() + "#include <b.h>\n",
             "/* open\n#include <a.h>\n*/\n#include <b.h>\n", Setup{0, false, false, false, true}},
        // An #include that a splice joins to the line before is not where they may go: in the
        // byte reading the comments would take the include's place on the "//" line.
        Case{"SectionCommentsSkipAnIncludeSplicedBySecondByte",
             "// \x95\x5C\n#include <a.h>\n" + DefinitionLines() + "#include <b.h>\n",
             "// \x95\x5C\n#include <a.h>\n#include <b.h>\n", Setup{0, false, false, false, true}},
        Case{"SectionCommentsSkipAnIncludeSplicedByBackslash",
             "#define A \\\n#include <a.h>\n" + DefinitionLines() + "#include <b.h>\n",
             "#define A \\\n#include <a.h>\n#include <b.h>\n", Setup{0, false, false, false, true}},
        // A backslash and blanks splice as gcc takes them: trimming the blanks keeps the
        // splice, and the string goes on with the same text.
        Case{"ContinuedStringLosesBlanksAfterItsBackslash", "s = \"abc \\\ndef\";\n",
             "s = \"abc \\  \t\ndef\";\n", Mode(0)},
        Case{"UnclosedStringKeepsItsTrailingBlanks", "s = \"abc  \nx;\n", "s = \"abc  \nx;\n",
             Mode(0)},
        Stays("UnclosedCharKeepsItsTrailingBlanks", "c = 'ab  \nx;\n", Mode(0)),
        // A splice at a CR may stand inside a comment mark: "/", CR splice, "*" opens one.
        Case{"CommentOpenedOverASpliceAtACr", "a; /\\\r* b\nx \" */ d;\n",
             "a; /\\\r* b\nx \" */ d;   \n", Mode(0)},
        Case{"LineCommentOverASpliceAtACr", "a; /\\\r/ b \"\n", "a; /\\\r/ b \"  \n", Mode(0)},
        Stays("CommentClosedOverASpliceAtACr", "/* a *\\\r/ x \"  \n", Mode(0)),
        Stays("CommentClosedOverASpliceAtACrThenALineCommentSpliced", "/*{*\\\r//\\\n/\n",
              Indented(0)),
        // A mark a line-end splice cuts may go on past splices at CRs on the next line.
        Stays("CommentClosedOverASpliceAndASpliceAtACr", "{/**\\\n\\\r//\\\n/ y;\n", Indented(0)),
        Case{"LineCommentOpenedOverASpliceAndASpliceAtACr", "{ x /\\\n\\ \r/ y\\\n    z;\n",
             "{ x /\\\n\\ \r/ y\\\n z;\n", Indented(0)},
        // A splice at a CR comes before escapes: the literal goes on after the CR.
        Stays("LiteralsGoOnOverASpliceAtACr",
              "c = U'\\\\\r/* a */a \t \ns = \"a\\  \r  b\t  \nx;\n", Mode(0)),
        // A CR ends an unclosed literal as the line's end does.
        Stays("UnclosedLiteralsACrEndsKeepTheirBlanks", "s = \"abc  \r\r\nc = 'ab \t\r \nx;\n",
              Mode(0)),
        // A CR inside a line is the compiler's line end: after a backslash it is where the
        // splice is, so the blanks there stay, and so does the line after it.
        Case{"CarriageReturnAfterBackslashSplices", "s = \"a\\\r \nb\";\n",
             "s = \"a\\\r \n  b\";\n", Setup{0, true}},
        // In a comment too: without the CR, the "*" and the next line's "/" would close it.
        Stays("CarriageReturnAfterBackslashInAComment", "/* a\n*\\\r \n/ b */\n", Mode(0)),
        // A CR inside a line ends it for the compiler: comments on such a line, and a comment
        // held over one, stay as they are.
        Stays("LineCommentACrEnds", "a; // x\rb;\n", Mode(2)),
        // After the CR a comment opens, past a line comment or an open literal: the next line
        // is in it.
        Stays("CommentOpenedAfterALineCommentAndACr", "a; // x\r/* open\nb // y\nc */ d;\n",
              Mode(2)),
        Stays("CommentOpenedAfterALiteralAndACr", "s = \"a\r/* open\nb // y\nc */ d;\n", Mode(2)),
        Case{"FullWidthSpaceInACommentOpenedAfterALineCommentAndACr", "a; // x\r/* s\n\"  \" */\n",
             "a; // x\r/* s\n\"\x81\x40\" */\n", Mode(0)},
        Case{"LineCommentAfterACr", "a;\rb; /* x */\n", "a;\rb; // x\n", Mode(2)},
        Case{"BlockCommentOverACr", "a; /* x\ry */ // z   \n", "a; /* x\ry */ /* z */\n", Mode(1)},
        Stays("HeldCommentOverACr", "/* a\nb\rc\nd */\n", Mode(1)),
        // As a line comment it would end at the CR in a backslash, and splice.
        Stays("LineCommentWouldEndInABackslashAtACr",
              "/*a*//* x\\*/\r//b\n/*c*//* \x95\x5C*/\r//d\n", Mode(1)),
        Stays("HeldCommentClosingAfterACr", "/* a\nb\rc */\n", Mode(1)),
        Stays("LongLineWithACrNotSplit", WithLength("x = 1;\r", "; /* c */\n", 90), Mode(3)),
        // Old Mac files end lines with a CR alone: which full-width spaces stand in literals is
        // not known on such a line, and they all stay.
        Stays("FullWidthSpacesStayOnALineWithACr",
              "// don't\rs = \"a\x81\x40"
              "b\";\rt\x81\x40u;\n",
              Mode(0)),
        // A CR at the start of a line a splice continues ends the compiler's line there.
        Stays("CarriageReturnStartingAContinuedLine", "x; // c\\\n\ry;\n", Mode(0)),
        Case{"CarriageReturnAfterBackslashAndBlankSplices", "#define A \\ \r \n1\n",
             "#define A \\ \r \n  1\n", Setup{0, true}},
        // 0xE0 leads a character whose second byte is 0x5C: no escape, the string is closed.
        Case{"LeadE0TakesTheBackslashAsItsSecondByte", "s = \"\xE0\\\";\n", "s = \"\xE0\\\";   \n",
             Mode(0)},
        // An escaping backslash right before a splice takes the next line's quote.
        Case{"EscapeBeforeSpliceTakesTheNextLinesQuote", "s = \"a\\\\\n\"b  \";\n",
             "s = \"a\\\\\n\"b  \";   \n", Mode(0)},
        // A raw string's delimiter holds at most 16 characters; R must start its token.
        Case{"RawStringDelimiterOfSixteen", "s = R\"0123456789abcdef(x\n   y)0123456789abcdef\";\n",
             "s = R\"0123456789abcdef(x\n   y)0123456789abcdef\";\n",
             Setup{0, true, false, false, false, "f.cpp"}},
        Case{"DelimiterOfSeventeenIsNoRawString", "s = R\"0123456789abcdefg(x\ny;\n",
             "s = R\"0123456789abcdefg(x\n   y;\n", Setup{0, true, false, false, false, "f.cpp"}},
        Case{"IdentifierEndingIn8RIsNoRawPrefix", "s = a8R\"(x\ny;\n", "s = a8R\"(x\n   y;\n",
             Setup{0, true, false, false, false, "f.cpp"}},
        // Every C++ name takes digit separators, whatever the case of its extension.
        Case{"CxxFileTakesDigitSeparators", "x = 1'000; // c   \n", "x = 1'000; /* c */\n",
             Setup{1, false, false, false, false, "f.cxx"}},
        Case{"UpperCaseHhFileTakesDigitSeparators", "x = 1'000; // c   \n", "x = 1'000; /* c */\n",
             Setup{1, false, false, false, false, "f.HH"}}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(CommentConversion, CountsTheCommentsLeftAsTheyWere) {
    ConvertReport report;
    Convert("x = 1; /* a */ y;\n/* b\nc */ z;\n/* ok */\n", Mode(1), &report);
    EXPECT_EQ(2, report.commentsLeft);
    Convert("/* never closed\nx;\n", Mode(1), &report);
    EXPECT_EQ(1, report.commentsLeft);
    // The first stays for the code after it, the next opens on a line already on its way.
    Convert("/* a\nb */ x; /* c\nd */\n", Mode(1), &report);
    EXPECT_EQ(2, report.commentsLeft);
    // A long line that stays whole counts once, however many comments it holds.
    Convert(WithLength("a/**/b/**/", "", 100) + "\n", Mode(3), &report);
    EXPECT_EQ(1, report.commentsLeft);
    // A close split by a splice leaves its comment, once, and one after it on its line too.
    const std::pair<const char*, int> splitClose[] = {{"/* a *\\\n/\nx;\n", 1},
                                                      {"/* a *\\\n/ /* b */ x;\n", 2}};
    for (const auto& [input, left] : splitClose) {
        Convert(input, Mode(1), &report);
        EXPECT_EQ(left, report.commentsLeft) << input;
    }
}

// A comment is held while it is open: 1,000 lines or 256 KiB of them (the opening line and
// those inside, without line ends) at the most. A longer one is left as it was.
TEST(CommentConversion, LeavesACommentTooLongToHold) {
    struct Row {
        const char* name;
        size_t lines;     // inside, after the opening line "/* a"
        size_t lineBytes; // each of them, but the last
        size_t lastBytes;
        bool converted;
        int comments = 1; // in a row: the bytes held for one do not count for the next
    };
    const Row rows[] = {
        {"999 lines", 998, 4, 4, true},
        {"1,000 lines", 999, 4, 4, true},
        {"1,001 lines", 1000, 4, 4, false},
        {"256 KiB held", 256, 1024, 1020, true}, // 4 + 255 * 1024 + 1020 bytes
        {"256 KiB held twice", 256, 1024, 1020, true, 2},
        {"a byte more", 256, 1024, 1021, false},
    };
    for (const Row& r : rows) {
        std::string comment = "/* a\n";
        for (size_t i = 0; i < r.lines; ++i)
            comment += std::string(i + 1 < r.lines ? r.lineBytes : r.lastBytes, 'x') + "\n";
        comment += "*/\n";
        std::string input;
        for (int i = 0; i < r.comments; ++i)
            input += comment;
        ConvertReport report;
        const std::string output = Convert(input, Mode(1), &report);
        EXPECT_EQ(r.converted, output != input) << r.name;
        EXPECT_EQ(r.converted ? 0 : 1, report.commentsLeft) << r.name;
    }
}

// A held line that changes a token is refused at the input line of the first token that differs
// (in the comment, "y" after it): lines of a comment held until it closes, and of a second
// module-header block in the slots of the first, keep their numbers.
TEST(CommentConversion, HeldLinesKeepTheirInputLineNumbers) {
    struct Row {
        std::string input;
        srctdy::Setup setup; // "Setup" alone names the fixture's member here
        long partingLine;
    };
    const Row rows[] = {
        {"x;\n/* a\nb\n*/ y;\n", Mode(1), 4},
        {kNameMarker + "\n" + kSummaryMarker + "\n" + kStars + "/\nf;\n" + kNameMarker + "\nb\n" +
             kStars + "/\ng;\n",
         srctdy::Setup{0, false, true}, 6},
    };
    SetLineFaultForTesting([](std::string& line) {
        if (line == "b")
            line = "*/ b";
    });
    for (const Row& r : rows) {
        ConvertReport report;
        Convert(r.input, r.setup, &report, true);
        EXPECT_EQ(r.partingLine, report.partingLine) << r.input;
    }
    SetLineFaultForTesting(nullptr);
}

} // namespace
} // namespace srctdy
