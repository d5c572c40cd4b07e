#include "cli/file_walk.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <filesystem>
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

const char* const kTidy = "int f(void)\r\n{\r\n    return 0;\r\n}\r\n";
const char* const kUntidy = "int f(void)\n{\nreturn 0;\n}\n";

TEST(CliCheck, ExitStatusAndListing) {
    TempDir dir;
    WriteFile(dir / "tidy.c", kTidy);
    WriteFile(dir / "untidy.c", kUntidy);

    ProcessResult tidy = RunCli({"--check", dir / "tidy.c"});
    EXPECT_EQ(0, tidy.status);
    EXPECT_EQ("", tidy.err);

    ProcessResult folder = RunCli({"--check", dir.path()});
    EXPECT_EQ(1, folder.status);
    EXPECT_EQ(dir / "untidy.c" + ": would change\n", folder.err);
    EXPECT_EQ("", folder.out);

    ProcessResult missing = RunCli({"--check", dir / "tidy.c", dir / "gone.c"});
    EXPECT_EQ(2, missing.status);
    // A file that cannot be read outranks one that would change.
    ProcessResult both = RunCli({"--check", dir / "untidy.c", dir / "gone.c"});
    EXPECT_EQ(2, both.status);
    EXPECT_NE(std::string::npos, both.err.find(dir / "untidy.c: would change\n")) << both.err;
    EXPECT_NE(std::string::npos, both.err.find(dir / "gone.c: ")) << both.err;

    EXPECT_EQ(2, RunCli({"--check", "--overwrite", dir / "tidy.c"}).status);
    EXPECT_EQ(2, RunCli({"--diff", "--stdout", dir / "tidy.c"}).status);

    ProcessResult verbose = RunCli({"--check", "--verbose", dir.path()});
    EXPECT_EQ(dir / "tidy.c" + ": tidy (code page 932)\n" + dir / "untidy.c" +
                  ": would change (code page 932)\n" + "1 would change, 1 tidy, 0 failed\n",
              verbose.err);
    ProcessResult quiet = RunCli({"--check", "--quiet", dir.path()});
    EXPECT_EQ(1, quiet.status);
    EXPECT_EQ("", quiet.err);
    // Nothing was written anywhere.
    EXPECT_EQ("tidy.c untidy.c", ListFolder(dir.path()));
    EXPECT_EQ(kUntidy, ReadFile(dir / "untidy.c"));
}

// The hunks from the first "@@" on; the header lines carry names and times.
std::string Hunks(const std::string& diff) {
    size_t at = diff.find("@@");
    return at == std::string::npos ? "" : diff.substr(at);
}

TEST(CliCheck, DiffMatchesDiffUOfTheConvertedFile) {
    TempDir dir;
    std::string input;
    for (int i = 0; i < 60; ++i) {
        input += i % 10 == 3   ? "  x = " + std::to_string(i) + ";   \n"
                 : i % 10 == 7 ? "\n\n\n"
                               : "x = " + std::to_string(i) + ";\r\n";
    }
    input += "\xff\xfe binary\r\n  no final newline";
    WriteFile(dir / "d.c", input);
    const std::vector<std::string> options = {"--indent=off", "--eol=keep"};

    std::vector<std::string> args = options;
    args.insert(args.end(), {"--diff", dir / "d.c"});
    ProcessResult diff = RunCli(args);
    EXPECT_EQ(1, diff.status);
    EXPECT_EQ(0u, diff.out.find("--- a/" + dir / "d.c" + "\n+++ b/" + dir / "d.c" + "\n"));

    args = options;
    args.insert(args.end(), {"--stdout", dir / "d.c"});
    WriteFile(dir / "converted", RunCli(args).out);
    ProcessResult reference = RunProcess("/usr/bin/diff", {"-u", dir / "d.c", dir / "converted"});
    ASSERT_EQ(1, reference.status) << reference.err;
    EXPECT_EQ(Hunks(reference.out), Hunks(diff.out));
    EXPECT_NE(std::string::npos, diff.out.find("\\ No newline at end of file"));
}

