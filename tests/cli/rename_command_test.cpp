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

// One line of standard error: the path, ": ", the message with its line breaks as spaces.
std::string ErrorLine(const std::string& path, std::string_view message) {
    std::string line = path + ": " + std::string(message);
    for (char& c : line)
        if (c == '\n')
            c = ' ';
    return line + "\n";
}

TEST(CliRename, RenamesTheFilesOfFoldersAndFiles) {
    struct Case {
        std::vector<std::string> args; // folder-relative; "@" stands for the folder
        const char* after;
    };
    const Case cases[] = {
        {{"--rename=upper", "@"}, "MAIN.C Main.cpp sub x.h"},
        {{"--rename=lower", "--type=*.cpp", "@"}, "main.c main.cpp sub x.h"},
        {{"--rename=c-to-cpp", "@"}, "Main.cpp main.cpp sub x.h"},
        {{"--rename=cpp-to-c", "@/Main.cpp"}, "Main.c main.c sub x.h"},
        {{"--rename=upper", "@/x.h", "@/main.c", "@"}, "MAIN.C Main.cpp X.H sub"},
        // --quiet is no conversion option: renaming reports failures only anyway.
        {{"--rename=upper", "--quiet", "@"}, "MAIN.C Main.cpp sub x.h"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        ASSERT_EQ(0, ::mkdir((dir / "sub").c_str(), 0755));
        for (const char* name : {"main.c", "Main.cpp", "x.h", "sub/a.c"})
            WriteFile(dir / name, name);
        std::vector<std::string> args;
        for (std::string arg : c.args) {
            if (arg[0] == '@')
                arg.replace(0, 1, dir.path());
            args.push_back(arg);
        }

        ProcessResult r = RunCli(args);

        EXPECT_EQ(0, r.status) << c.args[0];
        EXPECT_EQ("", r.err);
        EXPECT_EQ(c.after, ListFolder(dir.path())) << c.args[0];
        EXPECT_EQ("a.c", ListFolder(dir / "sub"));
    }
}

TEST(CliRename, RefusedRenameIsReportedAndExitsOne) {
    TempDir dir;
    WriteFile(dir / "x.cpp", "x.cpp");
    WriteFile(dir / "x.c", "x.c");
    WriteFile(dir / "y.cpp", "y.cpp");

    ProcessResult r = RunCli({"--rename=cpp-to-c", "--type=*.cpp", dir.path()});

    EXPECT_EQ(1, r.status);
    EXPECT_EQ(ErrorLine(dir / "x.cpp", "rename error"), r.err);
    EXPECT_EQ("x.c x.cpp y.c", ListFolder(dir.path()));
    EXPECT_EQ("x.c", ReadFile(dir / "x.c"));
}

TEST(CliRename, NeverAsksWhetherToStop) {
    TempDir dir;
    // The upper-case names are other files: each rename of a lower-case name is refused.
    for (const char* name : {"a.c", "b.c", "A.C", "B.C"})
        WriteFile(dir / name, name);

    ProcessResult r = RunCli({"--rename=upper", dir.path()});

    EXPECT_EQ(1, r.status);
    EXPECT_EQ(ErrorLine(dir / "a.c", "cannot rename\n[ a.c ]") +
                  ErrorLine(dir / "b.c", "cannot rename\n[ b.c ]"),
              r.err);
    EXPECT_EQ("A.C B.C a.c b.c", ListFolder(dir.path()));
    EXPECT_EQ("a.c", ReadFile(dir / "a.c"));
}

TEST(CliRename, MissingFileFailsTheCaseCommand) {
    TempDir dir;
    ProcessResult r = RunCli({"--rename=lower", dir / "GONE.C"});
    EXPECT_EQ(1, r.status);
    EXPECT_EQ(ErrorLine(dir / "GONE.C", "cannot rename\n[ GONE.C ]"), r.err);
}

} // namespace
} // namespace srctdy
