#include "support/test_files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace srctdy {
namespace {

using testing::ListFolder;
using testing::ProcessResult;
using testing::ReadFile;
using testing::RunCli;
using testing::RunProcess;
using testing::TempDir;
using testing::WriteFile;

TEST(Cli, HelpAndVersionSucceed) {
    ProcessResult help = RunCli({"--help"});
    EXPECT_EQ(0, help.status);
    EXPECT_NE(std::string::npos, help.out.find("--delete-lines=PREFIX"));
    ProcessResult version = RunCli({"--version"});
    EXPECT_EQ(0, version.status);
    EXPECT_EQ(0u, version.out.find("srctdy-cli "));
}

TEST(Cli, UsageErrorsExitTwoWithoutTouchingFiles) {
    TempDir dir;
    WriteFile(dir / "a.c", "  a\n");
    const std::vector<std::vector<std::string>> cases = {
        {"--bogus", dir / "a.c"},
        {"--delete-lines=ab", dir / "a.c"},
        {"--delete-lines=\xE8\xA1\xA8", dir / "a.c"}, // one double-byte character: 2 bytes
        {"--replace=abc", "--delete-lines=abc", dir / "a.c"},
        {"--with=x", dir / "a.c"},
        {"--overwrite", "--stdout", dir / "a.c"},
        {"--overwrite", "--subfolder=x", dir / "a.c"},
        {"--indent=3", dir / "a.c"},
        {"--comments=all", dir / "a.c"},
        {"--replace=\xF0\x9F\x98\x80", dir / "a.c"}, // not in code page 932
        {"--trim"},                                  // no PATH
        {"--rename=upper", "--trim", dir / "a.c"},
        {"--subfolder=", dir / "a.c"},
    };
    for (const auto& args : cases) {
        ProcessResult r = RunCli(args);
        EXPECT_EQ(2, r.status) << args[0];
        EXPECT_NE(std::string::npos, r.err.find("srctdy-cli: ")) << args[0];
    }
    EXPECT_EQ("a.c", ListFolder(dir.path()));
    EXPECT_EQ("  a\n", ReadFile(dir / "a.c"));
}

TEST(Cli, ConvertsFolderIntoSubFolderAndFileOnce) {
    TempDir dir;
    WriteFile(dir / "b.c", "int f()\n{\nreturn 0;\n}\n");
    WriteFile(dir / "a.C", "  x;\n");
    WriteFile(dir / "c.h", "h\n");
    ProcessResult r = RunCli({"--subfolder=out", dir.path(), dir / "b.c", dir / "./b.c"});
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ("", r.err);
    EXPECT_EQ("a.C b.c", ListFolder(dir / "out"));
    EXPECT_EQ("x;\r\n", ReadFile(dir / "out/a.C"));
}

TEST(Cli, StandardInputGivesTheSameBytesAsStdoutOfAFile) {
    TempDir dir;
    std::string input = "/*x*/ int f()\n{\n\t\x81\x40y = 1; // c\n\n\n}\nlast";
    WriteFile(dir / "f.c", input);
    for (std::vector<std::string> options : {std::vector<std::string>{},
                                             {"--comments=line", "--indent=tab"},
                                             {"--comments=block", "--no-trim", "--delete-empty"}}) {
        std::vector<std::string> fileArgs = options, stdinArgs = options;
        fileArgs.insert(fileArgs.end(), {"--stdout", dir / "f.c"});
        stdinArgs.insert(stdinArgs.end(), {"--assume-filename=f.c", "-"});
        ProcessResult fromFile = RunCli(fileArgs);
        ProcessResult fromStdin = RunCli(stdinArgs, input);
        EXPECT_EQ(0, fromFile.status);
        EXPECT_EQ(0, fromStdin.status);
        EXPECT_EQ(fromFile.out, fromStdin.out);
        EXPECT_FALSE(fromFile.out.empty());
    }
    EXPECT_EQ(input, ReadFile(dir / "f.c"));
}

TEST(Cli, FilenamePlaceholderUsesAssumedName) {
    ProcessResult r = RunCli(
        {"--replace=@F", "--with=%filename%", "--assume-filename=dir/m.c", "--indent=off", "-"},
        "@F\n");
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("m.c\r\n", r.out);
}

TEST(Cli, TextsArriveInUtf8AndAreConvertedToCodePage932) {
    ProcessResult del =
        RunCli({"--delete-lines=//削除", "--indent=off", "-"}, "//\x8D\xED\x8F\x9C x\nkeep\n");
    EXPECT_EQ(0, del.status);
    EXPECT_EQ("keep\r\n", del.out);
    ProcessResult rep = RunCli({"--replace=旧", "--with=新", "--indent=off", "-"}, "a\x8B\x8C"
                                                                                   "b\n");
    EXPECT_EQ(0, rep.status);
    EXPECT_EQ("a\x90V"
              "b\r\n",
              rep.out);
}

TEST(Cli, FailuresAreReportedPerFileAndExitOne) {
    TempDir dir;
    WriteFile(dir / "ok.c", "ok\n");
    ProcessResult r = RunCli({"--overwrite", dir / "missing.c", dir / "ok.c"});
    EXPECT_EQ(1, r.status);
    EXPECT_EQ(dir / "missing.c" + ": cannot open the file\n", r.err);
    EXPECT_EQ("ok\r\n", ReadFile(dir / "ok.c"));
}

TEST(Cli, MissingTemplateIsReportedButSucceeds) {
    TempDir dir;
    WriteFile(dir / "a.c", "a\n");
    ProcessResult r = RunCli({"--template=" + (dir / "none.txt"), "--stdout", dir / "a.c"});
    EXPECT_EQ(0, r.status);
    EXPECT_EQ(dir / "a.c" + ": the template file does not exist; no template is inserted\n", r.err);
    EXPECT_EQ("a\r\n", r.out);
}

TEST(Cli, DeleteEmptyWinsOverCollapseWhateverTheOrder) {
    for (auto order : {std::vector<std::string>{"--delete-empty", "--collapse-empty"},
                       std::vector<std::string>{"--collapse-empty", "--delete-empty"}}) {
        order.insert(order.end(), {"--indent=off", "-"});
        ProcessResult r = RunCli(order, "a\n\n\nb\n");
        EXPECT_EQ("a\r\nb\r\n", r.out);
    }
}

} // namespace
} // namespace srctdy

