#include "batch/display_name.h"
#include "batch/file_list.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace srctdy {
namespace {

using testing::TempDir;
using testing::WriteFile;

std::string Joined(const std::vector<std::string>& names) {
    std::string out;
    for (const auto& n : names)
        out += (out.empty() ? "" : " ") + n;
    return out;
}

TEST(FileList, DisplayNamesDecodeEachComponentAsUtf8OrCodePage932) {
    const struct {
        const char* expected;
        const char* bytes;
    } cases[] = {
        {"sjis_テスト.c", "sjis_\x83\x65\x83\x58\x83\x67.c"},
        {"utf8_テスト.c", "utf8_テスト.c"},
        {"/home/テスト/表.c", "/home/\x83\x65\x83\x58\x83\x67/表.c"}, // mixed components
        {"ｱ.c", "\xB1.c"},      // a half-width kana byte: not UTF-8
        {"a\xFF.c", "a\xFF.c"}, // neither: bytes, for the display to replace
        {"plain/a.c", "plain/a.c"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, DisplayName(c.bytes)) << c.bytes;
}

TEST(FileList, ListsMatchingFilesOnlySortedIgnoringCase) {
    TempDir dir;
    for (const char* name : {"b.c", "A.c", "c.cpp", "D.C", ".hidden.c", "noext", "x.h"})
        WriteFile(dir / name, "");
    ::mkdir((dir / "src.c").c_str(), 0755);
    ::mkfifo((dir / "pipe.c").c_str(), 0644);
    ASSERT_EQ(0, ::symlink("b.c", (dir / "link.c").c_str()));
    ASSERT_EQ(0, ::symlink("src.c", (dir / "dirlink.c").c_str()));

    EXPECT_EQ(".hidden.c A.c b.c D.C link.c", Joined(ListFiles(dir.path(), "*.c")));
    EXPECT_EQ("c.cpp", Joined(ListFiles(dir.path(), "*.cpp")));
    EXPECT_EQ(".hidden.c A.c b.c c.cpp D.C link.c noext x.h", Joined(ListFiles(dir.path(), "*.*")));
    EXPECT_EQ("", Joined(ListFiles(dir / "missing", "*.c")));
}

struct MatchCase {
    const char* name;
    const char* pattern;
    bool matches;
};

TEST(FileList, MatchesWildcardsLikeTheOriginalPlatform) {
    const MatchCase cases[] = {
        {"main.c", "*.c", true},    {"MAIN.C", "*.c", true},     {"main.cpp", "*.c", false},
        {"main.c", "*.cpp", false}, {"a.cpp", "*.CPP", true},    {"noext", "*.*", true},
        {"a.b.c", "*.*", true},     {"a.c.bak", "*.c", false},   {"ab.h", "?b.h", true},
        {"b.h", "?b.h", false},     {"foo", "foo.*", true},      {"x.c", "*", true},
        {".c", "*.c", true},        {"main.c", "main.c*", true}, {"main.c", "*.c**", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.matches, MatchesFileType(c.name, c.pattern)) << c.name << " " << c.pattern;
}

TEST(FileList, OrderFoldsCaseAndBreaksTiesByBytes) {
    std::vector<std::string> names = {"b.c", "Z.c", "B.c", "a_.c", "A.c", "a.c", "_z.c"};
    std::sort(names.begin(), names.end(),
              [](const auto& a, const auto& b) { return FileNameLess(a, b); });
    // Letters compare as lower case, so "_" (0x5F) comes before every letter, Z included.
    EXPECT_EQ("_z.c A.c a.c a_.c B.c b.c Z.c", Joined(names));
}

} // namespace
} // namespace srctdy
