#include "engine/convert_file.h"
#include "engine/file_checks.h"
#include "engine/line_writer.h"
#include "platform/scripted_prompter.h"
#include "platform/string_table.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace srctdy {
namespace {

using testing::FileExists;
using testing::ListFolder;
using testing::ReadFile;
using testing::RunAsNobody;
using testing::TempDir;
using testing::WriteFile;

class ConvertFileTest : public ::testing::Test {
protected:
    ConvertFileTest() { settings.indentOn = false; }
    ~ConvertFileTest() override { EXPECT_TRUE(prompter.allUsed()) << "unused scripted messages"; }

    int convert(const std::string& name, bool overwrite) {
        return ConvertFile(dir / name, overwrite, options, settings, prompter);
    }
    int convertWith(const std::string& name, bool overwrite, ConvertExtras* extras) {
        return ConvertFile(dir / name, overwrite, options, settings, prompter, extras);
    }

    TempDir dir;
    FormatOptions options;
    ConvertSettings settings;
    ScriptedPrompter prompter{[](const std::string& m) { ADD_FAILURE() << m; }};
};

struct LineEndCase {
    const char* name;
    std::string input;
    std::string expected;
};

TEST_F(ConvertFileTest, WritesEveryLineWithCrLf) {
    const LineEndCase cases[] = {
        {"crlf", "a\r\nb\r\n", "a\r\nb\r\n"},
        {"lf", "a\nb\n", "a\r\nb\r\n"},
        {"no final newline", "a\nb", "a\r\nb\r\n"},
        {"empty", "", ""},
        {"lone cr stays", "a\rb\n", "a\rb\r\n"},
        {"cr before crlf stays", "a\r\r\n", "a\r\r\n"},
        {"nul kept", std::string("a\0b\n", 4), std::string("a\0b\r\n", 5)},
        {"long line kept whole", std::string(1500, 'x') + "\n", std::string(1500, 'x') + "\r\n"},
    };
    options.trimBlanks = options.collapseEmptyLines = options.fullWidthToHalfWidth = 0;
    for (const auto& c : cases) {
        WriteFile(dir / "in.c", c.input);
        ASSERT_EQ(kConverted, convert("in.c", false)) << c.name;
        EXPECT_EQ(c.expected, ReadFile(dir / "NewFolder/in.c")) << c.name;
        EXPECT_EQ(c.input, ReadFile(dir / "in.c")) << c.name;
    }
}

TEST_F(ConvertFileTest, SubFolderOutputLeavesInputAndReplacesEarlierOutput) {
    WriteFile(dir / "main.c", "  x;\n");
    ASSERT_EQ(kConverted, convert("main.c", false));
    WriteFile(dir / "main.c", "  y;\n");
    ASSERT_EQ(kConverted, convert("main.c", false));
    EXPECT_EQ("  y;\n", ReadFile(dir / "main.c"));
    EXPECT_EQ("y;\r\n", ReadFile(dir / "NewFolder/main.c"));
    EXPECT_EQ("main.c", ListFolder(dir / "NewFolder"));
}

// An earlier output that already holds the converted bytes is left as it is (same file, same
// time), so a run over an unchanged tree renames nothing, whatever the output's size; any
// other is replaced.
TEST_F(ConvertFileTest, EarlierSubFolderOutputIsLeftAloneOnlyWhenItHoldsTheNewBytes) {
    const std::string big(3 << 19, 'x'); // one line past the bytes held while comparing
    struct Row {
        const char* name;
        std::string earlier;
        std::string input;
        std::string expected;
    } rows[] = {
        {"same", "a;\r\nb;\r\n", "a;\nb;\n", "a;\r\nb;\r\n"},
        {"same empty", "", "", ""},
        {"output longer", "a;\r\n", "a;\nb;\n", "a;\r\nb;\r\n"},
        {"output shorter", "a;\r\nb;\r\n", "a;\n", "a;\r\n"},
        {"output empty", "a;\r\n", "", ""},
        {"parts in the middle", "a;\r\nc;\r\n", "a;\nb;\n", "a;\r\nb;\r\n"},
        {"last byte differs", "a;\r\nb;\r\r", "a;\nb;\n", "a;\r\nb;\r\n"},
        {"same, past the held bytes", big + "\r\n", big + "\n", big + "\r\n"},
        {"differs past the held bytes", big + "y\r\n", big + "\n", big + "\r\n"},
    };
    for (const Row& row : rows) {
        WriteFile(dir / "in.c", row.input);
        std::filesystem::create_directories(dir / "NewFolder");
        WriteFile(dir / "NewFolder/in.c", row.earlier);
        struct stat before;
        ASSERT_EQ(0, ::stat((dir / "NewFolder/in.c").c_str(), &before));
        ASSERT_EQ(kConverted, convert("in.c", false)) << row.name;
        struct stat after;
        ASSERT_EQ(0, ::stat((dir / "NewFolder/in.c").c_str(), &after));
        EXPECT_EQ(row.expected, ReadFile(dir / "NewFolder/in.c")) << row.name;
        const bool untouched = before.st_ino == after.st_ino &&
                               before.st_mtim.tv_nsec == after.st_mtim.tv_nsec &&
                               before.st_mtim.tv_sec == after.st_mtim.tv_sec;
        EXPECT_EQ(row.earlier == row.expected, untouched) << row.name;
        EXPECT_EQ("in.c", ListFolder(dir / "NewFolder")) << row.name;
    }
}

TEST_F(ConvertFileTest, TwoLevelSubFolderNameIsUsedWhenItExists) {
    ::mkdir((dir / "out").c_str(), 0755);
    settings.subFolderName = "out/sub";
    WriteFile(dir / "a.c", "a\n");
    ASSERT_EQ(kConverted, convert("a.c", false));
    EXPECT_EQ("a\r\n", ReadFile(dir / "out/sub/a.c"));
}

// The copy written in place of a file is the user's alone until it takes the file's mode: a
// private file is never readable by others, not even for a moment.
TEST_F(ConvertFileTest, OverwriteLeavesOnlyTheConvertedFile) {
    static std::string folder;
    static std::vector<mode_t> seen;
    folder = dir.path();
    seen.clear();
    WriteFile(dir / "main.c", "\tint a;  \n");
    ::chmod((dir / "main.c").c_str(), 0640);
    SetLineFaultForTesting([](std::string&) {
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            struct stat st;
            if (entry.path().filename().string().starts_with("srctdy_temp.") &&
                ::stat(entry.path().c_str(), &st) == 0)
                seen.push_back(st.st_mode & 07777);
        }
    });
    const int result = convert("main.c", true);
    SetLineFaultForTesting(nullptr);
    ASSERT_EQ(kConverted, result);
    EXPECT_EQ(std::vector<mode_t>{0600}, seen);
    EXPECT_EQ("int a;\r\n", ReadFile(dir / "main.c"));
    EXPECT_EQ("main.c", ListFolder(dir.path()));
    struct stat st;
    ASSERT_EQ(0, ::stat((dir / "main.c").c_str(), &st));
    EXPECT_EQ(0640u, st.st_mode & 07777);
}

