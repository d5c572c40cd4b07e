#include "app/settings_file.h"

#include "support/nobody_capture.h"
#include "support/reliability_support.h"
#include "support/test_files.h"

#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace srctdy {
namespace {

using testing::FileExists;
using testing::ListFolder;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

TEST(SettingsFile, LiesInTheStartupFolder) {
    EXPECT_EQ("/home/u/tools/SRCTDY.INI", SettingsPathFor("/home/u/tools"));
    EXPECT_EQ("/SRCTDY.INI", SettingsPathFor("/"));
}

TEST(SettingsFile, SavesTheFolderAsOneCrLfLine) {
    TempDir dir;
    const std::string path = SettingsPathFor(dir.path());
    WriteFile(path, "/old/one\r\nsecond line\r\nthird\r\n");

    EXPECT_TRUE(SaveSettings(path, "/src/proj"));

    EXPECT_EQ("/src/proj\r\n", ReadFile(path));
    EXPECT_EQ("SRCTDY.INI", ListFolder(dir.path())); // no temporary file left behind
}

TEST(SettingsFile, ReadsBackWhatItSaved) {
    const std::string cases[] = {
        "/src/proj",
        "/src/100%/%s%d", // a percent sign is written and read unchanged
        "",               // nothing chosen: a file holding only a line end
        " /leading and trailing blanks ",
        "/\x83\x5c\x83\x5c", // code page 932 bytes, kept as the file system gives them
        "/no/such/folder/any/more",
        "/" + std::string(300, 'x') + "/" + std::string(300, 'y'),
    };
    for (const std::string& folder : cases) {
        TempDir dir;
        const std::string path = SettingsPathFor(dir.path());
        ASSERT_TRUE(SaveSettings(path, folder));
        EXPECT_EQ(folder, LoadSettings(path));
    }
}

TEST(SettingsFile, LoadTakesTheFirstLineWithoutItsLineEnd) {
    const std::pair<const char*, const char*> cases[] = {
        {"/a/b\r\n/c/d\r\n", "/a/b"},
        {"/a/b\n/c/d", "/a/b"},
        {"/a/b", "/a/b"},       // no line end at all
        {"/a\rb\r\n", "/a\rb"}, // only the CR before the LF is part of the line end
        {"/a/b\r", "/a/b\r"},
        {"\r\n/c/d\r\n", ""},
        {"", ""},
    };
    for (const auto& [content, expected] : cases) {
        TempDir dir;
        WriteFile(dir / "SRCTDY.INI", content);
        EXPECT_EQ(expected, LoadSettings(dir / "SRCTDY.INI")) << content;
    }
}

TEST(SettingsFile, MissingFileGivesNoFolder) {
    TempDir dir;
    EXPECT_EQ("", LoadSettings(dir / "SRCTDY.INI"));
    EXPECT_FALSE(FileExists(dir / "SRCTDY.INI"));
}

TEST(SettingsFile, SaveIntoAMissingFolderFailsQuietly) {
    TempDir dir;
    EXPECT_FALSE(SaveSettings(dir / "gone/SRCTDY.INI", "/src"));
    EXPECT_EQ("", ListFolder(dir.path()));
}

TEST(SettingsFile, ReadOnlyFolderKeepsThePreviousFile) {
    TempDir dir;
    WriteFile(dir / "SRCTDY.INI", "/previous\r\n");
    ASSERT_EQ(0, ::chmod((dir / "SRCTDY.INI").c_str(), 0666));
    ASSERT_EQ(0, ::chmod(dir.path().c_str(), 0555));
    const std::string path = dir / "SRCTDY.INI";

    std::optional<std::string> saved = testing::CaptureAsNobody(
        [&] { return SaveSettings(path, "/new") ? std::string("saved") : "refused"; });

    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ("refused", *saved);
    EXPECT_EQ("/previous\r\n", ReadFile(path));
    EXPECT_EQ("SRCTDY.INI", ListFolder(dir.path()));
}

TEST(SettingsFile, UnreadableFileGivesNoFolder) {
    TempDir dir;
    WriteFile(dir / "SRCTDY.INI", "/secret\r\n");
    ASSERT_EQ(0, ::chmod((dir / "SRCTDY.INI").c_str(), 0000));
    ASSERT_EQ(0, ::chmod(dir.path().c_str(), 0755));
    const std::string path = dir / "SRCTDY.INI";

    std::optional<std::string> loaded =
        testing::CaptureAsNobody([&] { return "[" + LoadSettings(path) + "]"; });

    ASSERT_TRUE(loaded.has_value());
    EXPECT_EQ("[]", *loaded);
}

// Whatever stands in the settings file's place, the start neither waits nor reads without end:
// at most 4,096 bytes, up to the first line end; anything but a regular file is no file.
TEST(SettingsFile, LoadNeverBlocksAndReadsOnlyTheStartOfTheFile) {
    struct Case {
        const char* name;
        std::function<void(const std::string&)> make;
        std::string expected;
    };
    const Case cases[] = {
        {"pipe", [](const std::string& p) { ::mkfifo(p.c_str(), 0644); }, ""},
        {"link to /dev/zero", [](const std::string& p) { ::symlink("/dev/zero", p.c_str()); }, ""},
        {"folder", [](const std::string& p) { ::mkdir(p.c_str(), 0755); }, ""},
        {"100 MB after the first line",
         [](const std::string& p) { WriteFile(p, "/src\r\n" + std::string(100 << 20, 'x')); },
         "/src"},
        {"first line of 4,096 bytes",
         [](const std::string& p) { WriteFile(p, "/" + std::string(4095, 'a') + "\r\n/b\r\n"); },
         "/" + std::string(4095, 'a')},
        {"first line longer than 4,096 bytes",
         [](const std::string& p) { WriteFile(p, std::string(5000, 'a') + "\n"); },
         std::string(4096, 'a')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = dir / "SRCTDY.INI";
        c.make(path);
        const auto loaded = testing::CaptureInChild([&] { return LoadSettings(path); }, 30);
        ASSERT_TRUE(loaded.has_value()) << "the load blocked";
        EXPECT_EQ(c.expected, *loaded);
    }
}

// Saving never goes round a protection, never replaces a link by a plain file, and never
// leaves its temporary file behind.
TEST(SettingsFile, SaveKeepsProtectionModeAndLinks) {
    TempDir dir;
    ::chmod(dir.path().c_str(), 0777);
    const std::string path = dir / "SRCTDY.INI";
    struct Case {
        const char* name;
        std::function<void()> make;
        bool asNobody;
        bool saved;
    };
    const Case cases[] = {
        {"read-only file",
         [&] {
             WriteFile(path, "/previous\r\n");
             ::chmod(path.c_str(), 0444);
         },
         false, false},
        {"another user's file",
         [&] {
             WriteFile(path, "/previous\r\n");
             ::chmod(path.c_str(), 0644);
         },
         true, false},
        {"own file with mode 0600",
         [&] {
             WriteFile(path, "/previous\r\n");
             ::chmod(path.c_str(), 0600);
         },
         false, true},
        {"own file with the set-group-id bit",
         [&] {
             WriteFile(path, "/previous\r\n");
             ::chmod(path.c_str(), 02640);
         },
         false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ::unlink(path.c_str());
        c.make();
        struct stat before;
        ASSERT_EQ(0, ::stat(path.c_str(), &before));
        const auto result =
            c.asNobody
                ? testing::CaptureAsNobody(
                      [&] { return SaveSettings(path, "/new") ? std::string("saved") : "refused"; })
                : std::optional<std::string>(SaveSettings(path, "/new") ? "saved" : "refused");
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(c.saved ? "saved" : "refused", *result);
        EXPECT_EQ(c.saved ? "/new\r\n" : "/previous\r\n", ReadFile(path));
        struct stat after;
        ASSERT_EQ(0, ::stat(path.c_str(), &after));
        EXPECT_EQ(before.st_mode, after.st_mode);
        EXPECT_EQ("SRCTDY.INI", ListFolder(dir.path()));
    }

    // A link, here to a link, is written through to the file it names, and stays a link.
    ::unlink(path.c_str());
    ::mkdir((dir / "real").c_str(), 0755);
    WriteFile(dir / "real/settings", "/previous\r\n");
    ASSERT_EQ(0, ::symlink("real/settings", (dir / "hop").c_str()));
    ASSERT_EQ(0, ::symlink("hop", path.c_str()));
    EXPECT_TRUE(SaveSettings(path, "/new"));
    EXPECT_EQ("/new\r\n", ReadFile(dir / "real/settings"));
    for (const auto& [link, expected] :
         {std::pair<std::string, std::string>{path, "hop"}, {dir / "hop", "real/settings"}}) {
        char target[64] = {};
        ASSERT_GT(::readlink(link.c_str(), target, sizeof target - 1), 0);
        EXPECT_EQ(expected, target);
    }
    EXPECT_EQ("settings", ListFolder(dir / "real"));

    // A folder or a pipe in the file's place is left as it is, with no temporary file beside.
    for (bool folder : {true, false}) {
        TempDir other;
        const std::string p = other / "SRCTDY.INI";
        if (folder)
            ::mkdir(p.c_str(), 0755);
        else
            ::mkfifo(p.c_str(), 0644);
        EXPECT_FALSE(SaveSettings(p, "/new"));
        EXPECT_EQ("SRCTDY.INI", ListFolder(other.path()));
    }
}

// The temporary file goes even when the final rename fails, which the checks before it cannot
// foresee: another user's file, writable by all, in a folder with the sticky bit (as in /tmp)
// may be written but not replaced.
TEST(SettingsFile, FailedRenameLeavesNoTemporaryFile) {
    TempDir dir;
    ASSERT_EQ(0, ::chmod(dir.path().c_str(), 01777));
    const std::string path = dir / "SRCTDY.INI";
    WriteFile(path, "/previous\r\n");
    ASSERT_EQ(0, ::chmod(path.c_str(), 0666));
    const auto saved = testing::CaptureAsNobody(
        [&] { return SaveSettings(path, "/new") ? std::string("saved") : "refused"; });
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ("refused", *saved);
    EXPECT_EQ("/previous\r\n", ReadFile(path));
    EXPECT_EQ("SRCTDY.INI", ListFolder(dir.path()));
}

} // namespace
} // namespace srctdy
