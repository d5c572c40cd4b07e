// Batches that meet read-only files and folders, refused permissions, files that change
// between listing and conversion, and links. Whatever happens, no file is lost or damaged and
// no temporary file is left. Permission failures run as an unprivileged user (uid and gid
// 65534), since root reads and writes through missing permission bits.

#include "batch/batch_run.h"
#include "batch/file_list.h"
#include "engine/format_options.h"
#include "platform/scripted_prompter.h"
#include "platform/string_table.h"
#include "support/nobody_capture.h"
#include "support/reliability_support.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace srctdy {
namespace {

using namespace srctdy::testing;

constexpr uid_t kNobody = 65534;
constexpr const char* kSource = "int x;   \n\n\n{\nreturn;\n}\n";
constexpr const char* kConverted = "int x;\r\n\r\n{\r\n    return;\r\n}\r\n";

// Runs an all-files batch over folder ("*.*" answered Yes) and returns its message boxes.
std::string RunAll(const std::string& folder, bool overwrite,
                   std::vector<std::string> entries = {}) {
    BatchRequest request;
    request.folderPath = folder;
    request.fileType = "*.c";
    request.entries = entries.empty() ? ListFiles(folder, "*.c") : std::move(entries);
    request.allFiles = true;
    request.overwrite = overwrite;
    RecordingPrompter prompter(PromptAnswer::Yes);
    RunBatch(request, FormatOptions{}, ConvertSettings{}, prompter);
    return DescribeCalls(prompter.calls());
}

// The same as the unprivileged user; "(no result)" when the child failed.
std::string RunAllAsNobody(const std::string& folder, bool overwrite) {
    return CaptureAsNobody([&] { return RunAll(folder, overwrite); }).value_or("(no result)");
}

// A folder the unprivileged user can reach, with a.c, b.c and c.c.
class FolderFaults : public ::testing::Test {
protected:
    FolderFaults() {
        SetMode(dir.path(), 0755);
        ::mkdir(src.c_str(), 0755);
        for (const char* name : {"a.c", "b.c", "c.c"})
            WriteFile(src + "/" + name, kSource);
    }
    void giveToNobody(const std::string& path) { SetOwner(path, kNobody, kNobody); }
    void giveAllToNobody() {
        giveToNobody(src);
        for (const char* name : {"a.c", "b.c", "c.c"})
            giveToNobody(src + "/" + name);
    }

