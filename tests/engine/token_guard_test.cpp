#include "engine/token_guard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace srctdy {
namespace {

// Lines joined with LF.
std::string Lf(std::initializer_list<std::string> lines) {
    std::string out;
    for (const auto& l : lines)
        out += l + "\n";
    return out;
}

const GuardOptions kC{TextEncoding::Cp932, false};
const GuardOptions kCpp{TextEncoding::Cp932, true};
const GuardOptions kUtf8{TextEncoding::Utf8, false};

struct GuardCase {
    const char* name;
    std::string output;
    std::string reference;
    GuardOptions options;
    bool same;
    long parting; // for rows that differ: input line where they part
};

void PrintTo(const GuardCase& c, std::ostream* os) {
    *os << c.name;
}

class TokenGuardRows : public ::testing::TestWithParam<GuardCase> {};

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    for (size_t lf; (lf = text.find('\n')) != std::string_view::npos; text.remove_prefix(lf + 1))
        lines.push_back(text.substr(0, lf));
    if (!text.empty())
        lines.push_back(text);
    return lines;
}

TEST_P(TokenGuardRows, ComparesTokens) {
    const GuardCase& c = GetParam();
    for (bool quick : {true, false}) {
        GuardOptions options = c.options;
        options.quickLines = quick;
        long parting = -1;
        EXPECT_EQ(c.same, SameTokens(c.output, c.reference, options, &parting)) << quick;
        if (!c.same) {
            EXPECT_EQ(c.parting, parting) << quick;
        }
    }
    // Line for line, as the engine hands them over: the output line's leading blanks as its
    // head. The text is a copy, or, where the reference line ends in it, a view into the
    // reference as for a line written from where it was read.
    std::vector<std::string_view> out = SplitLines(c.output);
    std::vector<std::string_view> ref = SplitLines(c.reference);
    if (out.size() != ref.size())
        return;
    for (bool views : {false, true}) {
        TokenGuard guard(c.options);
        for (size_t l = 0; l < out.size(); ++l) {
            size_t head = std::min(out[l].find_first_not_of(" \t"), out[l].size());
            std::string_view text = out[l].substr(head);
            if (views && ref[l].ends_with(text))
                text = ref[l].substr(ref[l].size() - text.size());
            guard.linePair(out[l].substr(0, head), text, ref[l], long(l + 1));
        }
        EXPECT_EQ(c.same, guard.finish()) << "line pairs, views " << views;
        if (!c.same) {
            EXPECT_EQ(c.parting, guard.partingLine()) << "line pairs, views " << views;
        }
    }
}

const std::string kHyo = "\x95\x5c";  // 表: second byte 0x5C
const std::string kWide = "\x81\x40"; // full-width space
const std::string kWide8 = "\xE3\x80\x80";