TEST(CliCheck, LineEndChangeAloneIsAChangedLine) {
    TempDir dir;
    WriteFile(dir / "e.c", "a\r\nb\nc\r\n");
    ProcessResult r = RunCli({"--diff", dir / "e.c"});
    EXPECT_EQ(1, r.status);
    EXPECT_EQ(" a\r\n-b\n+b\r\n c\r\n", r.out.substr(r.out.find("@@ -1,3 +1,3 @@\n") + 16));
}

TEST(CliWalk, RecursesSortedSkipsSubFolderLinksAndExcludes) {
    TempDir dir;
    for (const char* folder : {"src", "src/net", "src/gen", "NewFolder", "src/NewFolder", "b"})
        ::mkdir((dir / folder).c_str(), 0755);
    for (const char* file :
         {"main.c", "z.h", "src/B.c", "src/a.c", "src/net/sock.c", "src/gen/out.c",
          "NewFolder/old.c", "src/NewFolder/old.c", "b/x.c", "src/readme.txt"})
        WriteFile(dir / file, "  x;\n");
    ::mkdir((dir.path() + "-outside").c_str(), 0755);
    WriteFile(dir.path() + "-outside/linked.c", "  y;\n");
    ASSERT_EQ(0, ::symlink((dir.path() + "-outside").c_str(), (dir / "link").c_str()));

    ProcessResult r = RunCli({"--check", "--verbose", "-r", "--type=*.c,*.h", "--exclude=**/gen",
                              "--exclude=b/*.c", dir.path()});
    std::string expected;
    for (const char* file : {"main.c", "z.h", "src/a.c", "src/B.c", "src/net/sock.c"})
        expected += dir / file + ": would change (code page 932)\n";
    expected += "5 would change, 0 tidy, 0 failed\n";
    EXPECT_EQ(expected, r.err);

    // Sub-folder output mirrors the tree under the folder argument's sub-folder.
    ProcessResult convert = RunCli({"-r", "--exclude=**/gen", dir.path()});
    EXPECT_EQ(0, convert.status) << convert.err;
    EXPECT_EQ("b main.c old.c src", ListFolder(dir / "NewFolder"));
    EXPECT_EQ("B.c a.c net", ListFolder(dir / "NewFolder/src"));
    EXPECT_EQ("x;\r\n", ReadFile(dir / "NewFolder/src/net/sock.c"));
    EXPECT_EQ("  x;\n", ReadFile(dir / "NewFolder/old.c")); // never walked into
    std::filesystem::remove_all(dir.path() + "-outside");
}

// One file under several names (a dot, a way up and back, a link, its folder) is converted
// once; a file whose name is a link to a file elsewhere is that file. With -r the walk names
// the folder's files as it finds them.
TEST(CliWalk, AFileNamedSeveralWaysIsConvertedOnce) {
    for (bool recursive : {false, true}) {
        SCOPED_TRACE(recursive ? "-r" : "no -r");
        TempDir dir;
        ::mkdir((dir / "sub").c_str(), 0755);
        ::mkdir((dir / "other").c_str(), 0755);
        WriteFile(dir / "a.c", "int a;   \n");
        WriteFile(dir / "b.c", "int b;\n");
        WriteFile(dir / "other/c.c", "int c;\n");
        ASSERT_EQ(0, ::symlink("a.c", (dir / "l.c").c_str()));
        ASSERT_EQ(0, ::symlink("other/c.c", (dir / "m.c").c_str()));
        std::vector<std::string> args = {"--stdout",          dir / "a.c",     dir / "./a.c",
                                         dir / "sub/../a.c",  dir / "l.c",     dir.path(),
                                         dir / "other/./c.c", "--follow-links"};
        if (recursive)
            args.insert(args.begin(), "-r");
        const ProcessResult r = RunCli(args);
        EXPECT_EQ(0, r.status) << r.err;
        EXPECT_EQ("int a;\r\nint b;\r\nint c;\r\n", r.out);
    }
}

