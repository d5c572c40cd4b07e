#include "batch/undo_store.h"

#include "batch/batch_run.h"
#include "batch/file_list.h"
#include "engine/format_options.h"
#include "platform/scripted_prompter.h"
#include "platform/string_table.h"
#include "support/nobody_capture.h"
#include "support/test_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace srctdy {
namespace {

using testing::Box;
using testing::DescribeCalls;
using testing::FileExists;
using testing::ListFolder;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

constexpr const char* kSource = "int x;   \n\n\n{\nreturn;\n}\n";
constexpr const char* kConverted = "int x;\r\n\r\n{\r\n    return;\r\n}\r\n";
constexpr const char* kTidy = "int y;\r\n";

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

class Undo : public ::testing::Test {
protected:
    Undo() : options(StartupFormatOptions(dir.path())), store(state / "srctdy/undo") {}

    // An overwrite run over every *.c file of dir.
    BatchOutcome overwriteAll(Prompter& prompter, UndoStore* undo) {
        BatchRequest request;
        request.folderPath = dir.path();
        request.fileType = "*.c";
        request.entries = ListFiles(dir.path(), "*.c");
        request.allFiles = true;
        request.overwrite = true;
        return RunBatch(request, options, settings, prompter, {}, nullptr, undo);
    }
    void add(const std::string& name, const std::string& bytes, mode_t mode) {
        WriteFile(dir / name, bytes);
        ASSERT_EQ(0, ::chmod((dir / name).c_str(), mode));
    }