// Edits the engine makes and that keep the tokens.
INSTANTIATE_TEST_SUITE_P(
    Same, TokenGuardRows,
    ::testing::Values(
        GuardCase{"Reindent", Lf({"int f() {", "\treturn 1;", "}"}),
                  Lf({"int f() {", "  return 1;", "}"}), kC, true, 0},
        GuardCase{"TrimBlanks", "x = 1;", Lf({"  x = 1;   "}), kC, true, 0},
        GuardCase{"BlockToLine", Lf({"x = 1; // c   "}), Lf({"x = 1; /* c */"}), kC, true, 0},
        GuardCase{"MultiLineBlockToLines", Lf({"// a", "//    b", "x;"}),
                  Lf({"/* a", "   b */", "x;"}), kC, true, 0},
        GuardCase{"LineToBlock", Lf({"a(); /* b */"}), Lf({"a(); // b"}), kC, true, 0},
        GuardCase{"CommentSplitAbove", Lf({"/* c */", "x = 1; "}), Lf({"x = 1; /* c */"}), kC, true,
                  0},
        GuardCase{"EmptyLinesDropped", Lf({"a;", "b;"}), Lf({"", "", "a;", "", "", "b;", "", ""}),
                  kC, true, 0},
        GuardCase{"WideSpaceOutsideLiterals", Lf({"a  =  1;  // x  y"}),
                  Lf({"a" + kWide + "=" + kWide + "1;" + kWide + "// x" + kWide + "y"}), kC, true,
                  0},
        GuardCase{"WideSpaceUtf8", Lf({"a  = 1;"}), Lf({"a" + kWide8 + "= 1;"}), kUtf8, true, 0},
        // A line comment that ends in a splice takes the next line: what stands there is
        // comment text on both sides.
        GuardCase{"LineCommentSplicedOn", Lf({"a = 1; // c \\", "x;"}),
                  Lf({"  a = 1; // c \\", "y;"}), kC, true, 0},
        GuardCase{"BlanksAfterSpliceBackslash", Lf({"#define A \\", "  1"}),
                  Lf({"#define A \\  \t", "  1"}), kC, true, 0},
        GuardCase{"DirectiveEndsInsideComment", Lf({"#define A 1 // x", "// */", "int y;"}),
                  Lf({"#define A 1 /* x", "*/", "int y;"}), kC, true, 0},
        GuardCase{"CommentAfterDirectiveEnd", Lf({"#define A 1", "/* c", "*/ x;"}),
                  Lf({"#define A 1", "/* c */ x;"}), kC, true, 0},
        GuardCase{"NewlineOutsideDirectivesFree", Lf({"f(a, // c", "  b);"}),
                  Lf({"f(a, /* c", "*/ b);"}), kC, true, 0},
        GuardCase{"ObjectLikeStaysObjectLike", Lf({"#define F  (x)"}), Lf({"#define F /**/(x)"}),
                  kC, true, 0},
        GuardCase{"HyoInStringIsNoEscape", Lf({"    s = \"" + kHyo + "\";"}),
                  Lf({"s = \"" + kHyo + "\";  "}), kC, true, 0},
        GuardCase{"HyoEndingCommentBothReadingsKept", Lf({"// " + kHyo, "x;"}),
                  Lf({"// " + kHyo + "  ", "x;"}), kC, true, 0},
        // A line of plain words inside a comment is comment text, however it is indented.
        GuardCase{"PlainLineInsideBlockComment", Lf({"/* a", "b", "c d */", "x;"}),
                  Lf({"/* a", "  b", "cd */", "x;"}), kC, true, 0},
        // Bytes that stand for a token of their own, or end a literal, whatever follows.
        GuardCase{"ByteA0IsATokenOfItsOwn",
                  Lf({"x = a\xA0"
                      "b;"}),
                  Lf({"x = a \xA0 b;"}), kC, true, 0},
        GuardCase{"StrayLeadByteBeforeClosingQuote", Lf({"s = \"\x81\";  t;"}),
                  Lf({"s = \"\x81\"; t;"}), kC, true, 0},
        GuardCase{"DigitSeparatorCpp", Lf({"x = 1'000;   "}), Lf({"x = 1'000;"}), kCpp, true, 0},
        // A splice before the "(" is undone inside the raw string: a backslash in the
        // delimiter makes no raw string, so the line after is code.
        GuardCase{"SpliceInRawDelimiter", Lf({"R\"{\\", "(", "    "}), Lf({"R\"{\\", "(", ""}),
                  kCpp, true, 0},
        // A delimiter of 17 characters makes no raw string: the next line is code, trimmed.
        GuardCase{"RawDelimiterTooLong", Lf({"s = R\"abcdefghijklmnopq(", "b"}),
                  Lf({"s = R\"abcdefghijklmnopq(", "\tb"}), kCpp, true, 0},
        GuardCase{"RawDelimiterOfSixteen",
                  Lf({"s = R\"abcdefghijklmnop(", "b)abcdefghijklmnop\";"}),
                  Lf({"s = R\"abcdefghijklmnop(", "\tb)abcdefghijklmnop\";"}), kCpp, false, 1},
        GuardCase{"DigitSeparatorBeforeComment", Lf({"x = 1'000;"}), Lf({"x = 1'000; /* a */"}),
                  kCpp, true, 0},
        GuardCase{"UnclosedLiteralTrimmed", Lf({"s = \"abc", "c = 'd"}),
                  Lf({"s = \"abc   ", "c = 'd\t"}), kC, true, 0},
        GuardCase{"RawStringLinesKept", Lf({"  s = R\"x(a", "  )\" b)x\";"}),
                  Lf({"s = R\"x(a", "  )\" b)x\";   "}), kCpp, true, 0},
        GuardCase{"NoHeaderNameAfterTheDirectiveEnds", Lf({"#include", "<a  b.h>"}),
                  Lf({"#include", "<a b.h>"}), kC, true, 0},
        GuardCase{"QuotedHeaderNameKnowsNoEscape", Lf({"#include \"a\\\" /* b */"}),
                  Lf({"#include \"a\\\" // b"}), kC, true, 0},
        // Only an include takes a header name: in a #define "<" is an operator.
        GuardCase{"NoHeaderNameInADefine", Lf({"#define A <a  b>"}), Lf({"#define A <a b>"}), kC,
                  true, 0},
        // An odd run of lead bytes takes the backslash: no splice in the character reading.
        GuardCase{"BackslashAfterThreeLeadBytesIsNoSplice", Lf({"#define A \x95\x95\x95\\", "x"}),
                  Lf({"#define A \x95\x95\x95\\", "  x"}), kC, true, 0},
        // A line comment spliced on, its blanks after the backslash kept in the written text.
        GuardCase{"LineCommentSplicedOnPastBlanks", Lf({"a;", "// c \\ ", "x;"}),
                  Lf({"a;", "// c \\ ", "y;"}), kC, true, 0},
        // Past the quick way's 64 bytes: the CR still opens a comment that takes the next line.
        GuardCase{"CrOpensACommentAfterALongLine",
                  Lf({"a;", "x; // " + std::string(64, 'a') + "\r/* open", "b; */"}),
                  Lf({"a;", "x; // " + std::string(64, 'a') + "\r/* open", "c; */"}), kC, true, 0},
        // An escape takes a whole character: the quote after the 0x5C of its second byte closes.
        GuardCase{"EscapedHyoClosesTheString", Lf({"s = \"\\" + kHyo + "\";   t;"}),
                  Lf({"s = \"\\" + kHyo + "\"; t;"}), kC, true, 0},
        GuardCase{"WideSpaceBeforeParenIsSpace", Lf({"#define F (x) x"}),
                  Lf({"#define F" + kWide + "(x) x"}), kC, true, 0},
        // A blank in the delimiter makes no raw string: the next line is code, trimmed.
        GuardCase{"BlankInRawDelimiter", Lf({"s = R\" (", "  x"}), Lf({"s = R\" (", "x"}), kCpp,
                  true, 0},
        GuardCase{"LeadByteFirstOnTheLineTakesTheBackslash", Lf({"\x95\\", "x"}),
                  Lf({"\x95\\", "  x"}), kC, true, 0},
        // A "#" alone ends its directive: "include" on the next line names no header.
        GuardCase{"HashAloneLeavesNoSteps", Lf({"#", "include <a  b.h>"}),
                  Lf({"#", "include <a b.h>"}), kC, true, 0},
        GuardCase{"HeaderNameIndented", Lf({"  #  include <a b.h>"}), Lf({"#include <a b.h>"}), kC,
                  true, 0},
        GuardCase{"BlankRunsBetweenTokens", Lf({"#define A  (1 +  2) // x"}),
                  Lf({"#define A\t(1 + 2) /* x */"}), kC, true, 0},
        GuardCase{"TabsForSpacesBetweenTokensAndInComments", Lf({"#define A  (1) /* a b */"}),
                  Lf({"#define A\t\t(1) /* a\tb */"}), kC, true, 0},
        GuardCase{"ContinuationsReindentedAfterBlank",
                  Lf({"#define M(a) \\", "    f(a); \\", "    g(a)"}),
                  Lf({"#define M(a) \\", "\tf(a); \\", "\t\tg(a)"}), kC, true, 0},
        GuardCase{"ObjectLikeDefineContinued", Lf({"#define F \\", "(x) x"}),
                  Lf({"#define F \\", "  (x) x"}), kC, true, 0},
        GuardCase{"CrLf", "a;\r\n\r\nb;\r\n", "a;\nb;", kC, true, 0},
        GuardCase{"CrLfAfterSplice", "#define A \\\r\n1\r\n\r\n", Lf({"#define A \\", "1"}), kC,
                  true, 0}));