TEST_F(ConvertFileTest, OverwriteThroughLinkKeepsTheLink) {
    ::mkdir((dir / "real").c_str(), 0755);
    WriteFile(dir / "real/t.c", "  t;\n");
    ASSERT_EQ(0, ::symlink("real/t.c", (dir / "link.c").c_str()));
    ASSERT_EQ(kConverted, convert("link.c", true));
    char target[64] = {};
    ASSERT_GT(::readlink((dir / "link.c").c_str(), target, sizeof target - 1), 0);
    EXPECT_STREQ("real/t.c", target);
    EXPECT_EQ("t;\r\n", ReadFile(dir / "real/t.c"));
    EXPECT_EQ("link.c real", ListFolder(dir.path()));
    EXPECT_EQ("t.c", ListFolder(dir / "real"));
}

TEST_F(ConvertFileTest, FileNamedLikeTheTemporaryIsConverted) {
    WriteFile(dir / "srctdy_temp.c", " a\n");
    ASSERT_EQ(kConverted, convert("srctdy_temp.c", true));
    EXPECT_EQ("a\r\n", ReadFile(dir / "srctdy_temp.c"));
    EXPECT_EQ("srctdy_temp.c", ListFolder(dir.path()));
}

TEST_F(ConvertFileTest, TemplateComesFirstWithNameLine) {
    WriteFile(dir / "FileTitle.txt", "/* title */\n.c whatever\r\n.cx\nlast");
    options.insertHeaderTemplate = 1;
    options.templatePath = dir / "FileTitle.txt";
    WriteFile(dir / "main.c", "x;\n");
    ASSERT_EQ(kConverted, convert("main.c", false));
    EXPECT_EQ("/* title */\r\nmain.c\r\nmain.c\r\nlast\r\nx;\r\n",
              ReadFile(dir / "NewFolder/main.c"));
}

