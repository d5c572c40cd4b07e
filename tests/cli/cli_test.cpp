#include "cli/cli_options.h"
#include "cli/file_options.h"
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
    struct Case {
        std::vector<std::string> args;
        std::string reason; // the message after "srctdy-cli: "
    };
    const std::string a = dir / "a.c";
    std::vector<Case> cases = {
        {{"--bogus", a}, "unknown option --bogus"},
        {{"--delete-lines=ab", a}, "--delete-lines needs a prefix of at least 3 bytes"},
        // one double-byte character: 2 bytes
        {{"--delete-lines=\xE8\xA1\xA8", a}, "--delete-lines needs a prefix of at least 3"},
        {{"--replace=x", "--delete-lines=abc", a}, "--replace and --delete-lines exclude each"},
        {{"--delete-lines=abc", "--replace=x", a}, "--replace and --delete-lines exclude each"},
        {{"--with=x", a}, "--with needs --replace"},
        {{"--overwrite", "--stdout", a}, "--overwrite cannot be used together with --stdout"},
        {{"--overwrite", "--subfolder=x", a}, "--overwrite cannot be used together"},
        {{"--indent=3", a}, "--indent must be 2, 4, 8, tab or off"},
        {{"--comments=all", a}, "--comments must be keep, line, block or split"},
        {{"--eol=cr", a}, "--eol must be crlf, lf or keep"},
        {{"--encoding=latin1", a}, "--encoding must be auto, cp932 or utf-8"},
        {{"--encoding=cp932", "--replace=\xF0\x9F\x98\x80", a},
         "--replace holds a character that code page 932"},
        {{"--replace=\xFF", a}, "--replace is not UTF-8"},
        {{"--trim=yes", a}, "--trim takes no value"},
        {{"--no-definitions", a}, "unknown option --no-definitions"},
        {{"--indent", a}, "--indent needs a value"},
        {{"--trim"}, "no PATH given"},
        {{"--rename=upper", "--trim", a}, "--rename renames only"},
        {{"--exclude=x.c", "--rename=lower", a}, "--exclude does nothing beside --rename"},
        {{"--subfolder=", a}, "--subfolder needs a name"},
        {{"--config=x.toml", "--no-config", a}, "--config and --no-config cannot be used"},
        {{"--print-config"}, "--print-config needs a PATH"},
        {{"--print-config="}, "--print-config needs a PATH"},
        {{"--rename", a}, "--rename needs a value (--rename=...)"},
        {{"--exclude", a}, "--exclude needs a value (--exclude=...)"},
        {{"--assume-filename", "-"}, "--assume-filename needs a value"},
        {{"--jobs=0", a}, "--jobs must be a number from 1 to 1024"},
        {{"--jobs=1025", a}, "--jobs must be a number from 1 to 1024"},
        // Too many digits for any number type, and a number with more after it.
        {{"--jobs=123456789012345678901", a}, "--jobs must be a number from 1 to 1024"},
        {{"--jobs=2x", a}, "--jobs must be a number from 1 to 1024"},
        {{"-j"}, "-j needs a number"},
        {{"--type=,", a}, "--type needs at least one pattern"},
        {{"--config=", a}, "--config needs a file"},
        {{"--rename=sideways", a}, "--rename must be upper, lower, c-to-cpp or cpp-to-c"},
        {{"--quiet", "--verbose", a}, "--quiet and --verbose cannot be used together"},
        {{"--check", "--overwrite", a}, "--check and --diff write nothing"},
        {{"--subfolder=../x", a}, "--subfolder must be a relative path whose parts"},
        {{"--help=x"}, "--help takes no value"},
    };
    // Options a rename would pass over in silence are refused by name.
    for (std::string option :
         {"-r", "--recursive", "--follow-links", "--jobs=2", "--verbose", "--fast", "--no-config"})
        cases.push_back({{"--rename=upper", option, a},
                         option.substr(0, option.find('=')) + " does nothing beside --rename"});
    for (const Case& c : cases) {
        ProcessResult r = RunCli(c.args);
        EXPECT_EQ(2, r.status) << c.reason;
        EXPECT_EQ(0u, r.err.find("srctdy-cli: " + c.reason)) << r.err;
    }
    EXPECT_EQ(0, RunCli({"--jobs=1024", "--stdout", a}).status); // the last number taken
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
    // The files of every type make one sorted list, less those excluded; a "/" after the
    // folder adds none to their names.
    const std::pair<std::vector<std::string>, std::vector<std::string>> listings[] = {
        {{"--type=*.h,*.c", dir.path() + "/"}, {"a.C", "b.c", "c.h"}},
        {{"--exclude=b.c", dir.path()}, {"a.C"}},
    };
    for (const auto& [args, files] : listings) {
        std::vector<std::string> check = {"--check"};
        check.insert(check.end(), args.begin(), args.end());
        std::string expected;
        for (const std::string& file : files)
            expected += dir / file + ": would change\n";
        EXPECT_EQ(expected, RunCli(check).err) << args[0];
    }
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