// Lead byte edges: "L\" is one character when L is a lead byte, so the quote closes the string
// and the blanks after it are free; otherwise \" is an escape and the blanks lie in a string.
std::vector<GuardCase> LeadByteRows() {
    std::vector<GuardCase> rows;
    static const std::vector<std::pair<unsigned char, const char*>> leads = {
        {0x80, "Lead80"}, {0x81, "Lead81"}, {0x9F, "Lead9F"}, {0xA0, "LeadA0"},
        {0xDF, "LeadDF"}, {0xE0, "LeadE0"}, {0xFC, "LeadFC"}, {0xFD, "LeadFD"}};
    for (auto [b, name] : leads) {
        std::string ch(1, static_cast<char>(b));
        bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        rows.push_back({name, Lf({"x = \"" + ch + "\\\";    y = \"z\";"}),
                        Lf({"x = \"" + ch + "\\\"; y = \"z\";"}), kC, lead, 1});
    }
    // Second byte edges: a blank put between 0x88 and B splits a character only when they
    // were one.
    static const std::vector<std::pair<unsigned char, const char*>> seconds = {
        {0x3F, "Second3F"}, {0x40, "Second40"}, {0x7E, "Second7E"}, {0x7F, "Second7F"},
        {0x80, "Second80"}, {0xFC, "SecondFC"}, {0xFD, "SecondFD"}};
    for (auto [b, name] : seconds) {
        std::string ch(1, static_cast<char>(b));
        bool pair = (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
        rows.push_back(
            {name, Lf({"a = b\x88 " + ch + ";"}), Lf({"a = b\x88" + ch + ";"}), kC, !pair, 1});
    }
    // UTF-8: a valid sequence is one identifier character, a stray byte a token of its own.
    rows.push_back(
        {"Utf8CharacterSplit", Lf({"a = b\xC3 \xA9;"}), Lf({"a = b\xC3\xA9;"}), kUtf8, false, 1});
    rows.push_back(
        {"Utf8StrayBytesApart", Lf({"a = b\xFF \xA9;"}), Lf({"a = b\xFF\xA9;"}), kUtf8, true, 0});
    // Bytes at the edges of a valid sequence: the wrong ones are tokens of their own.
    for (auto [name, bytes] : std::initializer_list<std::pair<const char*, std::string>>{
             {"Utf8F5IsNoLead", "\xF5\x80\x80\x80"},
             {"Utf8SurrogateIsNoCharacter", "\xED\xA0\x80"},
             {"Utf8C0IsNoContinuation", "\xE3\x81\xC0"}})
        rows.push_back({name, Lf({"a = b" + bytes.substr(0, 1) + " " + bytes.substr(1) + ";"}),
                        Lf({"a = b" + bytes + ";"}), kUtf8, true, 0});
    rows.push_back({"Utf8IdeographicCommaIsNoSpace",
                    Lf({"a = b\xE3\x80\x81"
                        "c;"}),
                    Lf({"a = b \xE3\x80\x81 c;"}), kUtf8, false, 1});
    rows.push_back(
        {"Utf8C1IsNoLead", Lf({"a = b\xC1 \x80;"}), Lf({"a = b\xC1\x80;"}), kUtf8, true, 0});
    rows.push_back({"Utf8OverlongIsNoCharacter", Lf({"a = b\xE0 \x80\x80;"}),
                    Lf({"a = b\xE0\x80\x80;"}), kUtf8, true, 0});
    // The byte reading: a line ending in a second byte 0x5C splices as gcc reads it, so a
    // line after it may not be joined to it or parted from it.
    rows.push_back({"ByteSpliceKeptBeforeEmptyLine", Lf({"// " + kHyo, "", "x;"}),
                    Lf({"// " + kHyo, "", "", "x;"}), kC, true, 0});
    rows.push_back({"ByteSpliceLineMayNotLoseFollower", Lf({"// " + kHyo, "x;"}),
                    Lf({"// " + kHyo, "", "x;"}), kC, false, 3});
    return rows;
}
INSTANTIATE_TEST_SUITE_P(Bytes, TokenGuardRows, ::testing::ValuesIn(LeadByteRows()));

// Edits that change what the compiler sees.
INSTANTIATE_TEST_SUITE_P(
    Differ, TokenGuardRows,
    ::testing::Values(
        GuardCase{"CommentGlues", Lf({"ab"}), Lf({"a/**/b"}), kC, false, 1},
        // A CR inside a line ends a line for the compiler, as an LF does (old Mac files).
        GuardCase{"CrEndsTheLineComment", Lf({"int a; /* x\rint b; */"}),
                  Lf({"int a; // x\rint b;"}), kC, false, 1},
        GuardCase{"CrEndsTheLineOfAComment", Lf({"a; // x\ry;"}), Lf({"a; /* x\ry; */"}), kC, false,
                  1},
        // After the CR the comment opens: the next line is in it, and a "*/" there closes it.
        GuardCase{"CrOpensACommentAfterALineComment",
                  Lf({"x;", "int a; // x\r/* open", "b; /* y */", "c */ d;"}),
                  Lf({"x;", "int a; // x\r/* open", "b; // y", "c */ d;"}), kC, false, 4},
        GuardCase{"CrOnlyFileLiteralAfterLineComment", "// don't\rs = \"a  b\";\r",
                  "// don't\rs = \"a\x81\x40"
                  "b\";\r",
                  kC, false, 1},
        // Comment marks inside literals open nothing: what follows is still code. The long
        // lines put the literal past the first sixteen bytes.
        // Lines of 8 to 31 bytes that differ only past their first 8 or 16.
        GuardCase{"DiffersInLastBytesOfShortLine", Lf({"a;", "abcdefgh = 1;"}),
                  Lf({"a;", "  abcdefgh = 2;"}), kC, false, 2},
        GuardCase{"DiffersInLastBytesOfLongLine", Lf({"a;", "abcdefghijklmnopqrs = 1;"}),
                  Lf({"a;", "\tabcdefghijklmnopqrs = 2;"}), kC, false, 2},
        GuardCase{"CharLiteralHidesCommentOpen", Lf({"c = '/*';", "x;"}), Lf({"  c = '/*';", "y;"}),
                  kC, false, 2},
        GuardCase{"LongLineStringHidesCommentOpen",
                  Lf({"static const char *name_of_the_thing = \"/*\";", "x;"}),
                  Lf({"\tstatic const char *name_of_the_thing = \"/*\";", "y;"}), kC, false, 2},
        GuardCase{"LineStringHidesCommentOpenInItsLast16", Lf({"abcdefghijklmnop = '/*';", "x;"}),
                  Lf({"abcdefghijklmnop = '/*';", "y;"}), kC, false, 2},
        // Longer than 64 bytes: the walk over it starts at the literal's quote.
        GuardCase{"LongLineOpeningWithACharLiteral",
                  Lf({"'/*' + " + std::string(64, 'a') + ";", "b;"}),
                  Lf({"  '/*' + " + std::string(64, 'a') + ";", "c;"}), kC, false, 2},
        GuardCase{"DefineTurnsFunctionLike", Lf({"#define F(x) x"}), Lf({"#define F/**/(x) x"}), kC,
                  false, 1},
        GuardCase{"DefineTurnsObjectLike", Lf({"", "#define F (x) x"}), Lf({"", "#define F(x) x"}),
                  kC, false, 2},
        GuardCase{"StringContinuationTrimmed", Lf({"s = \"a\\", "def\";"}),
                  Lf({"s = \"a\\", "  def\";"}), kC, false, 1},
        GuardCase{"ContinuationTrimmedGlues", Lf({"a\\", "b"}), Lf({"a\\", "  b"}), kC, false, 1},
        GuardCase{"CodeAfterCommentCommentedOut", Lf({"x = 1; // c    y = 2;"}),
                  Lf({"x = 1; /* c */ y = 2;"}), kC, false, 1},
        GuardCase{"LineCommentEndingInBackslash", Lf({"// C:\\   ", "x;"}),
                  Lf({"/* C:\\ */", "x;"}), kC, false, 2},
        GuardCase{"LineCommentEndingInHyo", Lf({"// " + kHyo + "   ", "x;"}),
                  Lf({"/* " + kHyo + " */", "x;"}), kC, false, 2},
        // Where no token comes before the parting, the first line is named, never a line 0.
        GuardCase{"SplicedLineCommentToBlock", Lf({"/* a \\ */", "b"}), Lf({"// a \\", "b"}), kC,
                  false, 1},
        GuardCase{"BlockCommentToSplicingLineComment", Lf({"c;", "// a \\", "b"}),
                  Lf({"c;", "/* a \\ */", "b"}), kC, false, 3},
        GuardCase{"WideSpaceInString", Lf({"s = \"  \";"}), Lf({"s = \"" + kWide + "\";"}), kC,
                  false, 1},
        GuardCase{"WideSpaceInCharUtf8", Lf({"c = '  ';"}), Lf({"c = '" + kWide8 + "';"}), kUtf8,
                  false, 1},
        GuardCase{"WideSpaceMakesSplice", Lf({"#define A \\  ", "B"}),
                  Lf({"#define A \\" + kWide, "B"}), kC, false, 1},
        GuardCase{"EmptyLineAfterSpliceDeleted", Lf({"#define A \\", "x"}),
                  Lf({"#define A \\", "", "x"}), kC, false, 3},
        GuardCase{"SpliceLost", Lf({"a", "b"}), Lf({"a \\", "b"}), kC, false, 2},
        GuardCase{"CommentLineBecomesCode", Lf({"a;", "//", " * see https://h/x", "//"}),
                  Lf({"a;", "/*", " * see https://h/x", " */"}), kC, false, 1},
        GuardCase{"RawStringContentChanged", Lf({"s = R\"(a", "b)\";"}),
                  Lf({"s = R\"(a", "  b)\";"}), kCpp, false, 1},
        GuardCase{"RawStringSpliceKept", Lf({"s = R\"(a\\", "b)\";"}),
                  Lf({"s = R\"(a\\  ", "b)\";"}), kCpp, false, 1},
        // In C the quote opens a character literal that holds the comment marks.
        GuardCase{"QuoteInNumberOpensCharInC", Lf({"x = 1'000;"}), Lf({"x = 1'000; /* a */"}), kC,
                  false, 1},
        // An unclosed literal ends at the line end, its trailing blanks left out.
        GuardCase{"UnclosedStringChanged", Lf({"s = \"ab c   "}), Lf({"s = \"abc"}), kC, false, 1},
        GuardCase{"DirectiveSwallowsNextLine", Lf({"#define A 1 int x;"}),
                  Lf({"#define A 1", "int x;"}), kC, false, 2},
        GuardCase{"CommentHidesDirectiveEnd", Lf({"#define A 1 /* c", "*/ x;"}),
                  Lf({"#define A 1 /* c */", "x;"}), kC, false, 2},
        GuardCase{"HashAfterCommentStartsDirective", Lf({"x; /* c", "*/", "# define A"}),
                  Lf({"x; /* c", "*/ # define A"}), kC, false, 2},
        GuardCase{"SpliceIsNoSpaceBeforeParen", Lf({"#define F \\", "(x) x"}),
                  Lf({"#define F\\", "(x) x"}), kC, false, 2},
        GuardCase{"DigraphStartsDirective", Lf({"%:define A 1 x"}), Lf({"%:define A 1", "x"}), kC,
                  false, 2},
        GuardCase{"NulBetweenSpliceAndLineEnd", Lf({std::string("x; /* c \\\0 */", 14), "y;"}),
                  Lf({std::string("x; // c \\\0", 11), "y;"}), kC, false, 1},
        GuardCase{"HeaderNameIsOneToken", Lf({"#include <a  b.h>"}), Lf({"#include <a b.h>"}), kC,
                  false, 1},
        // Letters of an identifier or a number that a blank must not part.
        GuardCase{"IdeographicCommaIsNoSpace",
                  Lf({"x = a\x81\x41"
                      "b;"}),
                  Lf({"x = a \x81\x41 b;"}), kC, false, 1},
        GuardCase{"HalfWidthKatakanaA1IsALetter",
                  Lf({"x = a\xA1"
                      "b;"}),
                  Lf({"x = a \xA1 b;"}), kC, false, 1},
        GuardCase{"HalfWidthKatakanaDFIsALetter",
                  Lf({"x = a\xDF"
                      "b;"}),
                  Lf({"x = a \xDF b;"}), kC, false, 1},
        GuardCase{"HexFloatExponentSign", Lf({"x = 0x1p+3;"}), Lf({"x = 0x1p + 3;"}), kC, false, 1},
        // Two lead bytes make one character: the backslash after them splices.
        GuardCase{"BackslashAfterTwoLeadBytesSplices", Lf({"#define A \x95\x95\\", "x"}),
                  Lf({"#define A \x95\x95\\", "  x"}), kC, false, 1},
        GuardCase{"HeaderNameIsOneTokenAfterImport", Lf({"#import <a  b.h>"}),
                  Lf({"#import <a b.h>"}), kC, false, 1},
        GuardCase{"HeaderNameAfterASplicedInclude", Lf({"#include \\", "<a  b.h>"}),
                  Lf({"#include \\", "<a b.h>"}), kC, false, 2},
        // On the line after the include the quote opens a string, whose escapes count.
        GuardCase{"QuotedNameOnlyOnTheIncludeLine", Lf({"#include", "\"a\\\" b  c\";"}),
                  Lf({"#include", "\"a\\\" b c\";"}), kC, false, 2},
        GuardCase{"EncodingPrefixU8", Lf({"s = u8 \"a\";"}), Lf({"s = u8\"a\";"}), kC, false, 1},
        GuardCase{"EmptyLineAfterSpliceAtTheEndDeleted", Lf({"#define A \\"}),
                  Lf({"#define A \\", ""}), kC, false, 1},
        GuardCase{"DotDigitIsANumber", Lf({"x = . 5;"}), Lf({"x = .5;"}), kC, false, 1},
        GuardCase{"SplicedLineDropped", Lf({"#define A \\", "1"}), Lf({"#define A \\", "\\", "1"}),
                  kC, false, 3},
        // Spliced lines carry the directive's steps on.
        GuardCase{"DefineStepsGoOnPastSplices", Lf({"# \\", "define \\", "F (x) x"}),
                  Lf({"# \\", "define \\", "F(x) x"}), kC, false, 3},
        GuardCase{"HeaderNameIsOneTokenAfterIncludeNext", Lf({"#include_next <a  b.h>"}),
                  Lf({"#include_next <a b.h>"}), kC, false, 1},
        // A directive's first line alike on both sides and ending inside a comment: the
        // directive, and the steps of a #define, go on past it.
        GuardCase{"DigraphDirectiveGoesOnPastComment", Lf({"%:define A 1 /* c", "*/ x;"}),
                  Lf({"%:define A 1 /* c", "*/", "x;"}), kC, false, 3},
        GuardCase{"DefineStepsGoOnPastComment", Lf({"#define /* c", "*/ F (x) x"}),
                  Lf({"#define /* c", "*/ F(x) x"}), kC, false, 2},
        // A comment line between a line end and a "#" keeps the "#" first on its line.
        GuardCase{"CommentLineKeepsHashFirst", Lf({"x;", "/* c", "*/ # define F (x) x"}),
                  Lf({"x;", "/* c", "*/ # define F(x) x"}), kC, false, 3},
        GuardCase{"BlankRunInString", Lf({"s = \"a  b\"; t;"}), Lf({"s = \"a b\"; t;"}), kC, false,
                  1},
        GuardCase{"SpaceForTabInString", Lf({"#define S \"a b\" 1"}), Lf({"#define S \"a\tb\" 1"}),
                  kC, false, 1},
        GuardCase{"SpaceForAToken", Lf({"x = a b;"}), Lf({"x = a+b;"}), kC, false, 1},
        GuardCase{"SpaceForATokenInALongLine", Lf({"#define LONGER_NAME a b"}),
                  Lf({"#define LONGER_NAME a+b"}), kC, false, 1},
        GuardCase{"SpaceForTabInChar", Lf({"c = ' '; d;"}), Lf({"c = '\t'; d;"}), kC, false, 1},
        GuardCase{"SpaceForTabInHeaderName", Lf({"#include <a b.h>"}), Lf({"#include <a\tb.h>"}),
                  kC, false, 1},
        GuardCase{"SpaceForTabInHeaderNameAfterComment", Lf({"/* # */ #include <a b.h>"}),
                  Lf({"/* # */ #include <a\tb.h>"}), kC, false, 1},
        GuardCase{"BlankRunInCharAfterComment", Lf({"x; /* a */ c = ' ';"}),
                  Lf({"x; /* a  */ c = '  ';"}), kC, false, 1},
        GuardCase{"HashStartsDirective", Lf({"a", "# b"}), Lf({"a # b"}), kC, false, 1},
        GuardCase{"PunctuatorsLongestMatch", Lf({"x <<= 1; p->*q; f(...);"}),
                  Lf({"x << = 1; p->*q; f(...);"}), kCpp, false, 1},
        GuardCase{"TokenChangedLate", Lf({"x;", "y;", "z = 1;"}), Lf({"x;", "y;", "z = 2;"}), kC,
                  false, 3},
        GuardCase{"OutputLonger", Lf({"x;", "y;", "", "z;"}), Lf({"x;", "y;"}), kC, false, 2},
        GuardCase{"OutputShorter", Lf({"x;"}), Lf({"x;", "", "y;"}), kC, false, 3}));

TEST(TokenGuard, StreamsHeadsAndNamesInputLineBeforeInsertedOnes) {
    TokenGuard guard(kC);
    guard.referenceLine("int a;", 7);
    guard.referenceLine("/* inserted */", 0);
    guard.referenceLine("int b;", 0);
    guard.outputLine("  ", "int a;");
    guard.outputLine("//", " inserted");
    EXPECT_FALSE(guard.failed());
    guard.outputLine("    ", "int c;");
    EXPECT_TRUE(guard.failed()); // found before the end
    EXPECT_FALSE(guard.finish());
    EXPECT_EQ(7, guard.partingLine());
}

// Pairs skipped alike after an inserted line leave the input line known before it.
TEST(TokenGuard, NamesInputLineBeforeInsertedOnesSkippedAlike) {
    TokenGuard guard(kC);
    const char* const pairs[][2] = {{"a;", "a;"}, {"/* c */ b;", "b;"}, {"c;", "c;"}, {"d;", "e;"}};
    for (size_t k = 0; k < std::size(pairs); ++k) {
        guard.referenceLine(pairs[k][0], k == 0 ? 7 : 0);
        guard.outputLine({}, pairs[k][1]);
    }
    EXPECT_FALSE(guard.finish());
    EXPECT_EQ(7, guard.partingLine());
}

// A CR in the head ends the comment "//" opens: the text after it is code.
TEST(TokenGuard, CrInTheHeadOrAtTheEndEndsALine) {
    TokenGuard guard(kC);
    guard.linePair("//\r", "x;", "x;", 1);
    EXPECT_TRUE(guard.finish());
    // A CR at the end ends the spliced line: the next one is a line of its own.
    TokenGuard spliced(kC);
    spliced.referenceLine("#define A \\\r", 1);
    spliced.referenceLine("B", 2);
    for (const char* line : {"#define A \\", "", "B"})
        spliced.outputLine({}, line);
    EXPECT_TRUE(spliced.finish());
}

TEST(TokenGuard, OutputMayLagTheReferenceByAWholeFile) {
    TokenGuard guard(kC);
    std::string line;
    for (long i = 1; i <= 5000; ++i)
        guard.referenceLine("f(" + std::to_string(i) + "); /* held */", i);
    for (long i = 1; i <= 5000; ++i)
        guard.outputLine("\t", "f(" + std::to_string(i) + "); // held");
    EXPECT_TRUE(guard.finish());
    EXPECT_EQ(0, guard.partingLine());
}

// Random C-like text: tokens always apart, strings closed, sometimes spliced lines.
struct Sample {
    std::vector<std::string> lines;
    std::vector<std::string> respaced; // the same with other blanks between the tokens
    std::vector<std::pair<size_t, size_t>> tokenBytes; // (line, byte) of ASCII letters/digits
};

Sample RandomText(std::mt19937& rng) {
    static const char* const kPieces[] = {"x",
                                          "foo_1",
                                          "a"
                                          "\x88\x9f",
                                          "\xb6\xc5",
                                          "42",
                                          "0x1F",
                                          "1.5e+3",
                                          ".5",
                                          "+",
                                          "-",
                                          "<<=",
                                          "->",
                                          "...",
                                          "(",
                                          ")",
                                          "{",
                                          "}",
                                          ";",
                                          "#",
                                          "##",
                                          "/",
                                          "*",
                                          "'a'",
                                          "'\\''",
                                          "\"s t\"",
                                          "\"q\\\"r\"",
                                          "L\"w\"",
                                          "\""
                                          "\x95\x5c"
                                          "\"",
                                          "/* c */",
                                          "/* "
                                          "\x95\x5c"
                                          " */",
                                          "\\"};
    static const char* const kGaps[] = {" ", "  ", "\t", "\x81\x40", " \t "};
    auto pick = [&](size_t n) { return static_cast<size_t>(rng() % n); };
    Sample s;
    size_t count = 5 + pick(30);
    bool inComment = false;
    for (size_t l = 0; l < count; ++l) {
        std::string line;
        if (inComment) {
            line = pick(2) ? " * more // text"
                           : "   "
                             "\x95\x5c"
                             " text";
            if (pick(3) == 0) {
                line += " */";
                inComment = false;
            }
            s.lines.push_back(line);
            s.respaced.push_back(line);
            continue;
        }
        if (pick(6) == 0)
            line = "#define M(a) ";
        std::string respaced = line;
        size_t tokens = pick(8);
        for (size_t t = 0; t < tokens; ++t) {
            std::string piece = kPieces[pick(std::size(kPieces))];
            size_t at = line.size();
            line += piece;
            respaced += piece;
            bool literal = piece[0] == '\'' || piece[0] == '"' || piece[0] == 'L';
            bool comment = piece[0] == '/' && piece.size() > 1;
            if (!comment)
                for (size_t b = 0; b < piece.size(); ++b) {
                    unsigned char c = static_cast<unsigned char>(piece[b]);
                    bool letterOrDigit = std::isalnum(c) && c < 0x80;
                    if (letterOrDigit && !(literal && b == 0) && !(b > 0 && piece[b - 1] == '\\'))
                        s.tokenBytes.emplace_back(s.lines.size(), at + b);
                }
            std::string gap = kGaps[pick(std::size(kGaps))];
            line += gap;
            // Blanks for blanks only: a full-width space after a backslash is no splice.
            respaced += gap == "\x81\x40" ? gap : kGaps[pick(std::size(kGaps)) % 3];
        }
        size_t common = line.size();
        switch (pick(8)) {
        case 0:
            line += "\\"; // splice
            break;
        case 1:
            line += "// end " + std::string(pick(2) ? "\x95\x5c" : "x");
            break;
        case 2:
            line += "/* open";
            inComment = true;
            break;
        default:
            break;
        }
        s.lines.push_back(line);
        s.respaced.push_back(respaced + line.substr(common));
    }
    if (inComment) {
        s.lines.push_back("*/");
        s.respaced.push_back("*/");
    }
    return s;
}

std::string Join(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines)
        out += l + "\n";
    return out;
}