TEST_F(ConvertFileTest, EmptyInputGivesOnlyTheTemplate) {
    WriteFile(dir / "FileTitle.txt", "T\n");
    options.insertHeaderTemplate = 1;
    options.templatePath = dir / "FileTitle.txt";
    WriteFile(dir / "e.c", "");
    ASSERT_EQ(kConverted, convert("e.c", false));
    EXPECT_EQ("T\r\n", ReadFile(dir / "NewFolder/e.c"));
}

TEST_F(ConvertFileTest, MissingTemplateIsReportedForEachFileAndIgnored) {
    options.insertHeaderTemplate = 1;
    options.templatePath = dir / "nothere.txt";
    WriteFile(dir / "a.c", "a\n");
    WriteFile(dir / "b.c", "b\n");
    prompter.expectMessage("雛形ファイルが存在しません。\n雛形挿入処理は無視されます。")
        .expectMessage("雛形ファイルが存在しません。\n雛形挿入処理は無視されます。");
    EXPECT_EQ(kConverted, convert("a.c", false));
    EXPECT_EQ(kConverted, convert("b.c", true));
    EXPECT_EQ("a\r\n", ReadFile(dir / "NewFolder/a.c"));
    EXPECT_EQ("b\r\n", ReadFile(dir / "b.c"));
}

TEST_F(ConvertFileTest, MissingInputIsResultOne) {
    prompter.expectMessage("ファイルが選択されていません。")
        .expectMessage("ファイルが選択されていません。");
    EXPECT_EQ(kInputFailed, convert("gone.c", true));
    EXPECT_EQ("", ListFolder(dir.path()));
    EXPECT_EQ(kInputFailed, convert("gone.c", false));
    EXPECT_EQ("NewFolder", ListFolder(dir.path())); // created before the input was tried
}

TEST_F(ConvertFileTest, FolderAsInputIsResultOne) {
    ::mkdir((dir / "d.c").c_str(), 0755);
    prompter.expectMessage("ファイルが選択されていません。");
    EXPECT_EQ(kInputFailed, convert("d.c", true));
}

TEST_F(ConvertFileTest, EmptySubFolderNameIsRefusedBeforeAnythingIsCreated) {
    settings.subFolderName = "";
    WriteFile(dir / "a.c", "a\n");
    prompter.expectMessage("ｻﾌﾞ・ﾌｫﾙﾀﾞ名が指定されていません。");
    EXPECT_EQ(kOutputFailed, convert("a.c", false));
    EXPECT_EQ("a.c", ListFolder(dir.path()));
}

TEST_F(ConvertFileTest, SubFolderBlockedByFileIsResultTwo) {
    WriteFile(dir / "a.c", "a\n");
    WriteFile(dir / "NewFolder", "not a folder");
    prompter.expectMessage("出力ファイル・オープンエラー！");
    EXPECT_EQ(kOutputFailed, convert("a.c", false));
    EXPECT_EQ("not a folder", ReadFile(dir / "NewFolder"));
}

TEST_F(ConvertFileTest, ReadOnlyInputIsRefusedInOverwriteMode) {
    WriteFile(dir / "ro.c", "  keep\n");
    ::chmod((dir / "ro.c").c_str(), 0444);
    prompter.expectMessage("読み取り専用ファイルは上書きできません。\n[ " + (dir / "ro.c") + " ]");
    EXPECT_EQ(kOutputFailed, convert("ro.c", true));
    EXPECT_EQ("  keep\n", ReadFile(dir / "ro.c"));
    EXPECT_EQ("ro.c", ListFolder(dir.path()));
    // A write bit for the group or the others is no read-only file: whether this user may
    // write it is the access check's to say, and root may.
    if (::geteuid() != 0)
        return;
    for (mode_t mode : {0464, 0446}) {
        WriteFile(dir / "rw.c", "  x\n");
        ASSERT_EQ(0, ::chmod((dir / "rw.c").c_str(), mode));
        EXPECT_EQ(kConverted, convert("rw.c", true)) << std::oct << mode;
        EXPECT_EQ("x\r\n", ReadFile(dir / "rw.c"));
    }
}