// Standard input is named "-" in messages and diffs; --check and --diff mean the same in
// either order; a count of comments left is for --verbose only.
TEST(Cli, StandardInputIsReportedAsDash) {
    struct Case {
        std::vector<std::string> args;
        std::string input;
        std::string out;
        std::string err;
    };
    const std::string diff = "--- a/-\n+++ b/-\n@@ -1 +1 @@\n-  x;\n+x;\r\n";
    const Case cases[] = {
        {{"--diff", "-"}, "  x;\n", diff, "-: would change\n"},
        {{"--diff", "--check", "-"}, "  x;\n", diff, "-: would change\n"},
        {{"--check", "--diff", "-"}, "  x;\n", diff, "-: would change\n"},
        {{"--verbose", "--comments=line", "-"},
         "/* a */ x;\n",
         "/* a */ x;\r\n",
         "-: comments left as they were: 1\n-: converted (code page 932)\n"
         "1 converted, 0 unchanged, 0 failed\n"},
        {{"--comments=line", "-"}, "/* a */ x;\n", "/* a */ x;\r\n", ""},
        {{"--verbose", "-"},
         "\xE3\x81\x82;\n",
         "\xE3\x81\x82;\r\n",
         "-: converted (UTF-8)\n1 converted, 0 unchanged, 0 failed\n"},
    };
    for (const Case& c : cases) {
        ProcessResult r = RunCli(c.args, c.input);
        EXPECT_EQ(c.out, r.out) << c.args[0] << " " << c.args[1];
        EXPECT_EQ(c.err, r.err) << c.args[0] << " " << c.args[1];
    }
}

