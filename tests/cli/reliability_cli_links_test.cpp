// srctdy-cli and names that are not one plain file each: hard links, pipes, symbolic links
// that lead out of the folder being converted, and an output that is one of the inputs.

#include "platform/message_catalogue.h"
#include "platform/string_table.h"
#include "support/reliability_support.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace srctdy {
namespace {

using namespace srctdy::testing;

constexpr const char* kSource = "int x;   \n{\nreturn;\n}\n";
constexpr const char* kConverted = "int x;\r\n{\r\n    return;\r\n}\r\n";

// Two names of one file in a folder are two files to the user: each is converted (in overwrite
// mode each becomes a file of its own).
TEST(CliLinks, EveryNameOfAHardLinkedFileIsConverted) {
    for (bool overwrite : {true, false}) {
        SCOPED_TRACE(overwrite ? "overwrite" : "sub-folder");
        TempDir dir;
        WriteFile(dir / "a.c", kSource);
        ASSERT_EQ(0, ::link((dir / "a.c").c_str(), (dir / "b.c").c_str()));
        std::vector<std::string> args = {"-j1", dir.path()};
        if (overwrite)
            args.insert(args.begin(), "--overwrite");
        const ProcessResult r = RunCli(args);
        EXPECT_EQ(0, r.status) << r.err;
        for (const char* name : {"a.c", "b.c"})
            EXPECT_EQ(kConverted, ReadFile(dir / (overwrite ? "" : "NewFolder/") + name)) << name;
        if (!overwrite) {
            EXPECT_EQ(kSource, ReadFile(dir / "a.c"));
        }
    }
}

TEST(CliLinks, PipeNamedOnTheCommandLineFailsWithoutBlocking) {
    TempDir dir;
    ASSERT_EQ(0, ::mkfifo((dir / "p.c").c_str(), 0644));
    WriteFile(dir / "a.c", kSource);
    for (const char* mode : {"--overwrite", "--stdout", "--subfolder=out"}) {
        SCOPED_TRACE(mode);
        const auto status = CaptureInChild(
            [&] {
                return std::to_string(RunCli({mode, dir / "p.c", dir / "a.c"}).status);
            },
            60);
        ASSERT_TRUE(status.has_value()) << "srctdy-cli blocked on the pipe";
        EXPECT_EQ("1", *status);
        EXPECT_EQ('p', Snapshot(dir.path()).at("p.c").kind);
    }
    EXPECT_EQ(kConverted, ReadFile(dir / "a.c"));
    EXPECT_EQ(kConverted, ReadFile(dir / "out/a.c"));
    EXPECT_EQ(std::vector<std::string>{}, TemporaryFiles(dir.path()));
    // A pipe that -r finds is no file of the folder: the tree is all tidy.
    const auto walked = CaptureInChild(
        [&] {
            const ProcessResult r = RunCli({"--check", "-r", dir.path()});
            return std::to_string(r.status) + "\n" + r.err;
        },
        60);
    ASSERT_TRUE(walked.has_value()) << "srctdy-cli blocked on the pipe";
    EXPECT_EQ("0\n", *walked);
}

// A tree from elsewhere (a branch under review, through the Git hook) may carry links to any
// file of the user's. A file found in a folder argument whose link leads out of it fails with
// a message, whatever the mode and with or without -r; --follow-links allows it, and a link
// named on the command line is followed (the user named it).
TEST(CliLinks, LinksOutOfAFolderArgumentFailUnlessFollowed) {
    struct Case {
        std::vector<std::string> args;
        bool followed;
    };
    const Case cases[] = {
        {{"--overwrite"}, false},
        {{"--overwrite", "-r"}, false},
        {{"--subfolder=out"}, false},
        {{"-r"}, false},
        {{"--stdout"}, false},
        {{"--check"}, false},
        {{"--diff", "-r"}, false},
        {{"--overwrite", "--follow-links", "--fsync"}, true},
        {{"-r", "--follow-links"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        TempDir dir;
        const std::string repo = dir / "repo";
        ::mkdir(repo.c_str(), 0755);
        ::mkdir((repo + "/sub").c_str(), 0755);
        WriteFile(dir / "outside.txt", "secret   \n");
        WriteFile(dir / "outside2.txt", "secret   \n");
        WriteFile(repo + "/a.c", kSource);
        ASSERT_EQ(0, ::symlink("../outside.txt", (repo + "/evil.c").c_str()));
        ASSERT_EQ(0, ::symlink("../../outside2.txt", (repo + "/sub/deep.c").c_str()));
        ASSERT_EQ(0, ::symlink("../a.c", (repo + "/sub/inside.c").c_str()));
        // A folder whose name begins with the tree's is still outside it.
        ::mkdir((dir / "repoX").c_str(), 0755);
        WriteFile(dir / "repoX/twin.txt", "secret   \n");
        ASSERT_EQ(0, ::symlink("../repoX/twin.txt", (repo + "/twin.c").c_str()));
        std::vector<std::string> args = c.args;
        args.push_back(repo);
        const ProcessResult r = RunCli(args);
        const bool recursive = std::find(args.begin(), args.end(), "-r") != args.end();
        const bool check = args[0] == "--check" || args[0] == "--diff";
        const bool overwrite = args[0] == "--overwrite";
        if (c.followed) {
            EXPECT_EQ(0, r.status) << r.err;
            if (overwrite)
                EXPECT_EQ("secret\r\n", ReadFile(dir / "outside.txt"));
            else
                EXPECT_EQ("secret\r\n", ReadFile(repo + "/NewFolder/evil.c"));
            continue;
        }
        EXPECT_EQ(check ? 2 : 1, r.status);
        std::string expected =
            repo + "/evil.c: " + CliText(FormatText(text::kOutsideFolder, repo + "/evil.c"));
        std::replace(expected.begin(), expected.end(), '\n', ' ');
        EXPECT_NE(std::string::npos, r.err.find(expected + "\n")) << r.err;
        EXPECT_EQ(recursive, r.err.find(repo + "/sub/deep.c: ") != std::string::npos) << r.err;
        EXPECT_EQ(std::string::npos, r.err.find("inside.c")) << r.err;
        EXPECT_EQ("secret   \n", ReadFile(dir / "outside.txt"));
        EXPECT_EQ("secret   \n", ReadFile(dir / "outside2.txt"));
        EXPECT_NE(std::string::npos, r.err.find(repo + "/twin.c: ")) << r.err;
        EXPECT_EQ("secret   \n", ReadFile(dir / "repoX/twin.txt"));
        EXPECT_EQ(std::string::npos, r.out.find("secret")) << "the outside file was shown";
        EXPECT_FALSE(FileExists(repo + "/NewFolder/evil.c"));
    }
    // Named on the command line, the link is followed.
    TempDir dir;
    WriteFile(dir / "outside.txt", kSource);
    ::mkdir((dir / "repo").c_str(), 0755);
    ASSERT_EQ(0, ::symlink("../outside.txt", (dir / "repo/evil.c").c_str()));
    EXPECT_EQ(0, RunCli({"--overwrite", dir / "repo/evil.c"}).status);
    EXPECT_EQ(kConverted, ReadFile(dir / "outside.txt"));
}

// The sub-folder of a folder argument that is a link out of the tree fails its files; nothing
// is written through it.
TEST(CliLinks, SubFolderLinkOutOfTheTreeFailsItsFiles) {
    for (bool recursive : {false, true}) {
        SCOPED_TRACE(recursive ? "-r" : "no -r");
        TempDir dir;
        ::mkdir((dir / "repo").c_str(), 0755);
        ::mkdir((dir / "elsewhere").c_str(), 0755);
        WriteFile(dir / "repo/a.c", kSource);
        ASSERT_EQ(0, ::symlink("../elsewhere", (dir / "repo/NewFolder").c_str()));
        std::vector<std::string> args = {dir / "repo"};
        if (recursive)
            args.insert(args.begin(), "-r");
        ProcessResult r = RunCli(args);
        EXPECT_EQ(1, r.status);
        std::string refused = CliText(FormatText(text::kOutsideFolder, dir / "repo/a.c"));
        std::replace(refused.begin(), refused.end(), '\n', ' ');
        EXPECT_NE(std::string::npos, r.err.find(dir / "repo/a.c: " + refused + "\n")) << r.err;
        EXPECT_EQ("", ListFolder(dir / "elsewhere"));
        args.insert(args.begin(), "--follow-links");
        r = RunCli(args);
        EXPECT_EQ(0, r.status) << r.err;
        EXPECT_EQ("a.c", ListFolder(dir / "elsewhere"));
    }
}

// Standard output appended to one of the inputs would feed on itself until the disk is full:
// that file is refused, as cat refuses it; the others are written.
TEST(CliLinks, StandardOutputThatIsAnInputIsRefusedForThatFile) {
    TempDir dir;
    WriteFile(dir / "a.c", kSource);
    WriteFile(dir / "b.c", kSource);
    ASSERT_EQ(0, ::link((dir / "a.c").c_str(), (dir / "hard.c").c_str()));
    const std::string cli = SRCTDY_CLI_PATH;
    for (const char* input : {"a.c", "hard.c"}) {
        SCOPED_TRACE(input);
        WriteFile(dir / "a.c", kSource);
        const auto status = CaptureInChild(
            [&] {
                const std::string command =
                    "'" + cli + "' --stdout b.c " + input + " >> a.c 2> err; echo $?";
                return RunProcess("/bin/sh", {"-c", command}, {}, dir.path()).out;
            },
            60);
        ASSERT_TRUE(status.has_value()) << "srctdy-cli fed on its own output";
        EXPECT_EQ("1\n", *status);
        EXPECT_EQ(std::string(kSource) + kConverted, ReadFile(dir / "a.c"));
        EXPECT_EQ(std::string(input) + ": " + std::string(text::kCliOutputIsInput) + "\n",
                  ReadFile(dir / "err"));
    }
    // From standard input too.
    const auto status = CaptureInChild(
        [&] {
            const std::string command = "'" + cli + "' - < a.c >> a.c 2> err; echo $?";
            return RunProcess("/bin/sh", {"-c", command}, {}, dir.path()).out;
        },
        60);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ("1\n", *status);
}

} // namespace
} // namespace srctdy