// Permission failures need an unprivileged process: root writes through missing bits.
TEST_F(ConvertFileTest, UnreadableInputAndUnwritableFolderAsUnprivilegedUser) {
    ::chmod(dir.path().c_str(), 0777);
    WriteFile(dir / "secret.c", "s\n");
    ::chmod((dir / "secret.c").c_str(), 0600); // owned by root: unreadable for the child
    ::mkdir((dir / "locked").c_str(), 0555);
    WriteFile(dir / "locked/l.c", "  l\n");
    ::chmod((dir / "locked/l.c").c_str(), 0666);
    int status = RunAsNobody([&] {
        RecordingPrompter quiet;
        int unreadable = ConvertFile(dir / "secret.c", false, options, settings, quiet);
        int noTemp = ConvertFile(dir / "locked/l.c", true, options, settings, quiet);
        int noSub = ConvertFile(dir / "locked/l.c", false, options, settings, quiet);
        bool messages = quiet.calls().size() == 3 &&
                        quiet.calls()[0].text == "ファイルが選択されていません。" &&
                        quiet.calls()[1].text == "出力ファイル・オープンエラー！" &&
                        quiet.calls()[2].text == "出力ファイル・オープンエラー！";
        return unreadable == kInputFailed && noTemp == kOutputFailed && noSub == kOutputFailed &&
                       messages
                   ? 0
                   : 1;
    });
    EXPECT_EQ(0, status);
    EXPECT_EQ("  l\n", ReadFile(dir / "locked/l.c"));
    EXPECT_EQ("l.c", ListFolder(dir / "locked"));
}

// A folder that lets a user replace files is not enough: a file the user may not write is
// refused as read-only, and stays as it was.
TEST_F(ConvertFileTest, FileTheUserMayNotWriteIsRefusedInAWritableFolder) {
    ::chmod(dir.path().c_str(), 0777);
    WriteFile(dir / "roots.c", "  r\n");
    ::chmod((dir / "roots.c").c_str(), 0644); // owned by root
    int status = RunAsNobody([&] {
        RecordingPrompter quiet;
        int result = ConvertFile(dir / "roots.c", true, options, settings, quiet);
        return result == kOutputFailed && quiet.calls().size() == 1 &&
                       quiet.calls()[0].text ==
                           "読み取り専用ファイルは上書きできません。\n[ " + (dir / "roots.c") + " ]"
                   ? 0
                   : 1;
    });
    EXPECT_EQ(0, status);
    EXPECT_EQ("  r\n", ReadFile(dir / "roots.c"));
    EXPECT_EQ("roots.c", ListFolder(dir.path()));
}