bool EndsInBackslashByte(const std::string& line) {
    size_t end = line.find_last_not_of(" \t");
    return end != std::string::npos && line[end] == '\\';
}

// Compares with lines compared as lines where they can be and with every line tokenized; the
// two ways must give the same verdict and parting line.
bool Same(const std::string& output, const std::string& reference, long* parting) {
    GuardOptions slow = kC;
    slow.quickLines = false;
    long slowParting = -1;
    bool same = SameTokens(output, reference, kC, parting);
    EXPECT_EQ(same, SameTokens(output, reference, slow, &slowParting)) << reference;
    EXPECT_EQ(*parting, slowParting) << reference;
    return same;
}

// Feeds line pairs (as many lines on both sides) through linePair, the output line's leading
// blanks as its head.
bool SameByPairs(const std::vector<std::string>& output, const std::vector<std::string>& reference,
                 long* parting) {
    TokenGuard guard(kC);
    for (size_t l = 0; l < output.size(); ++l) {
        size_t head = output[l].find_first_not_of(" \t");
        head = head == std::string::npos ? output[l].size() : head;
        std::string_view line = output[l];
        guard.linePair(line.substr(0, head), line.substr(head), reference[l], long(l + 1));
    }
    bool same = guard.finish();
    *parting = guard.partingLine();
    return same;
}

