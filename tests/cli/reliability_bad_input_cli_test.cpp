// Bad input through srctdy-cli: binary files, broken code page 932, a huge line, a million
// lines and odd file names, named one by one or found in a folder; sub-folder names that
// would leave the tree; folders that cannot be read and paths too long to use.

#include "engine/convert_file.h"
#include "engine/line_reader.h"
#include "platform/message_catalogue.h"
#include "platform/string_table.h"
#include "support/nobody_capture.h"
#include "support/reliability_support.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace srctdy {
namespace {

using namespace srctdy::testing;

const std::vector<std::string> kOffArgs = {"--no-trim", "--no-fullwidth", "--no-collapse-empty",
                                           "--indent=off", "--eol=keep"};

TEST(CliBadInput, BinaryFilesUnderAllTypes) {
    const std::string image = ReadFile(ImagePath());
    const std::string program = ReadFile("/bin/true");
    ASSERT_GT(image.size(), 1000u);
    ASSERT_GT(program.size(), 1000u);
    TempDir dir;
    WriteFile(dir / "bitmap.png", image);
    WriteFile(dir / "true", program);
    ::chmod((dir / "true").c_str(), 0755);

    ProcessResult r = RunCli({"--type=*.*", dir.path()});
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ(Converted(image, "bitmap.png"), ReadFile(dir / "NewFolder/bitmap.png"));
    EXPECT_EQ(Converted(program, "true"), ReadFile(dir / "NewFolder/true"));

    std::vector<std::string> off = kOffArgs;
    off.insert(off.end(), {"--stdout", dir / "bitmap.png", dir / "true"});
    r = RunCli(off);
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ(image + program, r.out); // every byte kept when nothing is asked for

    r = RunCli({"--overwrite", "--type=*.*", "-j2", dir.path()});
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ(Converted(image, "bitmap.png"), ReadFile(dir / "bitmap.png"));
    EXPECT_EQ(Converted(program, "true"), ReadFile(dir / "true"));
    struct stat st;
    ASSERT_EQ(0, ::stat((dir / "true").c_str(), &st));
    EXPECT_EQ(0755u, st.st_mode & 07777);
    EXPECT_EQ("NewFolder bitmap.png true", ListFolder(dir.path()));
}

TEST(CliBadInput, BrokenCodePage932FromAFileAndFromStandardInput) {
    const std::string inputs[] = {
        "a\x81\nb\x81",
        "\x81\r\n\x81",
        "/* \x81*/ x;\x81\n{\x81\n}\xFC",
        std::string("\x81\0\n\xE0", 4),
    };
    for (const std::string& input : inputs) {
        SCOPED_TRACE(::testing::PrintToString(input));
        TempDir dir;
        WriteFile(dir / "b.c", input);
        const std::pair<const char*, int> commentModes[] = {
            {"--comments=keep", 0}, {"--comments=line", 1}, {"--comments=split", 3}};
        for (const auto& [argument, mode] : commentModes) {
            FormatOptions options;
            options.commentMode = mode;
            const std::string expected = Converted(input, "b.c", options);
            ProcessResult r = RunCli({argument, "--stdout", dir / "b.c"});
            EXPECT_EQ(0, r.status) << r.err;
            EXPECT_EQ(expected, r.out) << argument;
            r = RunCli({argument, "--assume-filename=b.c", "-"}, input);
            EXPECT_EQ(0, r.status) << r.err;
            EXPECT_EQ(expected, r.out) << argument;
        }
        std::vector<std::string> off = kOffArgs;
        off.push_back("-");
        EXPECT_EQ(input, RunCli(off, input).out);
    }
}

TEST(CliBadInput, HugeLineAndMillionLinesInPlace) {
    std::string longLine(10 << 20, 'x');
    for (size_t at = 0; at < longLine.size(); at += 1 << 20)
        longLine.replace(at, 7, " /* c */");
    std::string manyLines;
    for (int i = 0; i < 1000000; ++i)
        manyLines += i % 2 ? "  a;  \r\n" : "{\n}\n";
    TempDir dir;
    WriteFile(dir / "long.c", longLine);
    WriteFile(dir / "many.c", manyLines);
    const ProcessResult r = RunCli({"--overwrite", "--comments=split", dir.path()});
    EXPECT_EQ(0, r.status) << r.err;
    FormatOptions split;
    split.commentMode = 3;
    EXPECT_EQ("", FirstDifference(Converted(longLine, "long.c", split), ReadFile(dir / "long.c")));
    EXPECT_EQ("", FirstDifference(Converted(manyLines, "many.c", split), ReadFile(dir / "many.c")));
    EXPECT_EQ("long.c many.c", ListFolder(dir.path()));
}

// Standard input is taken whole before it is converted, but under the same line limit as a
// file: a line over it fails the input with its reason, and nothing is written.
TEST(CliBadInput, StandardInputWithALineOverTheLimitFails) {
    const std::string input = "a;\n" + std::string(kMaxLineLength + 1, 'x') + "\n";
    auto reasonFor = [](const std::string& name) {
        std::string reason = name + ": " + CliText(FormatText(text::kLineTooLong, name)) + "\n";
        std::replace(reason.begin(), reason.end(), '\n', ' ');
        reason.back() = '\n';
        return reason;
    };
    const std::pair<std::vector<std::string>, int> runs[] = {{{"-"}, 1}, {{"--check", "-"}, 2}};
    for (const auto& [args, status] : runs) {
        SCOPED_TRACE(args[0]);
        const ProcessResult r = RunCli(args, input);
        EXPECT_EQ(status, r.status);
        EXPECT_EQ(reasonFor("-"), r.err);
        EXPECT_EQ("", r.out);
    }
    // The same from a file written to standard output: nothing of it is printed.
    TempDir dir;
    WriteFile(dir / "long.c", input);
    const ProcessResult r = RunCli({"--stdout", dir / "long.c"});
    EXPECT_EQ(1, r.status);
    EXPECT_EQ(reasonFor(dir / "long.c"), r.err);
    EXPECT_EQ("", r.out);
}

// Names are bytes: a folder's odd names are converted like any other, and so are the same
// names given one by one ("--" before a name that begins with a dash).
TEST(CliBadInput, OddFileNames) {
    const std::vector<std::string> names = {
        "with space.c", "quote'\".c", "-dash.c", "--overwrite.c", "new\nline.c",
        "\xFF\xFE.c",   "\x81.c",     "表.c",    "*.c",           "back\\slash.c",
    };
    for (bool byName : {false, true}) {
        for (bool overwrite : {true, false}) {
            SCOPED_TRACE(::testing::Message() << (byName ? "by name, " : "by folder, ")
                                              << (overwrite ? "overwrite" : "sub-folder"));
            TempDir dir;
            for (const std::string& name : names)
                WriteFile(dir / name, "NAME  \n");
            std::vector<std::string> args = {"--replace=NAME", "--with=%filename%"};
            if (overwrite)
                args.push_back("--overwrite");
            args.push_back("--");
            if (byName) {
                for (const std::string& name : names)
                    args.push_back(dir / name);
            } else {
                args.push_back(dir.path());
            }
            const ProcessResult r = RunCli(args);
            EXPECT_EQ(0, r.status) << r.err;
            EXPECT_EQ("", r.err);
            for (const std::string& name : names) {
                // A newline in the name is a line end of the file, CR LF like the others.
                std::string expected = NameOnlyFor(name);
                if (size_t lf = expected.find('\n'); lf != std::string::npos)
                    expected.insert(lf, "\r");
                EXPECT_EQ(expected + "\r\n",
                          ReadFile(dir / (overwrite ? name : "NewFolder/" + name)))
                    << name;
            }
            EXPECT_EQ(overwrite ? names.size() : 2 * names.size() + 1, Snapshot(dir.path()).size());
        }
    }
    // Without "--", a name that begins with a dash is an option: a usage error, nothing done.
    TempDir dir;
    WriteFile(dir / "-dash.c", "  x\n");
    const ProcessResult r = RunProcess(SRCTDY_CLI_PATH, {"-dash.c"}, {}, dir.path());
    EXPECT_EQ(2, r.status);
    EXPECT_EQ("-dash.c", ListFolder(dir.path()));
}

// A sub-folder name that would leave the file's folder is a usage error: nothing is touched,
// the parent's read-only files included.
TEST(CliBadInput, SubFolderNamesThatLeaveTheFolderAreUsageErrors) {
    TempDir dir;
    ::mkdir((dir / "src").c_str(), 0755);
    WriteFile(dir / "src/a.c", "  a;\n");
    WriteFile(dir / "a.c", "unrelated\n");
    ::chmod((dir / "a.c").c_str(), 0444);
    for (const char* name : {"..", "../x", ".", "./", "x/..", "a//b", "/tmp/out", "/"}) {
        for (const char* recursive : {"-j1", "-r"}) {
            SCOPED_TRACE(::testing::Message() << name << " " << recursive);
            const ProcessResult r =
                RunCli({std::string("--subfolder=") + name, recursive, dir / "src"});
            EXPECT_EQ(2, r.status);
            EXPECT_EQ(0u, r.err.find("srctdy-cli: --subfolder must be a relative path")) << r.err;
        }
    }
    EXPECT_EQ("a.c src", ListFolder(dir.path()));
    EXPECT_EQ("unrelated\n", ReadFile(dir / "a.c"));
    EXPECT_EQ("a.c", ListFolder(dir / "src"));
    // Names with "/" make the same folders with and without -r; -r never walks into them.
    for (const char* recursive : {"-j1", "-r"}) {
        for (int run = 0; run < 2; ++run) {
            const ProcessResult r = RunCli({"--subfolder=out/deep", recursive, dir / "src"});
            EXPECT_EQ(0, r.status) << recursive << r.err;
        }
        EXPECT_EQ("a;\r\n", ReadFile(dir / "src/out/deep/a.c")) << recursive;
        EXPECT_EQ("a.c", ListFolder(dir / "src/out/deep")) << recursive;
        std::filesystem::remove_all(dir / "src/out");
    }
}

// A sub-folder that links lead to the file's own folder or above would replace the sources
// themselves: each file fails, even when named on the command line.
TEST(CliBadInput, SubFolderLinkedToTheSourceFolderOrAboveFailsEachFile) {
    for (const char* target : {".", ".."}) {
        SCOPED_TRACE(target);
        TempDir dir;
        ::mkdir((dir / "src").c_str(), 0755);
        WriteFile(dir / "src/a.c", "  a;\n");
        WriteFile(dir / "a.c", "  parent;\n");
        ::chmod((dir / "src/a.c").c_str(), 0444);
        ASSERT_EQ(0, ::symlink(target, (dir / "src/NewFolder").c_str()));
        const ProcessResult r = RunCli({dir / "src/a.c"});
        EXPECT_EQ(1, r.status);
        std::string expected = CliText(FormatText(text::kSubFolderIsSource, dir / "src/a.c"));
        std::replace(expected.begin(), expected.end(), '\n', ' ');
        EXPECT_EQ(dir / "src/a.c: " + expected + "\n", r.err);
        EXPECT_EQ("  a;\n", ReadFile(dir / "src/a.c"));
        EXPECT_EQ("  parent;\n", ReadFile(dir / "a.c"));
        struct stat st;
        ASSERT_EQ(0, ::stat((dir / "src/a.c").c_str(), &st));
        EXPECT_EQ(0444u, st.st_mode & 07777);
    }
}

// A folder the walk cannot read is a failure, never a silent skip: --check must not pass a
// tree it did not read.
TEST(CliBadInput, UnreadableFolderFailsTheRun) {
    TempDir dir;
    ::chmod(dir.path().c_str(), 0755);
    for (const char* folder : {"tree", "tree/ok", "tree/locked", "flat"})
        ::mkdir((dir / folder).c_str(), 0755);
    WriteFile(dir / "tree/ok/a.c", "int a;\r\n");
    WriteFile(dir / "tree/locked/b.c", "int b;\r\n");
    ::chmod((dir / "tree/locked").c_str(), 0311); // searchable, not readable
    ::chmod((dir / "flat").c_str(), 0311);
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* folder;
    };
    const Case cases[] = {
        {{"--check", "-r", dir / "tree"}, 2, "tree/locked"},
        {{"--stdout", "-r", dir / "tree"}, 1, "tree/locked"},
        {{"--check", dir / "flat"}, 2, "flat"},
        {{"--stdout", dir / "flat"}, 1, "flat"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.folder);
        const auto result = CaptureAsNobody([&] {
            const ProcessResult r = RunCli(c.args);
            return std::to_string(r.status) + "\n" + r.err;
        });
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(std::to_string(c.status) + "\n" + dir / c.folder + ": " +
                      std::string(text::kCliUnreadableFolder) + "\n",
                  *result);
    }
}

// A path longer than the system takes is a failure with a message, not a silent skip.
TEST(CliBadInput, PathTooLongFailsTheRun) {
    TempDir dir;
    const std::string part(200, 'd');
    int fd = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
    size_t length = dir.path().size();
    while (length < PATH_MAX + 400) {
        ASSERT_EQ(0, ::mkdirat(fd, part.c_str(), 0755));
        const int next = ::openat(fd, part.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
        length += part.size() + 1;
    }
    const int file = ::openat(fd, "deep.c", O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(file, 0);
    ASSERT_EQ(3, ::write(file, "x;\n", 3));
    ::close(file);
    ::close(fd);
    WriteFile(dir / "a.c", "int a;\r\n");
    const ProcessResult r = RunCli({"--check", "-r", dir.path()});
    EXPECT_EQ(2, r.status);
    EXPECT_NE(std::string::npos, r.err.find(": " + std::string(text::kCliPathTooLong) + "\n"))
        << r.err;
    RunProcess("/bin/rm", {"-rf", dir / part}); // rm takes paths of any length
}

} // namespace
} // namespace srctdy
