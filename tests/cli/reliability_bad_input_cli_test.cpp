// Bad input through srctdy-cli: binary files, broken code page 932, a huge line, a million
// lines and odd file names, named one by one or found in a folder.

#include "engine/convert_file.h"
#include "support/reliability_support.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

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

} // namespace
} // namespace srctdy
