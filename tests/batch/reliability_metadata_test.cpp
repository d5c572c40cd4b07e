// What overwrite mode keeps of a file besides its name: its permission bits (set-id and sticky
// bits included) and, when root runs it, its owner and group. It is a new file, so it has new
// timestamps and no extended attributes. A file that converts to itself is not touched.

#include "batch/batch_run.h"
#include "batch/file_list.h"
#include "engine/format_options.h"
#include "platform/scripted_prompter.h"
#include "platform/string_table.h"
#include "support/nobody_capture.h"
#include "support/reliability_support.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>

namespace srctdy {
namespace {

using namespace srctdy::testing;

constexpr const char* kSource = "int x;   \n{\nreturn;\n}\n";
constexpr const char* kConverted = "int x;\r\n{\r\n    return;\r\n}\r\n";
constexpr time_t kLongAgo = 978307200; // 2001-01-01

bool ConvertInPlace(const std::string& folder, const std::string& name) {
    BatchRequest request;
    request.folderPath = folder;
    request.entries = {name};
    request.selectedIndex = 0;
    request.overwrite = true;
    RecordingPrompter prompter;
    return RunBatch(request, FormatOptions{}, ConvertSettings{}, prompter) ==
           BatchOutcome::Converted;
}

void SetTimes(const std::string& path, time_t when) {
    const timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(0, ::utimensat(AT_FDCWD, path.c_str(), times, 0));
}

struct stat StatOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(0, ::stat(path.c_str(), &st)) << path;
    return st;
}

TEST(OverwriteMetadata, RootKeepsModeOwnerAndGroupAndGivesNewTimestamps) {
    struct Case {
        mode_t mode;
        uid_t uid;
        gid_t gid;
    };
    const Case cases[] = {{0640, 65534, 65534}, {0664, 0, 100}, {0600, 1000, 0},
                          {0755, 0, 0},         {0222, 0, 0},   {0666, 12345, 54321}};
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << std::oct << c.mode << std::dec << " " << c.uid << ":" << c.gid);
        WriteFile(dir / "f.c", kSource);
        SetOwner(dir / "f.c", c.uid, c.gid);
        SetMode(dir / "f.c", c.mode);
        SetTimes(dir / "f.c", kLongAgo);
        const ino_t inode = StatOf(dir / "f.c").st_ino;
        ASSERT_TRUE(ConvertInPlace(dir.path(), "f.c"));
        EXPECT_EQ(kConverted, ReadFile(dir / "f.c"));
        const struct stat st = StatOf(dir / "f.c");
        EXPECT_EQ(c.mode, st.st_mode & 07777);
        EXPECT_EQ(c.uid, st.st_uid);
        EXPECT_EQ(c.gid, st.st_gid);
        EXPECT_NE(inode, st.st_ino);
        EXPECT_GT(st.st_mtime, kLongAgo);
        ::unlink((dir / "f.c").c_str());
    }
}

TEST(OverwriteMetadata, UnprivilegedUserKeepsModeAndBecomesOwner) {
    TempDir dir;
    SetMode(dir.path(), 0755);
    SetOwner(dir.path(), 65534, 65534);
    WriteFile(dir / "own.c", kSource);
    SetOwner(dir / "own.c", 65534, 65534);
    SetMode(dir / "own.c", 0604);
    // Someone else's file that the folder lets the user replace, as rename(2) allows.
    WriteFile(dir / "root.c", kSource);
    SetMode(dir / "root.c", 0646);
    const auto result = CaptureAsNobody([&] {
        return std::string(ConvertInPlace(dir.path(), "own.c") ? "own " : "") +
               (ConvertInPlace(dir.path(), "root.c") ? "root" : "");
    });
    EXPECT_EQ("own root", result.value_or("(no result)"));
    for (const char* name : {"own.c", "root.c"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(kConverted, ReadFile(dir / name));
        EXPECT_EQ(65534u, StatOf(dir / name).st_uid);
    }
    EXPECT_EQ(0604u, StatOf(dir / "own.c").st_mode & 07777);
    EXPECT_EQ(0646u, StatOf(dir / "root.c").st_mode & 07777);
}

// Changing the owner clears the set-id bits: the mode must be set after it.
TEST(OverwriteMetadata, SetIdAndStickyBitsAreKept) {
    TempDir dir;
    for (mode_t mode : {04755, 02755, 01644, 06750, 07777}) {
        SCOPED_TRACE(::testing::Message() << std::oct << mode);
        WriteFile(dir / "s.c", kSource);
        SetOwner(dir / "s.c", 65534, 65534);
        SetMode(dir / "s.c", mode);
        ASSERT_TRUE(ConvertInPlace(dir.path(), "s.c"));
        EXPECT_EQ(kConverted, ReadFile(dir / "s.c"));
        EXPECT_EQ(mode, StatOf(dir / "s.c").st_mode & 07777);
        ::unlink((dir / "s.c").c_str());
    }
}

TEST(OverwriteMetadata, ExtendedAttributesAreNotCopied) {
    TempDir dir;
    WriteFile(dir / "x.c", kSource);
    if (::setxattr((dir / "x.c").c_str(), "user.srctdy", "1", 1, 0) != 0 && errno == ENOTSUP)
        GTEST_SKIP() << "the temporary folder's file system has no user extended attributes";
    ASSERT_EQ(1, ::getxattr((dir / "x.c").c_str(), "user.srctdy", nullptr, 0));
    ASSERT_TRUE(ConvertInPlace(dir.path(), "x.c"));
    EXPECT_EQ(kConverted, ReadFile(dir / "x.c"));
    EXPECT_EQ(0, ::listxattr((dir / "x.c").c_str(), nullptr, 0));
}

TEST(OverwriteMetadata, FileThatConvertsToItselfIsNotTouched) {
    TempDir dir;
    WriteFile(dir / "tidy.c", kConverted);
    SetMode(dir / "tidy.c", 0640);
    SetTimes(dir / "tidy.c", kLongAgo);
    const bool attributes = ::setxattr((dir / "tidy.c").c_str(), "user.srctdy", "1", 1, 0) == 0;
    const struct stat before = StatOf(dir / "tidy.c");
    ASSERT_TRUE(ConvertInPlace(dir.path(), "tidy.c"));
    const struct stat after = StatOf(dir / "tidy.c");
    EXPECT_EQ(kConverted, ReadFile(dir / "tidy.c"));
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(kLongAgo, after.st_mtime);
    if (attributes) {
        EXPECT_EQ(1, ::getxattr((dir / "tidy.c").c_str(), "user.srctdy", nullptr, 0));
    }
    EXPECT_EQ("tidy.c", ListFolder(dir.path()));
}

} // namespace
} // namespace srctdy