    TempDir dir;
    const std::string src = dir / "src";
};

TEST_F(FolderFaults, ReadOnlyFileIsRefusedInOverwriteModeWhoeverRuns) {
    for (bool asNobody : {false, true}) {
        SCOPED_TRACE(asNobody ? "unprivileged" : "root");
        if (asNobody)
            giveAllToNobody();
        WriteFile(src + "/b.c", kSource);
        SetMode(src + "/b.c", 0444);
        const FolderState before = Snapshot(src);
        const std::string calls = asNobody ? RunAllAsNobody(src, true) : RunAll(src, true);
        EXPECT_EQ(Box(FormatText(text::kReadOnlyInput, src + "/b.c")), calls);
        FolderState after = Snapshot(src);
        EXPECT_EQ(before.at("b.c").bytes, after.at("b.c").bytes);
        EXPECT_EQ(before.at("b.c").inode, after.at("b.c").inode);
        EXPECT_EQ(0444u, after.at("b.c").mode);
        EXPECT_EQ(kConverted, after.at("a.c").bytes);
        EXPECT_EQ(kConverted, after.at("c.c").bytes);
        EXPECT_EQ(3u, after.size()); // no temporary file
        for (const char* name : {"a.c", "c.c"})
            WriteFile(src + "/" + name, kSource);
    }
}

TEST_F(FolderFaults, ReadOnlyFileIsConvertedIntoTheSubFolderAndKept) {
    SetMode(src + "/b.c", 0444);
    const FolderState before = Snapshot(src);
    EXPECT_EQ(Box(text::kAllConverted), RunAll(src, false));
    FolderState after = Snapshot(src);
    for (const char* name : {"a.c", "b.c", "c.c"}) {
        EXPECT_EQ(kConverted, after.at(std::string("NewFolder/") + name).bytes) << name;
        after.erase(std::string("NewFolder/") + name);
    }
    after.erase("NewFolder");
    EXPECT_EQ("", Differences(before, after));
}

// Nothing can be created in a read-only folder: every file fails and stays as it was.
TEST_F(FolderFaults, ReadOnlyFolderFailsEveryFileAndChangesNothing) {
    struct Case {
        const char* name;
        bool folderIsNobodys; // the user owns the folder but has taken away its write bit
        bool overwrite;
    };
    const Case cases[] = {
        {"root's folder, overwrite", false, true},
        {"root's folder, sub-folder", false, false},
        {"own folder, overwrite", true, true},
        {"own folder, sub-folder", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const char* name : {"a.c", "b.c", "c.c"})
            SetMode(src + "/" + name, 0666);
        SetOwner(src, c.folderIsNobodys ? kNobody : 0, c.folderIsNobodys ? kNobody : 0);
        SetMode(src, 0555);
        const FolderState before = Snapshot(src);
        const std::string box = Box(text::kOutputOpenError);
        EXPECT_EQ(box + box + box, RunAllAsNobody(src, c.overwrite));
        EXPECT_EQ("", Differences(before, Snapshot(src)));
    }
}

// Root writes through the folder's missing write bit, as every tool run by root does.
TEST_F(FolderFaults, ReadOnlyFolderIsWrittenByRoot) {
    SetMode(src, 0555);
    EXPECT_EQ(Box(text::kAllConverted), RunAll(src, true));
    EXPECT_EQ(kConverted, ReadFile(src + "/b.c"));
    EXPECT_EQ("a.c b.c c.c", ListFolder(src));
}

TEST_F(FolderFaults, DeniedSubFolderFailsEveryFileAndKeepsEarlierOutput) {
    struct Case {
        const char* name;
        mode_t mode;
        uid_t owner;
    };
    const Case cases[] = {
        {"read-only, own", 0555, kNobody},
        {"no access at all, own", 0000, kNobody},
        {"root's, not writable for others", 0755, 0},
        {"root's, searchable only", 0711, 0},
    };
    giveAllToNobody();
    const std::string sub = src + "/NewFolder";
    ::mkdir(sub.c_str(), 0755);
    WriteFile(sub + "/a.c", "earlier output\r\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetOwner(sub, c.owner, c.owner);
        SetMode(sub, c.mode);
        const FolderState before = Snapshot(src);
        const std::string box = Box(text::kOutputOpenError);
        EXPECT_EQ(box + box + box, RunAllAsNobody(src, false));
        EXPECT_EQ("", Differences(before, Snapshot(src)));
    }
}

TEST_F(FolderFaults, UnreadableFileFailsAloneInEitherMode) {
    giveAllToNobody();
    SetOwner(src + "/b.c", 0, 0);
    SetMode(src + "/b.c", 0600);
    for (bool overwrite : {true, false}) {
        SCOPED_TRACE(overwrite ? "overwrite" : "sub-folder");
        WriteFile(src + "/a.c", kSource);
        const std::string before = ReadFile(src + "/b.c");
        EXPECT_EQ(Box(text::kInputOpenError), RunAllAsNobody(src, overwrite));
        EXPECT_EQ(before, ReadFile(src + "/b.c"));
        EXPECT_EQ(kConverted, ReadFile(src + (overwrite ? "/a.c" : "/NewFolder/a.c")));
        EXPECT_EQ(std::vector<std::string>{}, TemporaryFiles(src));
    }
}

// Files that are gone, or are no longer files, when their turn comes fail alone; what stands
// in their place is left exactly as it is.
TEST_F(FolderFaults, EntriesChangedAfterListingFailAlone) {
    for (bool overwrite : {true, false}) {
        SCOPED_TRACE(overwrite ? "overwrite" : "sub-folder");
        TempDir fresh;
        const std::string folder = fresh.path();
        for (const char* name : {"a.c", "dangling.c", "dir.c", "gone.c", "link.c", "z.c"})
            WriteFile(folder + "/" + name, kSource);
        const std::vector<std::string> listed = ListFiles(folder, "*.c");
        ::unlink((folder + "/gone.c").c_str());
        ::unlink((folder + "/dir.c").c_str());
        ::mkdir((folder + "/dir.c").c_str(), 0755);
        WriteFile(folder + "/dir.c/inner.c", kSource);
        ::unlink((folder + "/link.c").c_str());
        ASSERT_EQ(0, ::symlink("dir.c", (folder + "/link.c").c_str()));
        ::unlink((folder + "/dangling.c").c_str());
        ASSERT_EQ(0, ::symlink("nowhere.c", (folder + "/dangling.c").c_str()));
        FolderState before = Snapshot(folder);

        const std::string failed = Box(text::kInputOpenError);
        EXPECT_EQ(failed + failed + failed + failed, RunAll(folder, overwrite, listed));

        FolderState after = Snapshot(folder);
        for (const std::string name : {"a.c", "z.c"}) {
            const std::string result = overwrite ? name : "NewFolder/" + name;
            EXPECT_EQ(kConverted, after.at(result).bytes) << name;
            after.at(result) = before.at(name);
            if (!overwrite)
                before[result] = before.at(name);
        }
        if (!overwrite)
            before["NewFolder"] = after.at("NewFolder");
        EXPECT_EQ("", Differences(before, after, false));
    }
}

// A pipe that took a listed file's place fails that file at once: opening it must not wait
// for a writer that never comes.
TEST(FolderFaultsPipe, PipeInPlaceOfAListedFileFailsAloneWithoutBlocking) {
    for (bool overwrite : {true, false}) {
        SCOPED_TRACE(overwrite ? "overwrite" : "sub-folder");
        TempDir dir;
        WriteFile(dir / "a.c", kSource);
        ASSERT_EQ(0, ::mkfifo((dir / "p.c").c_str(), 0644));
        WriteFile(dir / "z.c", kSource);
        const auto calls = CaptureInChild(
            [&] {
                return RunAll(dir.path(), overwrite, {"a.c", "p.c", "z.c"});
            },
            60);
        ASSERT_TRUE(calls.has_value()) << "the batch blocked on the pipe";
        EXPECT_EQ(Box(text::kInputOpenError), *calls);
        const FolderState after = Snapshot(dir.path());
        EXPECT_EQ('p', after.at("p.c").kind);
        EXPECT_EQ(kConverted, after.at(overwrite ? "z.c" : "NewFolder/z.c").bytes);
        EXPECT_EQ(overwrite ? 3u : 6u, after.size()); // no temporary file, no output for p.c
    }
}

// A link stays a link, and the file it finally names receives the converted text with its
// own mode, whatever the chain of links and wherever the file lies.
TEST_F(FolderFaults, LinksInOverwriteModeConvertTheirTargets) {
    const std::string other = dir / "other";
    ::mkdir(other.c_str(), 0755);
    WriteFile(other + "/t1.c", kSource);
    WriteFile(other + "/t2.c", kSource);
    WriteFile(other + "/t3.c", kSource);
    SetMode(other + "/t2.c", 0604);
    ASSERT_EQ(0, ::symlink("../other/t1.c", (src + "/rel.c").c_str()));
    ASSERT_EQ(0, ::symlink((other + "/t2.c").c_str(), (src + "/abs.c").c_str()));
    ASSERT_EQ(0, ::symlink("t3.c", (other + "/hop.c").c_str()));
    ASSERT_EQ(0, ::symlink("../other/hop.c", (src + "/chain.c").c_str()));
    const FolderState before = Snapshot(dir.path());

    EXPECT_EQ(Box(text::kAllConverted), RunAll(src, true));

    FolderState after = Snapshot(dir.path());
    for (const char* name :
         {"other/t1.c", "other/t2.c", "other/t3.c", "src/a.c", "src/b.c", "src/c.c"}) {
        EXPECT_EQ(kConverted, after.at(name).bytes) << name;
        EXPECT_EQ(before.at(name).mode, after.at(name).mode) << name;
        after.at(name) = before.at(name);
    }
    EXPECT_EQ("", Differences(before, after, false)); // links as they were, nothing added
}

TEST_F(FolderFaults, LinksThatCannotBeConvertedAreLeftAlone) {
    const std::string other = dir / "other";
    ::mkdir(other.c_str(), 0755);
    WriteFile(other + "/ro.c", kSource);
    SetMode(other + "/ro.c", 0444);
    WriteFile(other + "/locked.c", kSource);
    giveToNobody(other + "/locked.c"); // writable file, folder not writable for the user
    ::unlink((src + "/a.c").c_str());
    ::unlink((src + "/b.c").c_str());
    ::unlink((src + "/c.c").c_str());
    ASSERT_EQ(0, ::symlink("../other/ro.c", (src + "/ro.c").c_str()));
    ASSERT_EQ(0, ::symlink("../other/locked.c", (src + "/locked.c").c_str()));
    ASSERT_EQ(0, ::symlink("loop.c", (src + "/loop.c").c_str()));
    giveToNobody(src);
    const FolderState before = Snapshot(dir.path());

    // ListFiles shows only links to files; the loop is tried as if it had been listed.
    const std::vector<std::string> entries = {"locked.c", "loop.c", "ro.c"};
    const std::string calls =
        CaptureAsNobody([&] { return RunAll(src, true, entries); }).value_or("(no result)");
    EXPECT_EQ(Box(text::kOutputOpenError) + Box(text::kInputOpenError) +
                  Box(FormatText(text::kReadOnlyInput, src + "/ro.c")),
              calls);
    EXPECT_EQ("", Differences(before, Snapshot(dir.path())));
}

// Overwrite mode writes a new file and renames it over the name: a second hard link to the
// old file keeps the old text. Writing in place would change both names, but a failure part
// way would then damage the only copy.
TEST_F(FolderFaults, HardLinkedInputGetsANewFileAndTheOtherLinkKeepsTheOldText) {
    const std::string other = dir / "other";
    ::mkdir(other.c_str(), 0755);
    ASSERT_EQ(0, ::link((src + "/a.c").c_str(), (other + "/a-link.c").c_str()));
    ASSERT_EQ(0, ::link((src + "/b.c").c_str(), (src + "/b-link.c").c_str()));

    EXPECT_EQ(Box(text::kAllConverted), RunAll(src, true));

    EXPECT_EQ(kSource, ReadFile(other + "/a-link.c"));
    EXPECT_EQ(kConverted, ReadFile(src + "/a.c"));
    // Both listed names of one file are converted, each into a file of its own.
    EXPECT_EQ(kConverted, ReadFile(src + "/b.c"));
    EXPECT_EQ(kConverted, ReadFile(src + "/b-link.c"));
    const FolderState after = Snapshot(dir.path());
    EXPECT_NE(after.at("src/a.c").inode, after.at("other/a-link.c").inode);
    EXPECT_NE(after.at("src/b.c").inode, after.at("src/b-link.c").inode);
    EXPECT_EQ(std::vector<std::string>{}, TemporaryFiles(dir.path()));
}

} // namespace
} // namespace srctdy