// A write that fails part way (the file-size limit) leaves the input as it was and no
// temporary file behind.
TEST_F(ConvertFileTest, WriteFailingPartWayLosesNothing) {
    std::string input;
    for (int i = 0; i < 20000; ++i)
        input += "  line " + std::to_string(i) + "\n";
    WriteFile(dir / "big.c", input);
    pid_t pid = ::fork();
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{64 * 1024, 64 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        RecordingPrompter quiet;
        int overwrite = ConvertFile(dir / "big.c", true, options, settings, quiet);
        int sub = ConvertFile(dir / "big.c", false, options, settings, quiet);
        bool ok =
            overwrite == kOutputFailed && sub == kOutputFailed && quiet.calls().size() == 2 &&
            quiet.calls()[0].text == "出力ファイル・書き込みエラー！\n[ " + (dir / "big.c") + " ]";
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(input, ReadFile(dir / "big.c"));
    EXPECT_EQ("NewFolder big.c", ListFolder(dir.path()));
    EXPECT_EQ("", ListFolder(dir / "NewFolder"));
}

TEST(NameOnly, IsLastComponentInTheFilesEncodingWherePossible) {
    EXPECT_EQ("main.c", NameOnlyFor("a/b/main.c"));
    EXPECT_EQ("\x95\x5c.c", NameOnlyFor("dir/表.c"));
    EXPECT_EQ("\xff.c", NameOnlyFor("\xff.c")); // not UTF-8: bytes as they are
    const TextEncoding utf8 = TextEncoding::Utf8;
    EXPECT_EQ("表.c", NameOnlyFor("dir/表.c", utf8));
    EXPECT_EQ("表.c", NameOnlyFor("dir/\x95\x5c.c", utf8)); // a code page 932 name
    EXPECT_EQ("\xff.c", NameOnlyFor("\xff.c", utf8));       // neither: bytes as they are
}

TEST_F(ConvertFileTest, Utf8MarkComesFirstAndLineOneGoesThroughTheStagesWithoutIt) {
    const std::string mark = "\xEF\xBB\xBF";
    WriteFile(dir / "FileTitle.txt", "T\n.c\n");
    options.templatePath = dir / "FileTitle.txt";
    options.insertHeaderTemplate = 1;
    // A code page 932 name ("名") in a UTF-8 file: the name line is UTF-8.
    WriteFile(dir / "\x96\xBC.c", mark + "\xE3\x80\x80x;\n");
    ASSERT_EQ(kConverted, convert("\x96\xBC.c", false));
    EXPECT_EQ(mark + "T\r\n名.c\r\n  x;\r\n", ReadFile(dir / "NewFolder/\x96\xBC.c"));

    options.insertHeaderTemplate = 0;
    options.insertDefinitionComments = 1;
    WriteFile(dir / "d.c", mark + "#include <a.h>\n");
    ASSERT_EQ(kConverted, convert("d.c", false));
    EXPECT_EQ(mark +
                  "/* 標準インクルード */\r\n/* ユーザーインクルード */\r\n/* 外部関数定義 */\r\n"
                  "/* DEFINE定義 */\r\n/* 構造体定義 */\r\n/* グローバル変数定義 */\r\n"
                  "#include <a.h>\r\n",
              ReadFile(dir / "NewFolder/d.c"));
}

TEST_F(ConvertFileTest, TidyUtf8FileIsLeftUnchangedAfterTheDetectionPass) {
    const std::string tidy = "\xEF\xBB\xBF/* \xE3\x81\x81@ */\r\nx;\r\n";
    WriteFile(dir / "u.c", tidy);
    ConvertExtras extras;
    ASSERT_EQ(kConverted, ConvertFile(dir / "u.c", true, options, settings, prompter, &extras));
    EXPECT_TRUE(extras.unchanged);
    EXPECT_EQ(TextEncoding::Utf8, extras.encoding);
    EXPECT_EQ(tidy, ReadFile(dir / "u.c"));
}

// A file that fits the reader's block is read once. A larger one is converted in the encoding
// its first block shows, and again when the whole file shows another (into a sub-folder, in
// place and to a sink). Either way a file converts as its bytes do in memory, in the encoding
// its bytes show, and tells what it tells once: the characters that decide stand near the
// start, across the block's edge or near the end.
TEST_F(ConvertFileTest, FilesReadOnceOrTwiceConvertAsTheirBytesDo) {
    const size_t block = 256 * 1024;
    const size_t sizes[] = {40, block - 1, block, block + 1, 3 * block - 7};
    const std::string sjis = "\x95\x5c", space = "\xE3\x80\x80";
    struct Kind {
        const char* name;
        std::string first, across, last; // characters put there ("" for none)
    };
    const Kind kinds[] = {{"ascii", "", "", ""},
                          {"code page 932 first", sjis, "", ""},
                          {"code page 932 last", "", "", sjis},
                          {"utf-8 full-width space first", space, "", ""},
                          {"utf-8 full-width space last", "", "", space},
                          {"utf-8 across the block's edge", "", space, ""},
                          {"utf-8 first, code page 932 last", space, "", sjis},
                          {"code page 932 across the block's edge", "", sjis, ""}};
    options.insertHeaderTemplate = 1;
    options.templatePath = dir / "missing.txt";
    for (size_t size : sizes)
        for (const Kind& kind : kinds) {
            SCOPED_TRACE(std::string(kind.name) + ", " + std::to_string(size) + " bytes");
            std::string bytes;
            while (bytes.size() < size)
                bytes += "  x = 1;\t \n";
            bytes.resize(size);
            auto put = [&](const std::string& character, size_t at) {
                if (!character.empty() && at + character.size() < size)
                    bytes.replace(at, character.size(), character);
            };
            put(kind.first, 2);
            put(kind.across, block - 1);
            put(kind.last, size - 12);
            WriteFile(dir / "in.c", bytes);
            for (int i = 0; i < 5; ++i)
                prompter.expectMessage(text::kTemplateMissing);
            std::string expected;
            ConvertExtras inMemory;
            ASSERT_EQ(kConverted, ConvertBytes(bytes, "in.c", expected, options, settings, prompter,
                                               &inMemory));
            ConvertExtras extras;
            ASSERT_EQ(kConverted, convertWith("in.c", false, &extras));
            EXPECT_EQ(inMemory.encoding, extras.encoding);
            EXPECT_TRUE(ReadFile(dir / "NewFolder/in.c") == expected);
            // Converted again, the output that holds the new bytes stays as it is.
            struct stat before, after;
            ASSERT_EQ(0, ::stat((dir / "NewFolder/in.c").c_str(), &before));
            ASSERT_EQ(kConverted, convertWith("in.c", false, &extras));
            ASSERT_EQ(0, ::stat((dir / "NewFolder/in.c").c_str(), &after));
            EXPECT_EQ(before.st_ino, after.st_ino);
            EXPECT_EQ(inMemory.encoding, extras.encoding);
            std::string streamed;
            StringSink sink(streamed);
            ASSERT_EQ(kConverted,
                      ConvertFileToSink(dir / "in.c", sink, options, settings, prompter));
            EXPECT_TRUE(streamed == expected);
            ASSERT_EQ(kConverted, convertWith("in.c", true, &extras));
            EXPECT_TRUE(ReadFile(dir / "in.c") == expected);
        }
}

// A text the encoding guessed from a large file's first block cannot hold does not fail the
// file before the whole file has shown its encoding.
TEST_F(ConvertFileTest, AGuessThatCannotHoldATextLeavesTheDecisionToTheWholeFile) {
    options.textEncoding = TextEncoding::Utf8;
    options.replaceOrDelete = 1;
    options.searchText = "x";
    options.replaceText = "😀";
    const std::string unwritable =
        "not converted: the text \"😀\" cannot be written in code page 932, this file's encoding";
    struct Row {
        const char* name;
        std::string last; // put near the end of a file whose first block is ASCII
        int result;
    } rows[] = {{"utf-8 last", "\xE3\x81\x82", kConverted},
                {"code page 932 last", "\x82\xA0", kTextsUnwritable},
                {"ascii", "", kTextsUnwritable}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string bytes;
        while (bytes.size() < 3 * 256 * 1024)
            bytes += "  x = 1;\n";
        bytes.replace(bytes.size() - 6, row.last.size(), row.last);
        WriteFile(dir / "in.c", bytes);
        if (row.result != kConverted)
            prompter.expectMessage(unwritable).expectMessage(unwritable);
        std::string expected;
        EXPECT_EQ(row.result, ConvertBytes(bytes, "in.c", expected, options, settings, prompter));
        std::filesystem::remove_all(dir / "NewFolder");
        EXPECT_EQ(row.result, convert("in.c", false));
        if (row.result == kConverted)
            EXPECT_TRUE(ReadFile(dir / "NewFolder/in.c") == expected);
        else
            EXPECT_FALSE(FileExists(dir / "NewFolder/in.c"));
    }
}

// Input that ends where readable memory ends: short lines are read sixteen bytes at a time
// where that stays inside the page, so nothing past a line may be read or counted.
TEST_F(ConvertFileTest, InputEndingAtAnUnreadablePageConvertsAsItsBytesSay) {
    struct Row {
        const char* input;
        const char* expected;
    } rows[] = {
        {"{", "{\r\n"},
        {"f {\nx;", "f {\r\n    x;\r\n"},
        {"{\n\t  x;   ", "{\r\n    x;\r\n"},
        {"{\n} /* a */", "{\r\n} /* a */\r\n"},
        {"{\n  '/'; \"*\"", "{\r\n    '/'; \"*\"\r\n"},
        {"{\n               }", "{\r\n}\r\n"},
        {"{\n                }", "{\r\n}\r\n"},
        {"   \t ", "\r\n"},
        {"{\n 0123456789abcd;", "{\r\n    0123456789abcd;\r\n"},
        {"{\n 0123456789abcde;", "{\r\n    0123456789abcde;\r\n"},
        {"{\n 0123456789abcdef0123456789abcdef;", "{\r\n    0123456789abcdef0123456789abcdef;\r\n"},
    };
    settings.indentOn = true;
    const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
    void* pages =
        ::mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(MAP_FAILED, pages);
    char* first = static_cast<char*>(pages);
    ASSERT_EQ(0, ::mprotect(first + page, page, PROT_NONE));
    // Whatever stands before the input in its page looks like code.
    std::memset(first, '{', page);
    for (const Row& row : rows) {
        for (const bool guard : {true, false}) {
            SCOPED_TRACE(std::string(row.input) + (guard ? "" : ", without the token check"));
            settings.guard = guard;
            const size_t n = std::strlen(row.input);
            char* at = first + page - n;
            std::memcpy(at, row.input, n);
            std::string output;
            ASSERT_EQ(kConverted, ConvertBytes(std::string_view(at, n), "in.c", output, options,
                                               settings, prompter));
            EXPECT_EQ(row.expected, output);
        }
    }
    ::munmap(pages, 2 * page);
}

// A run creates its sub-folder once; one removed meanwhile is made again for the next file.
TEST_F(ConvertFileTest, SubFolderRemovedDuringARunIsMadeAgain) {
    WriteFile(dir / "a.c", "  a;\n");
    WriteFile(dir / "b.c", "  b;\n");
    FolderChecks checks;
    ConvertExtras extras;
    extras.folderChecks = &checks;
    ASSERT_EQ(kConverted, convertWith("a.c", false, &extras));
    std::filesystem::remove_all(dir / "NewFolder");
    ASSERT_EQ(kConverted, convertWith("b.c", false, &extras));
    EXPECT_EQ("b;\r\n", ReadFile(dir / "NewFolder/b.c"));
    EXPECT_EQ("b.c", ListFolder(dir / "NewFolder"));
}

// A run's threads share the sub-folders it made, and only those: an earlier output in a folder
// the run found there is still looked at by every thread, and left alone when it holds the new
// bytes.
TEST_F(ConvertFileTest, ThreadsShareTheSubFoldersTheRunMadeOnly) {
    WriteFile(dir / "a.c", "a;\n");
    WriteFile(dir / "b.c", "b;\n");
    std::filesystem::create_directories(dir / "NewFolder");
    WriteFile(dir / "NewFolder/b.c", "b;\r\n");
    struct stat before;
    ASSERT_EQ(0, ::stat((dir / "NewFolder/b.c").c_str(), &before));
    MadeFolders made;
    FolderChecks first(&made), second(&made);
    ConvertExtras one, two;
    one.folderChecks = &first;
    two.folderChecks = &second;
    ASSERT_EQ(kConverted, convertWith("a.c", false, &one));
    ASSERT_EQ(kConverted, convertWith("b.c", false, &two));
    struct stat after;
    ASSERT_EQ(0, ::stat((dir / "NewFolder/b.c").c_str(), &after));
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);

    // What one thread made, the other learns, even after it found the folder there itself.
    for (const bool firstMade : {true, false}) {
        MadeFolders record;
        FolderChecks maker(&record), other(&record), alone;
        other.markSafe("k", false);
        alone.markSafe("k", false);
        maker.markSafe("k", firstMade);
        EXPECT_EQ(firstMade, other.madeByRun("k")) << firstMade;
        EXPECT_FALSE(alone.madeByRun("k"));
        EXPECT_FALSE(other.madeByRun("unknown"));
    }
}