    TempDir dir;
    TempDir state;
    FormatOptions options;
    ConvertSettings settings;
    UndoStore store;
};

TEST_F(Undo, PutsBackBytesAndModesOfTheFilesTheLastRunChanged) {
    add("a.c", kSource, 0644);
    add("b.c", "int b;  \n", 0600);
    add("run.c", kSource, 04755);
    add("same.c", kTidy, 0640);    // left alone by the run: nothing to undo
    add("later.c", kSource, 0644); // edited after the run: left as it is then
    RecordingPrompter prompter;
    ASSERT_EQ(BatchOutcome::Converted, overwriteAll(prompter, &store));
    ASSERT_EQ(kConverted, ReadFile(dir / "a.c"));
    WriteFile(dir / "later.c", "edited\n");
    EXPECT_EQ(4u, store.lastRunSize());
    // The run keeps a copy of each file it replaced and its list, nothing of same.c.
    const std::string run = state / "srctdy/undo/" + ListFolder(state / "srctdy/undo");
    EXPECT_EQ("0 1 2 3 files", ListFolder(run));

    std::vector<std::string> seen;
    UndoStore::UndoReport report =
        store.undoLastRun([&](size_t, size_t, const std::string& path) { seen.push_back(path); });

    EXPECT_EQ(3u, report.restored);
    EXPECT_EQ(std::vector<std::string>{dir / "later.c"}, report.changedSince);
    EXPECT_TRUE(report.failed.empty());
    EXPECT_EQ(4u, seen.size());
    EXPECT_EQ(kSource, ReadFile(dir / "a.c"));
    EXPECT_EQ("int b;  \n", ReadFile(dir / "b.c"));
    EXPECT_EQ(kSource, ReadFile(dir / "run.c"));
    EXPECT_EQ("edited\n", ReadFile(dir / "later.c"));
    EXPECT_EQ(0644u, ModeOf(dir / "a.c"));
    EXPECT_EQ(0600u, ModeOf(dir / "b.c"));
    EXPECT_EQ(04755u, ModeOf(dir / "run.c"));
    EXPECT_EQ("a.c b.c later.c run.c same.c", ListFolder(dir.path()));
    // Undone once: the run is forgotten.
    EXPECT_EQ(0u, store.lastRunSize());
}

TEST_F(Undo, KeepsOnlyTheLastRun) {
    add("a.c", kSource, 0644);
    RecordingPrompter prompter;
    overwriteAll(prompter, &store);
    add("b.c", kSource, 0644);
    overwriteAll(prompter, &store); // a.c is tidy now: the second run changes b.c only
    const std::string runs = ListFolder(state / "srctdy/undo");
    EXPECT_FALSE(runs.empty());
    EXPECT_EQ(std::string::npos, runs.find(' ')) << runs; // one run folder
    EXPECT_EQ(1u, store.lastRunSize());

    EXPECT_EQ(1u, store.undoLastRun({}).restored);
    EXPECT_EQ(kConverted, ReadFile(dir / "a.c"));
    EXPECT_EQ(kSource, ReadFile(dir / "b.c"));
}

// A listed file gone before the run is reported as missing; the run does not take it for a
// store that cannot keep it, and goes on.
TEST_F(Undo, AFileGoneBeforeTheRunIsMissingNotUnkept) {
    add("a.c", kSource, 0644);
    BatchRequest request;
    request.folderPath = dir.path();
    request.fileType = "*.c";
    request.entries = {"gone.c", "a.c"};
    request.allFiles = true;
    request.overwrite = true;
    RecordingPrompter prompter(PromptAnswer::No);
    RunBatch(request, options, settings, prompter, {}, nullptr, &store);
    for (const ScriptedPrompter::Call& call : prompter.calls())
        EXPECT_NE(text::kUndoUnavailable, call.text);
    EXPECT_EQ(kConverted, ReadFile(dir / "a.c"));
    EXPECT_EQ(1u, store.lastRunSize());
}

// An empty list asks nothing of the store: there is nothing to keep.
TEST_F(Undo, AnEmptyListAsksNothing) {
    WriteFile(state / "srctdy", "a file where the folder should be");
    ScriptedPrompter prompter([](const std::string& m) { ADD_FAILURE() << m; });
    prompter.expectMessage(text::kNoFiles);
    BatchRequest request;
    request.folderPath = dir.path();
    request.fileType = "*.c";
    request.allFiles = true;
    request.overwrite = true;
    EXPECT_EQ(BatchOutcome::NoFiles,
              RunBatch(request, options, settings, prompter, {}, nullptr, &store));
    EXPECT_TRUE(prompter.allUsed());
}

// A store that cannot be written: the run asks once, and No converts nothing.
TEST_F(Undo, AsksOnceWhenNothingCanBeKept) {
    add("a.c", kSource, 0644);
    add("b.c", kSource, 0644);
    WriteFile(state / "srctdy", "a file where the folder should be");
    for (PromptAnswer answer : {PromptAnswer::No, PromptAnswer::Yes}) {
        ScriptedPrompter prompter([](const std::string& m) { ADD_FAILURE() << m; });
        prompter.expect(text::kUndoUnavailable, PromptIcon::Question, PromptButtons::YesNo, answer);
        if (answer == PromptAnswer::Yes)
            prompter.expectMessage(text::kAllConverted);
        overwriteAll(prompter, &store);
        EXPECT_TRUE(prompter.allUsed());
        const char* expected = answer == PromptAnswer::Yes ? kConverted : kSource;
        EXPECT_EQ(expected, ReadFile(dir / "a.c"));
        EXPECT_EQ(expected, ReadFile(dir / "b.c"));
    }
    EXPECT_EQ(0u, store.lastRunSize());
}

// A file that cannot be put back (here every temporary name beside it is taken) keeps its old
// content for another try; the files put back are forgotten.
TEST_F(Undo, AFileThatCannotBePutBackStaysKeptForAnotherTry) {
    add("a.c", kSource, 0644);
    // Through a link to a file in a sub-folder, so that only that file's folder is blocked.
    const std::string other = dir / "sub";
    ASSERT_EQ(0, ::mkdir(other.c_str(), 0755));
    WriteFile(other + "/real.c", "int r;  \n");
    ASSERT_EQ(0, ::symlink((other + "/real.c").c_str(), (dir / "link.c").c_str()));
    RecordingPrompter prompter;
    ASSERT_EQ(BatchOutcome::Converted, overwriteAll(prompter, &store));
    ASSERT_EQ("int r;\r\n", ReadFile(other + "/real.c"));
    std::vector<std::string> taken;
    for (int attempt = 0; attempt < 100; ++attempt) {
        taken.push_back(other + ("/.srctdy-undo-" + std::to_string(::getpid()) + "-" +
                                 std::to_string(attempt)));
        ASSERT_EQ(0, ::mkdir(taken.back().c_str(), 0700));
    }

    UndoStore::UndoReport report = store.undoLastRun({});
    EXPECT_EQ(1u, report.restored);
    EXPECT_EQ(std::vector<std::string>{other + "/real.c"}, report.failed);
    EXPECT_EQ(kSource, ReadFile(dir / "a.c"));
    EXPECT_EQ("int r;\r\n", ReadFile(other + "/real.c"));
    // Only the copy of the file not put back is left, and the list names it alone.
    EXPECT_EQ(1u, store.lastRunSize());
    const std::string run = state / "srctdy/undo/" + ListFolder(state / "srctdy/undo");
    EXPECT_EQ("1 files", ListFolder(run));

    for (const std::string& name : taken)
        ASSERT_EQ(0, ::rmdir(name.c_str()));
    report = store.undoLastRun({});
    EXPECT_EQ(1u, report.restored);
    EXPECT_TRUE(report.failed.empty());
    EXPECT_TRUE(report.changedSince.empty());
    EXPECT_EQ("int r;  \n", ReadFile(other + "/real.c"));
    EXPECT_EQ(kSource, ReadFile(dir / "a.c"));
    EXPECT_EQ(0u, store.lastRunSize());
}

// A store on another file system holds copies, which come back with their modes.
TEST_F(Undo, CopiesAcrossFileSystems) {
    struct stat here {
    }, shm{};
    if (::stat(dir.path().c_str(), &here) != 0 || ::stat("/dev/shm", &shm) != 0 ||
        here.st_dev == shm.st_dev)
        GTEST_SKIP() << "no second file system at /dev/shm";
    char pattern[] = "/dev/shm/srctdy-undo-XXXXXX";
    ASSERT_NE(nullptr, ::mkdtemp(pattern));
    UndoStore elsewhere(std::string(pattern) + "/undo");
    add("a.c", kSource, 0751);
    RecordingPrompter prompter;
    overwriteAll(prompter, &elsewhere);
    ASSERT_EQ(kConverted, ReadFile(dir / "a.c"));

    EXPECT_EQ(1u, elsewhere.undoLastRun({}).restored);
    EXPECT_EQ(kSource, ReadFile(dir / "a.c"));
    EXPECT_EQ(0751u, ModeOf(dir / "a.c"));
    testing::RunProcess("/bin/rm", {"-rf", pattern});
}

} // namespace
} // namespace srctdy