namespace srctdy {
namespace {

TEST(Cli, ParallelJobsGiveTheSameBytesAndMessagesAsOneJob) {
    TempDir dir;
    std::vector<std::string> args = {"--template=" + (dir / "none.txt")};
    for (int i = 0; i < 40; ++i) {
        std::string name = "f" + std::to_string(i) + ".c";
        std::string text;
        for (int line = 0; line <= i * 50; ++line)
            text += (line % 7 == 0 ? "{\n" : line % 11 == 0 ? "}\n" : "  x = " + name + ";\n");
        WriteFile(dir / name, text);
        args.push_back(dir / name);
        if (i % 9 == 0)
            args.push_back(dir / ("missing" + std::to_string(i) + ".c"));
    }
    auto run = [&](std::vector<std::string> extra) {
        extra.insert(extra.end(), args.begin(), args.end());
        return RunCli(extra);
    };
    ProcessResult one = run({"-j1", "--stdout"});
    for (auto jobs : {std::vector<std::string>{"-j", "4"}, {"--jobs=3"}, {"-j2"}}) {
        jobs.push_back("--stdout");
        ProcessResult many = run(jobs);
        EXPECT_EQ(1, many.status);
        EXPECT_EQ(one.out, many.out);
        EXPECT_EQ(one.err, many.err);
    }
    EXPECT_EQ(1, one.status);
    EXPECT_NE(std::string::npos, one.err.find("missing9.c: cannot open the file"));

    ProcessResult subOne = run({"-j1", "--subfolder=one"});
    ProcessResult subMany = run({"-j4", "--subfolder=many"});
    EXPECT_EQ(subOne.err.size(), subMany.err.size());
    EXPECT_EQ(ListFolder(dir / "one"), ListFolder(dir / "many"));
    for (int i = 0; i < 40; ++i) {
        std::string name = "/f" + std::to_string(i) + ".c";
        EXPECT_EQ(ReadFile(dir.path() + "/one" + name), ReadFile(dir.path() + "/many" + name));
    }
    EXPECT_EQ(2, RunCli({"--jobs=0", dir / "f1.c"}).status);
    EXPECT_EQ(2, RunCli({"-j"}).status);
}

} // namespace
} // namespace srctdy
