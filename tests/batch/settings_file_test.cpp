#include "app/settings_file.h"

#include "support/nobody_capture.h"
#include "support/test_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

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

} // namespace
} // namespace srctdy