struct GlobCase {
    const char* path;
    const char* glob;
    bool matches;
};

TEST(CliWalk, GlobRules) {
    const GlobCase cases[] = {
        {"a.c", "*.c", true},
        {"src/a.c", "*.c", false},
        {"src/a.c", "src/*.c", true},
        {"src/a.c", "**/*.c", true},
        {"a.c", "**/*.c", true},
        {"x/y/gen", "**/gen", true},
        {"gen", "**/gen", true},
        {"x/gen/a.c", "**/gen", false},
        {"x/gen/a.c", "**/gen/**", true},
        {"ab", "a?", true},
        {"a/", "a?", false},
        {"A.c", "a.c", false},
        {"a/b/c/d.c", "**/**/*.c", true},
        {"d.c", "**/**/*.c", true},
        {"a/b", "**/", false},
        {"a/b/", "a/**/", true},
        {"ab/c", "*b/*", true},
        {"abc", "a*b*c*", true},
        {"acb", "a*b*c", false},
        {"", "*", true},
        {"", "**", true},
        {"", "?", false},
        {"x/y", "x**y", true},
        {"x/y", "x*y", false},
        {"x", "x**y", false}, // only "**/" may stand for nothing with what follows it
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.matches, MatchesGlob(c.path, c.glob)) << c.path << " " << c.glob;
}

// Patterns with many "*" or "**" against names that almost match took exponential time; the
// match must take at most a step per pair of a path position and a pattern position.
TEST(CliWalk, GlobMatchTakesAtMostPathTimesPatternSteps) {
    const std::string as(60, 'a');
    const std::string deep = "a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/b";
    const GlobCase cases[] = {
        {as.c_str(), "*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*b", false},
        {as.c_str(), "*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a", true},
        {deep.c_str(), "**a**a**a**a**a**a**a**a**a**a**c", false},
        {deep.c_str(), "**/a/**/a/**/a/**/a/**/a/**/a/**/b", true},
        {deep.c_str(), "**/**/**/**/**/**/**/**/**/**/**/c", false},
    };
    for (const auto& c : cases) {
        size_t steps = 0;
        EXPECT_EQ(c.matches, MatchesGlob(c.path, c.glob, &steps)) << c.glob;
        const size_t bound = (std::strlen(c.path) + 1) * (std::strlen(c.glob) + 1);
        EXPECT_LE(steps, bound) << c.glob;
        EXPECT_GT(steps, 0u) << c.glob;
    }
}

TEST(CliOverwrite, UnchangedFilesKeepTheirModificationTime) {
    TempDir dir;
    WriteFile(dir / "tidy.c", kTidy);
    WriteFile(dir / "untidy.c", kUntidy);
    timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    ::utimensat(AT_FDCWD, (dir / "tidy.c").c_str(), old, 0);
    ::utimensat(AT_FDCWD, (dir / "untidy.c").c_str(), old, 0);
    ProcessResult r = RunCli({"--overwrite", "--verbose", dir.path()});
    EXPECT_EQ(0, r.status);
    EXPECT_EQ(dir / "tidy.c" + ": unchanged (code page 932)\n" + dir / "untidy.c" +
                  ": converted (code page 932)\n" + "1 converted, 1 unchanged, 0 failed\n",
              r.err);
    struct stat tidy, untidy;
    ::stat((dir / "tidy.c").c_str(), &tidy);
    ::stat((dir / "untidy.c").c_str(), &untidy);
    EXPECT_EQ(1000000000, tidy.st_mtim.tv_sec);
    EXPECT_NE(1000000000, untidy.st_mtim.tv_sec);
    EXPECT_EQ(kTidy, ReadFile(dir / "untidy.c"));
}

