// Batches that meet read-only files and folders, refused permissions, files that change
// between listing and conversion, and links. Whatever happens, no file is lost or damaged and
// no temporary file is left. Permission failures run as an unprivileged user (uid and gid
// 65534), since root reads and writes through missing permission bits.

#include "batch/batch_run.h"
#include "batch/file_list.h"
#include "engine/convert_file.h"
#include "engine/format_options.h"
#include "engine/line_writer.h"
#include "platform/scripted_prompter.h"
#include "platform/string_table.h"
#include "support/nobody_capture.h"
#include "support/reliability_support.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

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
// own mode, whatever the chain of links, as long as it lies inside the chosen folder. A link
// out of the folder (a tree from elsewhere may carry one to any file of the user's) fails
// its file, in either mode, and the file it names is not touched.
// A plain file reached through a folder that is a link out of the folder is outside it too.
TEST_F(FolderFaults, FileBehindAFolderLinkedOutIsRefused) {
    for (bool overwrite : {true, false}) {
        SCOPED_TRACE(overwrite ? "overwrite" : "sub-folder");
        TempDir fresh;
        const std::string folder = fresh / "src";
        ::mkdir(folder.c_str(), 0755);
        ::mkdir((fresh / "away").c_str(), 0755);
        WriteFile(fresh / "away/x.c", kSource);
        WriteFile(folder + "/a.c", kSource);
        ASSERT_EQ(0, ::symlink("../away", (folder + "/there").c_str()));
        EXPECT_EQ(Box(FormatText(text::kOutsideFolder, folder + "/there/x.c")),
                  RunAll(folder, overwrite, {"a.c", "there/x.c"}));
        EXPECT_EQ(kSource, ReadFile(fresh / "away/x.c"));
        EXPECT_FALSE(FileExists(fresh / "away/NewFolder"));
    }
}

TEST_F(FolderFaults, LinksConvertTheirTargetsInsideTheFolderOnly) {
    for (bool overwrite : {true, false}) {
        SCOPED_TRACE(overwrite ? "overwrite" : "sub-folder");
        TempDir fresh;
        const std::string top = fresh.path();
        const std::string folder = top + "/src";
        const std::string other = folder + "/other";
        ::mkdir(folder.c_str(), 0755);
        ::mkdir(other.c_str(), 0755);
        WriteFile(folder + "/a.c", kSource);
        for (const char* name : {"t1.c", "t2.c", "t3.c"})
            WriteFile(other + "/" + name, kSource);
        SetMode(other + "/t2.c", 0604);
        WriteFile(top + "/outside.txt", kSource);
        ASSERT_EQ(0, ::symlink("other/t1.c", (folder + "/rel.c").c_str()));
        ASSERT_EQ(0, ::symlink((other + "/t2.c").c_str(), (folder + "/abs.c").c_str()));
        ASSERT_EQ(0, ::symlink("t3.c", (other + "/hop.c").c_str()));
        ASSERT_EQ(0, ::symlink("other/hop.c", (folder + "/chain.c").c_str()));
        ASSERT_EQ(0, ::symlink("../outside.txt", (folder + "/evil.c").c_str()));
        ASSERT_EQ(0, ::symlink((top + "/outside.txt").c_str(), (folder + "/evil2.c").c_str()));
        ASSERT_EQ(0, ::symlink("other/../../outside.txt", (folder + "/evil3.c").c_str()));
        const FolderState before = Snapshot(top);

        std::string expected;
        for (const char* name : {"evil.c", "evil2.c", "evil3.c"})
            expected += Box(FormatText(text::kOutsideFolder, folder + "/" + name));
        EXPECT_EQ(expected, RunAll(folder, overwrite));

        FolderState after = Snapshot(top);
        EXPECT_EQ(kSource, after.at("outside.txt").bytes);
        if (overwrite) {
            for (const char* name : {"src/other/t1.c", "src/other/t2.c", "src/other/t3.c"}) {
                EXPECT_EQ(kConverted, after.at(name).bytes) << name;
                EXPECT_EQ(before.at(name).mode, after.at(name).mode) << name;
                after.at(name) = before.at(name);
            }
            after.at("src/a.c") = before.at("src/a.c");
        } else {
            EXPECT_EQ("a.c abs.c chain.c rel.c", ListFolder(folder + "/NewFolder"));
            for (const char* name : {"a.c", "abs.c", "chain.c", "rel.c"})
                EXPECT_EQ(kConverted, ReadFile(folder + "/NewFolder/" + name)) << name;
            for (const std::string name : {"", "/a.c", "/abs.c", "/chain.c", "/rel.c"})
                after.erase("src/NewFolder" + name);
        }
        EXPECT_EQ("", Differences(before, after, false)); // links as they were, nothing added
    }
}

