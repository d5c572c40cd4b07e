#include "batch/folder_navigation.h"

#include "app/current_folder.h"
#include "platform/scripted_desktop.h"
#include "platform/scripted_prompter.h"
#include "platform/string_table.h"
#include "support/test_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <cstdlib>

namespace srctdy {
namespace {

using testing::TempDir;

auto Fail() {
    return [](const std::string& m) { ADD_FAILURE() << m; };
}

TEST(FolderNavigation, NormalizesPathsOnTheirText) {
    const std::pair<const char*, const char*> cases[] = {
        {"/a/b", "/a/b"},       {"/a/b/", "/a/b"}, {"//a///b", "/a/b"},  {"/a/./b/.", "/a/b"},
        {"/a/b/../c", "/a/c"},  {"/a/../..", "/"}, {"/", "/"},           {"rel/../..", ".."},
        {"rel/..", "."},        {"", ""},          {"/a/日本/..", "/a"}, {"../../a", "../../a"},
        {"a/../../b/..", ".."},
    };
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(expected, NormalizePath(path)) << path;
}

TEST(FolderNavigation, UpGoesToTheParentAndStopsAtTheRoot) {
    const std::pair<const char*, const char*> cases[] = {
        {"/a/b", "/a"},
        {"/a/b/", "/a"},
        {"/a", "/"},
        {"/", "/"},
        {"", ""}, // nothing chosen: nothing to go up from
        {"/no/such/folder", "/no/such"},
    };
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(expected, FolderUp(path)) << path;
}

TEST(FolderNavigation, UpPressedRepeatedlyEndsAtTheRoot) {
    std::string folder = "/x/y/z";
    for (int i = 0; i < 5; ++i)
        folder = FolderUp(folder);
    EXPECT_EQ("/", folder);
}

TEST(FolderNavigation, JoinsWithOneSlash) {
    EXPECT_EQ("/a/b.c", JoinPath("/a", "b.c"));
    EXPECT_EQ("/b.c", JoinPath("/", "b.c"));
    EXPECT_EQ("/a/b.c", JoinPath("/a/", "b.c"));
    EXPECT_EQ("b.c", JoinPath("", "b.c"));
}

class FolderDownTest : public ::testing::Test {
protected:
    FolderDownTest() {
        ::mkdir((dir / "NewFolder").c_str(), 0755);
        ::mkdir((dir / "sub").c_str(), 0755);
        ::mkdir((dir / "sub/dir").c_str(), 0755);
        testing::WriteFile(dir / "file.c", "");
    }
    TempDir dir;
};

TEST_F(FolderDownTest, EntersAnExistingSubFolder) {
    const std::pair<std::string, std::string> cases[] = {
        {"NewFolder", dir / "NewFolder"}, {"sub/dir", dir / "sub/dir"}, // two levels in one step
        {"sub/dir/", dir / "sub/dir"},    {"sub/../NewFolder", dir / "NewFolder"},
        {dir / "sub", dir / "sub"}, // an absolute name is taken as it is
    };
    for (const auto& [name, expected] : cases) {
        ScriptedPrompter prompter(Fail());
        EXPECT_EQ(expected, FolderDown(dir.path(), name, prompter)) << name;
    }
    ScriptedPrompter prompter(Fail());
    EXPECT_EQ(dir / "NewFolder", FolderDown(dir.path() + "/", "NewFolder", prompter));
}

TEST_F(FolderDownTest, MissingSubFolderIsReportedAndChangesNothing) {
    const std::pair<std::string, std::string> cases[] = {
        {dir.path(), "Missing"},
        {dir.path(), ""},
        {dir.path(), "file.c"}, // a file, not a folder
        {dir / "gone", "NewFolder"},
        {"", "NewFolder"}, // nothing chosen: nothing below it,
        {"", "."},         // not even the current directory
    };
    for (const auto& [folder, name] : cases) {
        ScriptedPrompter prompter(Fail());
        prompter.expectMessage(text::kNoSubFolder);
        EXPECT_EQ(std::nullopt, FolderDown(folder, name, prompter)) << folder << " " << name;
        EXPECT_TRUE(prompter.allUsed());
    }
}

TEST_F(FolderDownTest, DownThenUpComesBack) {
    ScriptedPrompter prompter(Fail());
    std::optional<std::string> down = FolderDown(dir.path(), "NewFolder", prompter);
    ASSERT_TRUE(down.has_value());
    EXPECT_EQ(dir.path(), FolderUp(*down));
}

TEST(FolderNavigation, BrowseStartsAtTheFolderWithItsTitle) {
    struct Case {
        std::string folder;
        std::optional<std::string> choice;
        std::string expected;
    };
    const Case cases[] = {
        {"/start", "/chosen/Mixed Case", "/chosen/Mixed Case"},
        {"/start", std::nullopt, "/start"}, // cancelled
        {"/start", "", "/start"},           // no file-system path
        {"", "/chosen", "/chosen"},         // nothing chosen yet: no start folder
    };
    for (const Case& c : cases) {
        ScriptedDesktop desktop(Fail());
        desktop.expectPick(ScriptedDesktop::Kind::PickFolder, c.choice);

        EXPECT_EQ(c.expected, BrowseFolder(c.folder, desktop));

        ASSERT_EQ(1u, desktop.calls().size());
        EXPECT_EQ(c.folder, desktop.calls()[0].target);
        EXPECT_EQ(text::kBrowseFolderTitle, desktop.calls()[0].title);
    }
}

// The one place that changes the current directory; restores it afterwards.
TEST(CurrentFolder, FollowsAnExistingFolderAndIgnoresOthers) {
    const std::string before = CurrentFolder();
    ASSERT_FALSE(before.empty());
    TempDir dir;
    char resolved[PATH_MAX];
    ASSERT_NE(nullptr, ::realpath(dir.path().c_str(), resolved));

    FollowFolder(dir.path());
    EXPECT_EQ(resolved, CurrentFolder());
    FollowFolder(dir / "missing");
    EXPECT_EQ(resolved, CurrentFolder());
    FollowFolder("");
    EXPECT_EQ(resolved, CurrentFolder());

    FollowFolder(before);
    EXPECT_EQ(before, CurrentFolder());
}

} // namespace
} // namespace srctdy
