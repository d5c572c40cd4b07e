// The desktop program's starting options for a folder.
#include "config/option_resolver.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace srctdy {
namespace {

using testing::TempDir;
using testing::WriteFile;

TEST(FolderOptions, FolderConfigurationOverTheStartupDefaults) {
    TempDir dir;
    std::filesystem::create_directories(dir / "proj/src");
    WriteFile(dir / ".srctdy.toml", ""); // nothing above the temporary folder takes part
    std::filesystem::create_directories(dir / "proj/src/.srctdy.toml"); // a folder: no file
    FormatOptions startup = StartupFormatOptions("/start");
    FormatOptions options;
    ConvertSettings settings;
    std::string from;

    // Without a file of its own the folder keeps the start-up defaults.
    EXPECT_EQ("", LoadFolderOptions(dir / "proj/src", startup, options, settings, from));
    EXPECT_EQ("/start/FileTitle.txt", options.templatePath);
    EXPECT_EQ(dir / ".srctdy.toml", from);

    WriteFile(dir / "proj/.srctdy.toml",
              "indent = \"tab\"\ncomments = \"line\"\ndelete-empty = true\ntrim = false\n"
              "template = \"head.txt\"\n");
    EXPECT_EQ("", LoadFolderOptions(dir / "proj/src", startup, options, settings, from));
    EXPECT_EQ(dir / "proj/.srctdy.toml", from);
    EXPECT_EQ(1, options.commentMode);
    EXPECT_EQ(1, options.deleteEmptyLines);
    EXPECT_EQ(0, options.collapseEmptyLines);
    EXPECT_EQ(0, options.trimBlanks);
    EXPECT_EQ(1, options.fullWidthToHalfWidth); // untouched keys keep the start-up value
    EXPECT_EQ(1, options.insertHeaderTemplate);
    EXPECT_EQ(std::filesystem::canonical(dir.path()).string() + "/proj/head.txt",
              options.templatePath);
    EXPECT_TRUE(settings.indentOn);
    EXPECT_EQ(3, settings.indentSizeIndex);
    WriteFile(dir / "proj/.srctdy.toml", "indent = \"off\"\n");
    EXPECT_EQ("", LoadFolderOptions(dir / "proj/src", startup, options, settings, from));
    EXPECT_FALSE(settings.indentOn);

    // A broken file: the error, and the start-up defaults.
    WriteFile(dir / "proj/.srctdy.toml", "comments = \"line\"\nindent = 5\n");
    std::string error = LoadFolderOptions(dir / "proj/src", startup, options, settings, from);
    EXPECT_EQ(dir / "proj/.srctdy.toml:2: indent must be 2, 4, 8, tab or off", error);
    EXPECT_EQ(0, options.commentMode);
    EXPECT_EQ(1, settings.indentSizeIndex);
}

} // namespace
} // namespace srctdy
