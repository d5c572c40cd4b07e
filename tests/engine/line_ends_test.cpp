#include "engine/convert_file.h"
#include "platform/scripted_prompter.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

namespace srctdy {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

std::string Convert(const std::string& input, FormatOptions options, LineEnds ends,
                    bool indent = false) {
    ConvertSettings settings;
    settings.indentOn = indent;
    settings.lineEnds = ends;
    ScriptedPrompter prompter([](const std::string& m) { ADD_FAILURE() << m; });
    return ConvertText(input, options, settings, {"m.c", "2026-12-07"}, prompter);
}

struct EndsCase {
    const char* name;
    LineEnds ends;
    std::string input;
    std::string expected;
};

TEST(LineEnds, WritesTheChosenLineEnds) {
    FormatOptions plain;
    const EndsCase cases[] = {
        {"crlf", LineEnds::CrLf, "a\nb\r\nc", "a\r\nb\r\nc\r\n"},
        {"lf", LineEnds::Lf, "a\nb\r\nc", "a\nb\nc\n"},
        {"keep mixed", LineEnds::Keep, "a\nb\r\nc", "a\nb\r\nc"},
        {"keep crlf", LineEnds::Keep, "a\r\n\r\n\r\nb\r\n", "a\r\n\r\nb\r\n"},
        {"keep empty", LineEnds::Keep, "", ""},
        // A backslash before a CR splices there, and the line ends after it: a bare LF after
        // that CR would make one line end of the two, and splice the next line on.
        {"lf after a spliced cr", LineEnds::Lf, "#define A 1 \\\r\r\ny;\n",
         "#define A 1 \\\r\r\ny;\n"},
        {"lf after nuls and a spliced cr", LineEnds::Lf, std::string("x \\\0\r\r\ny\n", 9),
         std::string("x \\\0\r\r\ny\n", 9)},
        {"lf after a tab, a nul and a spliced cr", LineEnds::Lf,
         std::string("x \\\t\0\r\r\ny\n", 10), std::string("x \\\t\0\r\r\ny\n", 10)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, Convert(c.input, plain, c.ends)) << c.name;
}

TEST(LineEnds, AddedLinesTakeTheFirstLineEndWhenKept) {
    FormatOptions o;
    o.insertDefinitionComments = 1;
    o.commentMode = 3;
    std::string longLine = "x = 1;" + std::string(80, ' ') + "// note";
    std::string out = Convert("a\n#include <a.h>\r\n" + longLine + "\r\n", o, LineEnds::Keep);
    // Six definition comments and the split comment end in LF like the first line; the lines
    // read keep their own.
    size_t lf = 0, crlf = 0;
    for (size_t i = 0; i < out.size(); ++i) {
        if (out[i] == '\n')
            (i > 0 && out[i - 1] == '\r') ? ++crlf : ++lf;
    }
    EXPECT_EQ(8u, lf);
    EXPECT_EQ(2u, crlf);
    EXPECT_NE(std::string::npos, out.find("// note\n"));
    EXPECT_NE(std::string::npos, out.find("x = 1;" + std::string(80, ' ') + "\r\n"));
    // An input without any line end gives them CR LF.
    out = Convert("#include <a.h>", o, LineEnds::Keep);
    lf = crlf = 0;
    for (size_t i = 0; i < out.size(); ++i) {
        if (out[i] == '\n')
            (i > 0 && out[i - 1] == '\r') ? ++crlf : ++lf;
    }
    EXPECT_EQ(0u, lf) << out;
    EXPECT_EQ(6u, crlf) << out;
}

TEST(LineEnds, HeldModuleHeaderLinesKeepTheirOwnEnds) {
    FormatOptions o;
    o.insertFunctionNames = 1;
    const std::string star(68, '*');
    std::string input =
        "[\x8A\xD6\x90\x94\x96\xBC]\r\n[\x8A\x54\x97\x76]\n" + star + "/\r\nint f(void)\n{\n";
    EXPECT_EQ("[\x8A\xD6\x90\x94\x96\xBC]\r\nint f(void)\r\n[\x8A\x54\x97\x76]\n" + star +
                  "/\r\nint f(void)\n{\n",
              Convert(input, o, LineEnds::Keep));
}

// A replacement text or a file name holding a newline: each break is a line end of the
// file's style, never a bare LF inside CR LF lines.
TEST(LineEnds, NewlinesInsideInsertedTextsTakeTheFilesLineEnd) {
    struct Case {
        const char* name;
        LineEnds ends;
        std::string with;
        std::string input;
        std::string expected;
    };
    const Case cases[] = {
        {"crlf", LineEnds::CrLf, "a\nb", "x X y\n", "x a\r\nb y\r\n"},
        {"crlf in the text", LineEnds::CrLf, "a\r\nb", "X\n", "a\r\nb\r\n"},
        {"lf", LineEnds::Lf, "a\r\nb\n", "X\r\n", "a\nb\n\n"},
        {"keep", LineEnds::Keep, "a\nb", "X\r\nX\n", "a\r\nb\r\na\nb\n"},
        {"keep, last line without end", LineEnds::Keep, "a\nb", "q\r\nX", "q\r\na\r\nb"},
        {"text is only a newline", LineEnds::CrLf, "\n", "X\n", "\r\n\r\n"},
        {"file name", LineEnds::CrLf, "%filename%", "X:\n", "m\r\n.c:\r\n"},
        {"UTF-8 file, deleted", LineEnds::CrLf, "", "\xC3\xA9XX\n", "\xC3\xA9\r\n"},
    };
    for (const Case& c : cases) {
        FormatOptions o;
        o.replaceOrDelete = 1;
        o.searchText = "X";
        o.replaceText = c.with;
        // Every other row with texts in UTF-8: converted for the file, each row's anew.
        if ((&c - cases) % 2)
            o.textEncoding = TextEncoding::Utf8;
        ConvertSettings settings;
        settings.indentOn = false;
        settings.lineEnds = c.ends;
        ScriptedPrompter prompter([](const std::string& m) { ADD_FAILURE() << m; });
        std::string out;
        EXPECT_EQ(kConverted, ConvertBytes(c.input, "m\n.c", out, o, settings, prompter));
        EXPECT_EQ(c.expected, out) << c.name;
    }
}

class OverwriteTest : public ::testing::Test {
protected:
    int convert(const std::string& path, ConvertExtras* extras) {
        ScriptedPrompter prompter([](const std::string& m) { ADD_FAILURE() << m; });
        return ConvertFile(path, true, FormatOptions{}, ConvertSettings{}, prompter, extras);
    }
    static timespec Mtime(const std::string& path) {
        struct stat st;
        ::stat(path.c_str(), &st);
        return st.st_mtim;
    }
    TempDir dir;
};

// Tidy lines, more than the writer hands on at once and the comparison reads at once.
std::string LongTidyText() {
    std::string text;
    for (int i = 0; i < 30'000; ++i)
        text += "int c" + std::to_string(i) + ";\r\n";
    return text;
}

TEST_F(OverwriteTest, UnchangedFileIsLeftAloneWithItsTimestamp) {
    for (const std::string& input : {std::string("int a;\r\n"), LongTidyText()}) {
        WriteFile(dir / "tidy.c", input);
        timespec old{1000000000, 0};
        timespec times[2] = {old, old};
        ::utimensat(AT_FDCWD, (dir / "tidy.c").c_str(), times, 0);
        ConvertExtras extras;
        ASSERT_EQ(kConverted, convert(dir / "tidy.c", &extras));
        EXPECT_TRUE(extras.unchanged) << input.size();
        EXPECT_EQ(old.tv_sec, Mtime(dir / "tidy.c").tv_sec);
        EXPECT_EQ("tidy.c", testing::ListFolder(dir.path()));
    }
}

TEST_F(OverwriteTest, FilesThatDifferAreRewritten) {
    // Same bytes but for the last line end, a longer input, a shorter input, and a long input
    // of the same length that differs only in its first lines.
    for (const std::string& input : {std::string("int a;\n"), std::string("int a;\r\n\r\n\r\n"),
                                     std::string("int a;"), "a;\nb; \r\n" + LongTidyText()}) {
        WriteFile(dir / "t.c", input);
        ConvertExtras extras;
        ASSERT_EQ(kConverted, convert(dir / "t.c", &extras));
        EXPECT_FALSE(extras.unchanged) << input.substr(0, 10);
        EXPECT_NE(input, ReadFile(dir / "t.c"));
    }
}

TEST_F(OverwriteTest, SubFolderOutputGoesToTheGivenFolder) {
    WriteFile(dir / "s.c", "s\n");
    ScriptedPrompter prompter([](const std::string& m) { ADD_FAILURE() << m; });
    ConvertExtras extras;
    extras.outputFolder = dir / "out/deep/er";
    ASSERT_EQ(kConverted, ConvertFile(dir / "s.c", false, FormatOptions{}, ConvertSettings{},
                                      prompter, &extras));
    EXPECT_EQ("s\r\n", ReadFile(dir / "out/deep/er/s.c"));
}

} // namespace
} // namespace srctdy