// Feeds each line as the engine writes a line from where it was read: the output's text is a
// view into the reference line itself, from start on, after head. The verdict and parting line
// must be those of the two texts compared whole with every line tokenized.
void ExpectViewsAgree(const std::vector<std::string>& reference,
                      const std::vector<std::string>& heads, const std::vector<size_t>& starts,
                      const std::vector<size_t>& ends, std::string_view extra) {
    TokenGuard guard(kC);
    std::string output;
    for (size_t l = 0; l < reference.size(); ++l) {
        std::string_view text =
            std::string_view(reference[l]).substr(starts[l], ends[l] - starts[l]);
        guard.linePair(heads[l], text, reference[l], long(l + 1));
        output += heads[l] + std::string(text) + "\n";
    }
    // A line more on the output side: the parting line is then the last one matched.
    if (!extra.empty()) {
        guard.outputLine({}, extra);
        output += std::string(extra) + "\n";
    }
    GuardOptions slow = kC;
    slow.quickLines = false;
    long parting = -1;
    const bool same = SameTokens(output, Join(reference), slow, &parting);
    ASSERT_EQ(same, guard.finish()) << output << "--- for ---\n" << Join(reference);
    EXPECT_EQ(same ? 0 : parting, guard.partingLine()) << output;
}

TEST(TokenGuard, LinesWrittenFromWhereTheyWereReadAreJudgedAsWhole) {
    std::mt19937 rng(20261208);
    static const char* const kHeads[] = {"", "  ", "    ", "\t", "\t\t    ", "                 "};
    static const char* const kFaultyHeads[] = {"x ", " \v", "  #", " /", "\f"};
    for (int round = 0; round < 400; ++round) {
        Sample s = RandomText(rng);
        std::vector<std::string> reference;
        std::vector<std::string> heads;
        std::vector<size_t> starts;
        std::vector<size_t> ends;
        for (const std::string& line : s.lines) {
            // Now and then a reference line longer than the quick way's 64 bytes.
            std::string lead = rng() % 8 == 0 ? std::string(40 + rng() % 40, ' ')
                                              : kHeads[rng() % std::size(kHeads)];
            // Now and then a string that a splice carries on to the next line.
            std::string tail = rng() % 10 == 0 ? " \"s \\" : rng() % 6 == 0 ? " \t" : "";
            reference.push_back(lead + line + tail);
            const std::string& r = reference.back();
            size_t first = std::min(r.find_first_not_of(" \t"), r.size());
            size_t last = r.find_last_not_of(" \t");
            size_t end = last == std::string::npos ? first : last + 1;
            size_t start = first;
            switch (rng() % 12) {
            case 0: // a byte of the line left out at the front, or the end
                start = first + (first < end ? 1 : 0);
                break;
            case 1:
                end = end > start ? end - 1 : end;
                break;
            case 2: // the lead written as part of the text
                start = rng() % (first + 1);
                break;
            case 3: // the trailing blanks kept
                end = r.size();
                break;
            default:
                break;
            }
            starts.push_back(start);
            ends.push_back(end);
            heads.push_back(rng() % 16 == 0 ? kFaultyHeads[rng() % std::size(kFaultyHeads)]
                                            : kHeads[rng() % std::size(kHeads)]);
        }
        ExpectViewsAgree(reference, heads, starts, ends, rng() % 4 == 0 ? "extra;" : "");
        if (HasFailure())
            return;
    }
}

