// srctdy-cli and names that are not one plain file each: hard links and pipes.

#include "support/reliability_support.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

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
}

} // namespace
} // namespace srctdy