// A name at the root is looked up from the root (which holds no configuration here): the
// current folder's configuration is not its own.
TEST(Cli, AssumedNameAtTheRootTakesNoConfigurationOfTheCurrentFolder) {
    TempDir dir;
    WriteFile(dir / ".editorconfig", "root = true\n");
    WriteFile(dir / ".srctdy.toml", "indent = \"tab\"\n");
    const std::pair<std::string, std::string> cases[] = {
        {"m.c", "{\r\n\tx;\r\n}\r\n"},
        {"/m.c", "{\r\n    x;\r\n}\r\n"},
    };
    for (const auto& [name, expected] : cases) {
        ProcessResult r = RunProcess(SRCTDY_CLI_PATH, {"--assume-filename=" + name, "-"},
                                     "{\nx;\n}\n", dir.path());
        EXPECT_EQ(0, r.status) << r.err;
        EXPECT_EQ(expected, r.out) << name;
    }
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

// A mixed tree: each file in its own encoding, named with it under --verbose.
TEST(Cli, ConvertsShiftJisAndUtf8FilesOfOneRunEachInItsEncoding) {
    TempDir dir;
    WriteFile(dir / "a.c", "/* \x83\x65\x83\x58\x83\x67 */\n\x81\x40x;\n"); // Shift-JIS
    WriteFile(dir / "b.c", "/* \xE3\x81\x81@ */\n\xE3\x80\x80x;\n");        // UTF-8 "ぁ@"
    WriteFile(dir / "c.c", "\xEF\xBB\xBF  x;\n");                           // mark
    WriteFile(dir / "d.c", "x;\n");                                         // ASCII
    ProcessResult r = RunCli({"--verbose", "--indent=off", dir.path()});
    EXPECT_EQ(0, r.status);
    EXPECT_EQ(dir / "a.c" + ": converted (code page 932)\n" + dir / "b.c" +
                  ": converted (UTF-8)\n" + dir / "c.c" + ": converted (UTF-8)\n" + dir / "d.c" +
                  ": converted (code page 932)\n4 converted, 0 unchanged, 0 failed\n",
              r.err);
    EXPECT_EQ("/* \x83\x65\x83\x58\x83\x67 */\r\n  x;\r\n", ReadFile(dir / "NewFolder/a.c"));
    EXPECT_EQ("/* \xE3\x81\x81@ */\r\n  x;\r\n", ReadFile(dir / "NewFolder/b.c"));
    EXPECT_EQ("\xEF\xBB\xBFx;\r\n", ReadFile(dir / "NewFolder/c.c"));

    // Forced, every file takes that encoding: the UTF-8 file's 81 40 becomes blanks.
    ProcessResult forced =
        RunCli({"--encoding=cp932", "--verbose", "--indent=off", "--stdout", dir / "b.c"});
    EXPECT_EQ("/* \xE3\x81   */\r\n\xE3\x80\x80x;\r\n", forced.out);
    EXPECT_EQ(dir / "b.c" + ": converted (code page 932)\n1 converted, 0 unchanged, 0 failed\n",
              forced.err);
}

// A text code page 932 cannot hold fails its files only; the UTF-8 ones are converted.
TEST(Cli, TextCodePage932CannotHoldFailsOnlyTheShiftJisFiles) {
    TempDir dir;
    WriteFile(dir / "a.c", "\x82\xA0 @\n");
    WriteFile(dir / "b.c", "\xE3\x81\x82 @\n");
    ProcessResult r = RunCli({"--replace=@", "--with=😀", "--overwrite", dir.path()});
    EXPECT_EQ(1, r.status);
    EXPECT_EQ(dir / "a.c" +
                  ": not converted: the text \"😀\" cannot be written in code page 932, this "
                  "file's encoding\n",
              r.err);
    EXPECT_EQ("\x82\xA0 @\n", ReadFile(dir / "a.c"));
    EXPECT_EQ("\xE3\x81\x82 😀\r\n", ReadFile(dir / "b.c"));
    // --delete-lines counts code page 932 bytes where the text fits: "表x" is 3 bytes there.
    ProcessResult del =
        RunCli({"--delete-lines=表x", "--indent=off", "-"}, "\xE8\xA1\xA8x 1\n\xE8\xA1\xA8y\n");
    EXPECT_EQ(0, del.status) << del.err;
    EXPECT_EQ("\xE8\xA1\xA8y\r\n", del.out);
}

TEST(Cli, FailuresAreReportedPerFileAndExitOne) {
    TempDir dir;
    WriteFile(dir / "ok.c", "ok\n");
    ProcessResult r = RunCli({"--overwrite", dir / "missing.c", dir / "ok.c"});
    EXPECT_EQ(1, r.status);
    EXPECT_EQ(dir / "missing.c" + ": cannot open the file\n", r.err);
    EXPECT_EQ("ok\r\n", ReadFile(dir / "ok.c"));
    // --quiet keeps the failures.
    ProcessResult quiet = RunCli({"--overwrite", "--quiet", dir / "missing.c", dir / "ok.c"});
    EXPECT_EQ(1, quiet.status);
    EXPECT_EQ(r.err, quiet.err);
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

namespace srctdy {
namespace {

// --fast reaches every file's settings: a file's configuration cannot turn the check back on,
// and without it every file is checked.
TEST(CliFast, TurnsTheTokenCheckOffForEveryFile) {
    testing::TempDir dir;
    testing::WriteFile(dir / ".srctdy.toml", "indent = \"tab\"\n");
    testing::WriteFile(dir / "a.c", "a\n");
    for (const bool fast : {true, false}) {
        CliOptions options;
        std::string error;
        std::vector<std::string> args = {dir / "a.c"};
        if (fast)
            args.insert(args.begin(), "--fast");
        ASSERT_TRUE(ParseCommandLine(args, options, error)) << error;
        FileOptions files(options);
        ResolvedOptions resolved;
        ASSERT_TRUE(files.resolve(dir / "a.c", resolved)) << files.error();
        EXPECT_EQ(!fast, resolved.options.settings.guard);
        EXPECT_EQ(3, resolved.options.settings.indentSizeIndex) << "the file's own options";
    }
}

} // namespace
} // namespace srctdy