TEST(CliLineEnds, EachEolValueWithMixedInput) {
    const std::string mixed = "a\r\nb\n\nc";
    struct {
        const char* eol;
        std::string expected;
    } cases[] = {
        {"--eol=crlf", "a\r\nb\r\n\r\nc\r\n"},
        {"--eol=lf", "a\nb\n\nc\n"},
        {"--eol=keep", "a\r\nb\n\nc"},
    };
    for (const auto& c : cases) {
        ProcessResult r = RunCli({c.eol, "--indent=off", "-"}, mixed);
        EXPECT_EQ(0, r.status);
        EXPECT_EQ(c.expected, r.out) << c.eol;
    }
    EXPECT_EQ(2, RunCli({"--eol=cr", "-"}).status);
}

} // namespace
} // namespace srctdy

#include "batch/unified_diff.h"

#include <random>

namespace srctdy {
namespace {

// Texts made of few distinct lines give diff the most ways to choose; ours must choose as
// `diff -u` does.
TEST(UnifiedDiff, HunksEqualDiffUOnGeneratedTexts) {
    const char* const kLines[] = {"", "{", "}", "x = 1;", "  x = 1;", "y;", "\x81\x40z;"};
    // First the choices that diff's heuristics settle at their limits, which random texts
    // seldom reach: a change that could slide into the identical lines before it, a line with
    // exactly as many matches as a line may have and still be compared, and a run of lines
    // without a match of which exactly a quarter have many.
    std::vector<std::pair<std::string, std::string>> texts = {
        {"x\ny\n\n\n\nz\n", "x\ny\n\nx\n\nz\nz\ny\n"},
        {"a\nb\nc\n\nd\ne\nf\n", "\n\n\n\n\n"},
        {"a\nb\nc\nd\ne\nz\nf\ny\ny\ng\nh\ni\n", "z\nz\nz\ny\nz\ny\nz\ny\ny\ny\ny\nz\n"},
    };
    for (unsigned seed = 1; seed <= 40; ++seed) {
        std::mt19937 random(seed);
        std::string before, after;
        for (int i = 0, n = 1 + static_cast<int>(random() % 80); i < n; ++i) {
            std::string line = kLines[random() % 7];
            std::string end = random() % 2 ? "\n" : "\r\n";
            before += line + end;
            // After: some lines dropped, changed or added, as a tidy-up does.
            switch (random() % 6) {
            case 0:
                break;
            case 1:
                after += kLines[random() % 7] + end;
                break;
            case 2:
                after += line + end + kLines[random() % 7] + "\r\n";
                break;
            default:
                after += line + (random() % 4 ? end : "\r\n");
            }
        }
        if (seed % 5 == 0)
            after.pop_back(); // no final line end
        texts.emplace_back(before, after);
    }
    TempDir dir;
    for (size_t i = 0; i < texts.size(); ++i) {
        const auto& [before, after] = texts[i];
        WriteFile(dir / "before", before);
        WriteFile(dir / "after", after);
        ProcessResult reference =
            RunProcess("/usr/bin/diff", {"-u", dir / "before", dir / "after"});
        EXPECT_EQ(Hunks(reference.out), Hunks(UnifiedDiff(before, after, "x.c"))) << i;
    }
}

TEST(UnifiedDiff, EqualTextsGiveNothingAndHeadersNameThePath) {
    EXPECT_EQ("", UnifiedDiff("a\n", "a\n", "p.c"));
    EXPECT_EQ("--- a/p.c\n+++ b/p.c\n@@ -1 +1 @@\n-a\n+b\n", UnifiedDiff("a\n", "b\n", "p.c"));
    EXPECT_EQ("--- a/p.c\n+++ b/p.c\n@@ -0,0 +1 @@\n+b\n", UnifiedDiff("", "b\n", "p.c"));
}

TEST(UnifiedDiff, LargeDifferencesStayFast) {
    std::string before, after;
    for (int i = 0; i < 200000; ++i) {
        before += i % 3 ? "x\n" : "y\n";
        after += i % 5 ? "x\r\n" : "y\n";
    }
    std::string diff = UnifiedDiff(before, after, "big.c");
    EXPECT_EQ(0u, diff.find("--- a/big.c\n"));
}

} // namespace
} // namespace srctdy