TEST_F(ConvertFileTest, TextCodePage932CannotHoldFailsCodePage932FilesOnly) {
    options.textEncoding = TextEncoding::Utf8;
    options.replaceOrDelete = 1;
    options.searchText = "x";
    options.replaceText = "😀";
    WriteFile(dir / "s.c", "\x82\xA0 x\n");
    WriteFile(dir / "u.c", "\xE3\x81\x82 x\n");
    prompter.expectMessage(
        "not converted: the text \"😀\" cannot be written in code page 932, this file's encoding");
    EXPECT_EQ(kTextsUnwritable, convert("s.c", true));
    EXPECT_EQ("\x82\xA0 x\n", ReadFile(dir / "s.c"));
    EXPECT_EQ(kConverted, convert("u.c", true));
    EXPECT_EQ("\xE3\x81\x82 😀\r\n", ReadFile(dir / "u.c"));
    EXPECT_EQ("s.c u.c", ListFolder(dir.path()));
}

// Faults planted in written lines through the writer's seam: each changes what the compiler
// sees, so the token check must refuse the output and name the input line.
struct PlantedFault {
    const char* name;
    LineFault fault;
    long partingLine; // 0: the fault changes no token and the file goes through
};

const PlantedFault kPlantedFaults[] = {
    {"GluesTwoTokens",
     [](std::string& line) {
         if (line == "int x;")
             line = "intx;";
     },
     2},
    {"CommentsCodeOut",
     [](std::string& line) {
         if (line == "return x;")
             line = "// return x;";
     },
     4},
    {"ChangesAString",
     [](std::string& line) {
         if (line.starts_with("s = "))
             line = "s = \"a  b\";";
     },
     3},
    {"MakesASplice",
     [](std::string& line) {
         if (line == "int x;")
             line += " \\";
     },
     3}, // the splice joins line 3 to it: its first token is where they part
    {"DropsAToken",
     [](std::string& line) {
         if (line == "}")
             line.clear();
     },
     5},
    {"CodeAfterACrInALineComment", // the compiler ends the line, and the comment, at the CR
     [](std::string& line) {
         if (line == "int x;")
             line = "int x; // c\rint y;";
     },
     3},
    {"OnlyBlanks",
     [](std::string& line) {
         if (line == "int x;")
             line = "int  x; ";
     },
     0},
};