TEST(TokenGuard, RandomTextKeepsTokensUnderReindentingAndLosesThemToAnyTokenByte) {
    std::mt19937 rng(20261207);
    static const char* const kIndents[] = {"", " ", "    ", "\t", "\t\t  "};
    for (int round = 0; round < 300; ++round) {
        Sample s = RandomText(rng);
        std::string reference = Join(s.lines);

        std::vector<std::string> edited = s.respaced;
        for (size_t l = 0; l < edited.size(); ++l) {
            if (l > 0 && EndsInBackslashByte(s.lines[l - 1]))
                continue;
            std::string& line = edited[l];
            size_t begin = line.find_first_not_of(" \t");
            size_t end = line.find_last_not_of(" \t");
            line = begin == std::string::npos ? std::string() : line.substr(begin, end - begin + 1);
            line = kIndents[rng() % 5] + line + kIndents[rng() % 5];
        }
        long parting = -1;
        ASSERT_TRUE(Same(Join(edited), reference, &parting)) << reference;
        ASSERT_TRUE(SameByPairs(edited, s.lines, &parting)) << reference;

        // Any line put in another's place: whatever the verdict, both ways agree on it.
        std::vector<std::string> moved = edited;
        moved[rng() % moved.size()] = s.lines[rng() % s.lines.size()];
        long pairParting = -1;
        EXPECT_EQ(Same(Join(moved), reference, &parting),
                  SameByPairs(moved, s.lines, &pairParting));
        EXPECT_EQ(parting, pairParting) << reference;

        if (s.tokenBytes.empty())
            continue;
        auto [l, b] = s.tokenBytes[rng() % s.tokenBytes.size()];
        std::vector<std::string> changed = s.lines;
        char& c = changed[l][b];
        c = std::isdigit(static_cast<unsigned char>(c)) ? (c == '9' ? '0' : c + 1)
                                                        : (c == 'z'   ? 'a'
                                                           : c == 'Z' ? 'A'
                                                                      : c + 1);
        ASSERT_FALSE(Same(Join(changed), reference, &parting))
            << reference << "\nline " << l + 1 << " byte " << b;
        EXPECT_GT(parting, 0);
        EXPECT_FALSE(SameByPairs(changed, s.lines, &pairParting));
        EXPECT_EQ(parting, pairParting) << reference;
    }
}

} // namespace
} // namespace srctdy