// A sub-folder that is a link out of the chosen folder fails every file, and nothing is
// written through it.
TEST_F(FolderFaults, SubFolderLinkOutOfTheFolderFailsEveryFile) {
    const std::string outside = dir / "outside";
    ::mkdir(outside.c_str(), 0755);
    ASSERT_EQ(0, ::symlink("../outside", (src + "/NewFolder").c_str()));
    const FolderState before = Snapshot(dir.path());
    std::string expected;
    for (const char* name : {"a.c", "b.c", "c.c"})
        expected += Box(FormatText(text::kOutsideFolder, src + "/" + name));
    EXPECT_EQ(expected, RunAll(src, false));
    EXPECT_EQ("", Differences(before, Snapshot(dir.path())));
}

TEST_F(FolderFaults, LinksThatCannotBeConvertedAreLeftAlone) {
    const std::string other = src + "/other";
    ::mkdir(other.c_str(), 0755);
    WriteFile(other + "/ro.c", kSource);
    SetMode(other + "/ro.c", 0444);
    WriteFile(other + "/locked.c", kSource);
    giveToNobody(other + "/locked.c"); // writable file, folder not writable for the user
    ::unlink((src + "/a.c").c_str());
    ::unlink((src + "/b.c").c_str());
    ::unlink((src + "/c.c").c_str());
    ASSERT_EQ(0, ::symlink("other/ro.c", (src + "/ro.c").c_str()));
    ASSERT_EQ(0, ::symlink("other/locked.c", (src + "/locked.c").c_str()));
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

namespace srctdy {
namespace {

using namespace srctdy::testing;

// A sub-folder name must keep the output below each file's folder; any other name stops the
// run before anything is created or converted.
TEST(SubFolderNames, NamesThatLeaveTheFolderAreRefusedWhenTheRunStarts) {
    const std::pair<const char*, bool> names[] = {
        {"NewFolder", true}, {"a/b", true}, {"...", true},     {".hidden", true}, {"..", false},
        {"../x", false},     {".", false},  {"./x", false},    {"a/..", false},   {"a/../b", false},
        {"a//b", false},     {"a/", false}, {"/tmp/x", false}, {"/", false},      {"", false},
    };
    for (const auto& [name, valid] : names) {
        SCOPED_TRACE(name);
        EXPECT_EQ(valid, IsValidSubFolderName(name));
        TempDir dir;
        ::mkdir((dir / "src").c_str(), 0755);
        WriteFile(dir / "src/a.c", kSource);
        WriteFile(dir / "a.c", "unrelated, read-only\n");
        SetMode(dir / "a.c", 0444);
        const FolderState before = Snapshot(dir.path());
        BatchRequest request;
        request.folderPath = dir / "src";
        request.entries = {"a.c"};
        request.selectedIndex = 0;
        ConvertSettings settings;
        settings.subFolderName = name;
        RecordingPrompter prompter;
        const BatchOutcome outcome = RunBatch(request, FormatOptions{}, settings, prompter);
        FolderState after = Snapshot(dir.path());
        if (valid) {
            EXPECT_EQ(BatchOutcome::Converted, outcome);
            EXPECT_EQ(kConverted, ReadFile(dir / "src/" + name + "/a.c"));
            continue;
        }
        EXPECT_EQ(BatchOutcome::BadSubFolder, outcome);
        EXPECT_EQ(Box(*name ? text::kBadSubFolderName : text::kEmptySubFolderName),
                  DescribeCalls(prompter.calls()));
        EXPECT_EQ("", Differences(before, after));
        // Overwrite mode has no use for the name.
        request.overwrite = true;
        EXPECT_EQ(BatchOutcome::Converted, RunBatch(request, FormatOptions{}, settings, prompter));
    }
}

// A sub-folder that links lead back to the file's own folder or above it would replace the
// sources without overwrite mode's care (read-only files, modes, owners): each file fails.
TEST(SubFolderNames, SubFolderThatIsTheSourceFolderOrAboveFailsEachFile) {
    for (const char* target : {".", "..", "../..", "/"}) {
        SCOPED_TRACE(target);
        TempDir dir;
        const std::string src = dir / "top/src";
        std::filesystem::create_directories(src);
        WriteFile(src + "/a.c", kSource);
        WriteFile(src + "/b.c", kSource);
        SetMode(src + "/b.c", 0444);
        ASSERT_EQ(0, ::symlink(target, (src + "/NewFolder").c_str()));
        const FolderState before = Snapshot(dir.path());
        BatchRequest request;
        request.folderPath = src;
        request.entries = {"a.c", "b.c"};
        request.allFiles = true;
        RecordingPrompter prompter;
        EXPECT_EQ(BatchOutcome::Failed, RunBatch(request, FormatOptions{}, {}, prompter));
        // Links to the folder or above lead out of nothing: the folder check speaks first.
        const std::string_view message =
            std::string_view(target) == "." ? text::kSubFolderIsSource : text::kOutsideFolder;
        EXPECT_EQ(Box(FormatText(message, src + "/a.c")) + Box(FormatText(message, src + "/b.c")),
                  DescribeCalls(prompter.calls()));
        EXPECT_EQ("", Differences(before, Snapshot(dir.path())));
    }
}

// Saves that come while a file is converted (an editor renaming its new text into place, or
// writing over the file) must win: the conversion's output is not placed, and the file fails.
class ChangingPrompter : public RecordingPrompter {
public:
    explicit ChangingPrompter(std::function<void()> change) : change_(std::move(change)) {}
    PromptAnswer ask(std::string_view text, PromptIcon icon, PromptButtons buttons) override {
        if (change_)
            std::exchange(change_, nullptr)();
        return RecordingPrompter::ask(text, icon, buttons);
    }

private:
    std::function<void()> change_;
};

TEST(ChangedWhileConverting, AnEditSavedDuringTheConversionIsKept) {
    // The missing template's message comes after the file has been opened and read: the
    // prompter changes the file right then.
    const std::string edited = "int edited;   \n";
    struct Change {
        const char* name;
        std::function<void(const std::string&)> apply;
        std::string result; // the file afterwards
    };
    const Change changes[] = {
        {"saved by rename",
         [&](const std::string& path) {
             WriteFile(path + ".new", edited);
             ::rename((path + ".new").c_str(), path.c_str());
         },
         edited},
        {"rewritten in place, same size",
         [&](const std::string& path) {
             std::string text = kSource;
             text[0] = 'I';
             WriteFile(path, text);
         },
         "I" + std::string(kSource + 1)},
        // Only the change time tells this one: size and modification time are put back.
        {"rewritten in place, same size and modification time",
         [&](const std::string& path) {
             struct stat before {};
             ::stat(path.c_str(), &before);
             std::string text = kSource;
             text[0] = 'J';
             WriteFile(path, text);
             const struct timespec times[2] = {before.st_atim, before.st_mtim};
             ::utimensat(AT_FDCWD, path.c_str(), times, 0);
         },
         "J" + std::string(kSource + 1)},
        {"truncated", [](const std::string& path) { ::truncate(path.c_str(), 3); }, "int"},
        {"appended to",
         [&](const std::string& path) { WriteFile(path, kSource + std::string("x;\n")); },
         kSource + std::string("x;\n")},
    };
    enum Mode { Overwrite, SubFolder, Sink };
    for (Mode mode : {Overwrite, SubFolder, Sink}) {
        for (const Change& change : changes) {
            SCOPED_TRACE(::testing::Message() << change.name << ", mode " << mode);
            TempDir dir;
            const std::string path = dir / "a.c";
            WriteFile(path, kSource);
            FormatOptions options;
            options.insertHeaderTemplate = 1;
            options.templatePath = dir / "missing.txt";
            ChangingPrompter prompter([&] { change.apply(path); });
            std::string out;
            StringSink sink(out);
            const int result = mode == Sink
                                   ? ConvertFileToSink(path, sink, options, {}, prompter)
                                   : ConvertFile(path, mode == Overwrite, options, {}, prompter);
            EXPECT_EQ(kOutputFailed, result);
            EXPECT_EQ(Box(text::kTemplateMissing) +
                          Box(FormatText(text::kChangedWhileConverting, path)),
                      DescribeCalls(prompter.calls()));
            EXPECT_EQ(change.result, ReadFile(path));
            EXPECT_EQ("", out); // held back: nothing of the old text reached the sink
            EXPECT_FALSE(FileExists(dir / "NewFolder/a.c"));
            EXPECT_EQ(std::vector<std::string>{}, TemporaryFiles(dir.path()));
        }
    }
}

// The output cannot be put in place (a folder has the output's name): the file fails and its
// temporary file goes.
TEST(PlacingFails, FolderInTheOutputsPlaceLeavesNoTemporaryFile) {
    TempDir dir;
    for (const char* name : {"a.c", "b.c", "c.c"})
        WriteFile(dir / name, kSource);
    ::mkdir((dir / "NewFolder").c_str(), 0755);
    ::mkdir((dir / "NewFolder/b.c").c_str(), 0755);
    WriteFile(dir / "NewFolder/b.c/inner", "kept");
    BatchRequest request;
    request.folderPath = dir.path();
    request.entries = {"a.c", "b.c", "c.c"};
    request.allFiles = true;
    RecordingPrompter prompter;
    EXPECT_EQ(BatchOutcome::Failed, RunBatch(request, FormatOptions{}, {}, prompter));
    EXPECT_EQ(Box(FormatText(text::kReplaceError, dir / "b.c")), DescribeCalls(prompter.calls()));
    EXPECT_EQ(std::vector<std::string>{}, TemporaryFiles(dir.path()));
    EXPECT_EQ("a.c b.c c.c", ListFolder(dir / "NewFolder"));
    EXPECT_EQ("kept", ReadFile(dir / "NewFolder/b.c/inner"));
}

} // namespace
} // namespace srctdy