void PrintTo(const PlantedFault& c, std::ostream* os) {
    *os << c.name;
}

class GuardFires : public ConvertFileTest, public ::testing::WithParamInterface<PlantedFault> {
protected:
    ~GuardFires() override { SetLineFaultForTesting(nullptr); }
};

TEST_P(GuardFires, RefusesEveryOutputWhoseTokensChange) {
    const PlantedFault& c = GetParam();
    const std::string input = "{\nint x;\ns = \"a b\";\nreturn x;\n}\n";
    WriteFile(dir / "a.c", input);
    SetLineFaultForTesting(c.fault);
    const std::string refusal =
        "変換するとコンパイラが読むトークンが変わるため、書き出しませんでした。\n[ " +
        (dir / "a.c") + " ]\n入力の " + std::to_string(c.partingLine) + " 行目";
    for (const bool overwrite : {true, false}) {
        SCOPED_TRACE(overwrite ? "overwrite" : "sub-folder");
        if (c.partingLine != 0) {
            prompter.expectMessage(refusal);
            EXPECT_EQ(kOutputFailed, convert("a.c", overwrite));
            EXPECT_EQ(input, ReadFile(dir / "a.c"));
            EXPECT_FALSE(FileExists(dir / "NewFolder/a.c"));
            EXPECT_EQ(overwrite ? "a.c" : "NewFolder a.c", ListFolder(dir.path()));
        } else {
            EXPECT_EQ(kConverted, convert("a.c", overwrite));
        }
    }
    // In memory the same, and the faults are real: without the check they get through.
    ConvertReport report;
    ScriptedPrompter quiet([](const std::string& m) { ADD_FAILURE() << m; });
    const std::string output =
        ConvertText(input, options, settings, FileContext{"a.c", "2026-12-07"}, quiet, &report);
    EXPECT_EQ(c.partingLine != 0, report.guardFailed);
    EXPECT_EQ(c.partingLine, report.guardFailed ? report.partingLine : 0);
    settings.guard = false;
    WriteFile(dir / "b.c", input);
    EXPECT_EQ(kConverted, convert("b.c", true));
    EXPECT_EQ(output, ReadFile(dir / "b.c"));
}

INSTANTIATE_TEST_SUITE_P(Rows, GuardFires, ::testing::ValuesIn(kPlantedFaults),
                         [](const ::testing::TestParamInfo<PlantedFault>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
} // namespace srctdy
