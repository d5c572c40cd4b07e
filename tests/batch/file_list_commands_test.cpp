#include "batch/file_list_commands.h"

#include "platform/scripted_desktop.h"
#include "platform/scripted_prompter.h"
#include "platform/string_table.h"
#include "support/test_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace srctdy {
namespace {

using testing::TempDir;
using testing::WriteFile;

auto Fail() {
    return [](const std::string& m) { ADD_FAILURE() << m; };
}

TEST(FileListCommands, RefreshListsTheFolderAndNothingWithoutOne) {
    TempDir dir;
    for (const char* name : {"b.c", "A.c", "c.cpp"})
        WriteFile(dir / name, "");
    ASSERT_EQ(0, ::mkdir((dir / "src.c").c_str(), 0755));

    EXPECT_EQ((std::vector<std::string>{"A.c", "b.c"}), RefreshFileList(dir.path(), "*.c"));
    EXPECT_EQ((std::vector<std::string>{"A.c", "b.c", "c.cpp"}),
              RefreshFileList(dir.path(), "*.*"));
    // The tests run in a folder full of files; an empty path must not list it.
    EXPECT_EQ(std::vector<std::string>{}, RefreshFileList("", "*.*"));
}

TEST(FileListCommands, DoubleClickOpensTheEntryInTheFolder) {
    struct Case {
        std::string folder;
        std::string entry;
        bool desktopOpens;
        bool expectOpen;
        std::string message; // "" none
        PromptIcon icon;
    };
    const Case cases[] = {
        {"/src", "main.c", true, true, "", PromptIcon::Exclamation},
        {"/", "main.c", true, true, "", PromptIcon::Exclamation},
        {"/src", "main.c", false, true, std::string(text::kEditorFailed), PromptIcon::Exclamation},
        {"", "main.c", true, false, std::string(text::kNoFolder), PromptIcon::Stop},
        {"/src", "", true, false, "", PromptIcon::Exclamation}, // nothing selected
    };
    for (const Case& c : cases) {
        ScriptedDesktop desktop(Fail());
        ScriptedPrompter prompter(Fail());
        if (c.expectOpen)
            desktop.expectOpen(ScriptedDesktop::Kind::OpenDocument, c.desktopOpens);
        if (!c.message.empty())
            prompter.expectMessage(c.message, c.icon);

        EXPECT_EQ(c.expectOpen && c.desktopOpens,
                  OpenListedFile(c.folder, c.entry, desktop, prompter));

        EXPECT_TRUE(desktop.allUsed());
        EXPECT_TRUE(prompter.allUsed());
        if (c.expectOpen) {
            EXPECT_EQ(c.folder == "/" ? "/main.c" : "/src/main.c", desktop.calls().at(0).target);
        }
    }
}

} // namespace
} // namespace srctdy
