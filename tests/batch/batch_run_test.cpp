#include "batch/batch_run.h"

#include "batch/file_list.h"
#include "batch/run_control.h"
#include "batch/undo_store.h"
#include "engine/format_options.h"
#include "platform/scripted_prompter.h"
#include "platform/string_table.h"
#include "support/nobody_capture.h"
#include "support/stopping_control.h"
#include "support/test_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

namespace srctdy {
namespace {

using testing::Box;
using testing::DescribeCalls;
using testing::FileExists;
using testing::ListFolder;
using testing::ReadFile;
using testing::StoppingControl;
using testing::TempDir;
using testing::WriteFile;

// Untidy enough that every converted file differs from its source.
constexpr const char* kSource = "int x;   \n\n\n{\nreturn;\n}\n";
constexpr const char* kConverted = "int x;\r\n\r\n{\r\n    return;\r\n}\r\n";

void AddFiles(const std::string& folder, std::initializer_list<const char*> names) {
    for (const char* name : names)
        WriteFile(folder + "/" + name, kSource);
}

BatchRequest AllFiles(const std::string& folder, std::string fileType = "*.c") {
    BatchRequest request;
    request.folderPath = folder;
    request.fileType = fileType;
    request.entries = ListFiles(folder, fileType);
    request.allFiles = true;
    return request;
}

BatchRequest Selected(const std::string& folder, int index) {
    BatchRequest request = AllFiles(folder);
    request.allFiles = false;
    request.selectedIndex = index;
    return request;
}

class BatchRun : public ::testing::Test {
protected:
    BatchRun() : options(StartupFormatOptions(dir.path())) {}

    void addFiles(std::initializer_list<const char*> names) { AddFiles(dir.path(), names); }
    BatchRequest allFiles(std::string fileType = "*.c") { return AllFiles(dir.path(), fileType); }
    BatchRequest selected(int index) { return Selected(dir.path(), index); }
    std::string output() { return ListFolder(dir / "NewFolder"); }

    TempDir dir;
    FormatOptions options;
    ConvertSettings settings;
};

TEST_F(BatchRun, ConvertsEveryListedFileInListOrderIntoTheSubFolder) {
    addFiles({"b.c", "A.c", "c.cpp"});
    ASSERT_EQ(0, ::mkdir((dir / "src.c").c_str(), 0755));
    RecordingPrompter prompter;
    TempDir state;
    UndoStore undo(state / "undo");

    EXPECT_EQ(BatchOutcome::Converted,
              RunBatch(allFiles(), options, settings, prompter, {}, nullptr, &undo));

    EXPECT_EQ(Box(text::kAllConverted), DescribeCalls(prompter.calls()));
    EXPECT_EQ("A.c b.c", output());
    EXPECT_EQ(kConverted, ReadFile(dir / "NewFolder/A.c"));
    EXPECT_EQ(kConverted, ReadFile(dir / "NewFolder/b.c"));
    EXPECT_EQ(kSource, ReadFile(dir / "b.c"));
    EXPECT_EQ("", ListFolder(state.path())); // the sources are as they were: nothing to undo
}

TEST_F(BatchRun, WalksTheEntriesInListOrder) {
    // Read-only files are refused in overwrite mode with a message naming them, which makes
    // the order of the conversions visible.
    addFiles({"b.c", "A.c"});
    ASSERT_EQ(0, ::chmod((dir / "b.c").c_str(), 0444));
    ASSERT_EQ(0, ::chmod((dir / "A.c").c_str(), 0444));
    BatchRequest request = allFiles();
    request.overwrite = true;
    RecordingPrompter prompter;

    EXPECT_EQ(BatchOutcome::Failed, RunBatch(request, options, settings, prompter));

    EXPECT_EQ(Box(FormatText(text::kReadOnlyInput, dir / "A.c")) +
                  Box(FormatText(text::kReadOnlyInput, dir / "b.c")),
              DescribeCalls(prompter.calls()));
}

TEST_F(BatchRun, AllTypesAsksFirstAndConvertsEveryFileButNoFolder) {
    addFiles({"b.c", "A.h", "Makefile", ".hidden"});
    ASSERT_EQ(0, ::mkdir((dir / "sub").c_str(), 0755));
    ScriptedPrompter prompter([](const std::string& m) { ADD_FAILURE() << m; });
    prompter.expect(text::kAllFilesQuestion, PromptIcon::Question, PromptButtons::YesNo,
                    PromptAnswer::Yes);
    prompter.expectMessage(text::kAllConverted);

    EXPECT_EQ(BatchOutcome::Converted, RunBatch(allFiles("*.*"), options, settings, prompter));

    EXPECT_TRUE(prompter.allUsed());
    EXPECT_EQ(".hidden A.h Makefile b.c", output()); // byte order, not list order
}

TEST_F(BatchRun, AllTypesAnsweredNoConvertsNothing) {
    addFiles({"a.c", "b.h"});
    ScriptedPrompter prompter([](const std::string& m) { ADD_FAILURE() << m; });
    prompter.expect(text::kAllFilesQuestion, PromptIcon::Question, PromptButtons::YesNo,
                    PromptAnswer::No);
    bool busyShown = false;

    EXPECT_EQ(BatchOutcome::Declined, RunBatch(allFiles("*.*"), options, settings, prompter,
                                               [&](bool) { busyShown = true; }));

    EXPECT_TRUE(prompter.allUsed());
    EXPECT_FALSE(FileExists(dir / "NewFolder"));
    EXPECT_FALSE(busyShown);
}

TEST_F(BatchRun, EndsAsEachSituationRequires) {
    constexpr int kAll = -2;
    struct Case {
        const char* folder; // "@": the test folder, holding a.c and b.c
        const char* fileType;
        int selected;           // kAll: all files
        const char* firstEntry; // replaces the first list entry when not null
        BatchOutcome outcome;
        std::string messages;
        const char* converted; // names in the sub-folder afterwards ("-": no sub-folder)
        const char* progress;  // "index/count name;" for each file reported
    };
    const std::string noFolder = Box(text::kNoFolder, PromptIcon::Stop);
    // clang-format off
    const Case cases[] = {
        {"", "*.c", kAll, nullptr, BatchOutcome::NoFolder, noFolder, "-", ""},
        {"", "*.c", 0, nullptr, BatchOutcome::NoFolder, noFolder, "-", ""},
        {"@", "*.h", kAll, nullptr, BatchOutcome::NoFiles, Box(text::kNoFiles), "-", ""},
        {"@", "*.c", -1, nullptr, BatchOutcome::NoSelection, Box(text::kNoSelection), "-", ""},
        {"@", "*.c", 2, nullptr, BatchOutcome::NoSelection, Box(text::kNoSelection), "-", ""},
        {"@", "*.c", 0, "", BatchOutcome::NoSelection, Box(text::kNoSelection), "-", ""},
        {"@", "*.c", 1, nullptr, BatchOutcome::Converted, Box(text::kSelectedConverted), "b.c",
         "0/1 b.c;"},
        {"@", "*.c", kAll, nullptr, BatchOutcome::Converted, Box(text::kAllConverted), "a.c b.c",
         "0/2 a.c;1/2 b.c;"},
        // Listed, then removed behind the program's back.
        {"@", "*.c", 0, "gone.c", BatchOutcome::Failed, Box(text::kInputOpenError), "",
         "0/1 gone.c;"},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        TempDir dir;
        AddFiles(dir.path(), {"a.c", "b.c"});
        BatchRequest request = c.selected == kAll ? AllFiles(dir.path(), c.fileType)
                                                  : Selected(dir.path(), c.selected);
        if (c.firstEntry)
            request.entries[0] = c.firstEntry;
        if (*c.folder == 0)
            request.folderPath.clear();
        RecordingPrompter prompter;
        std::string progress;
        RunControl control;
        control.progress = [&](size_t index, size_t count, const std::string& name) {
            progress += std::to_string(index) + "/" + std::to_string(count) + " " + name + ";";
        };

        EXPECT_EQ(c.outcome, RunBatch(request, options, settings, prompter, {}, &control));

        EXPECT_EQ(c.messages, DescribeCalls(prompter.calls()));
        EXPECT_EQ(c.progress, progress);
        EXPECT_EQ(c.converted, FileExists(dir / "NewFolder") ? ListFolder(dir / "NewFolder") : "-");
        EXPECT_EQ(kSource, ReadFile(dir / "a.c"));
    }
}

TEST_F(BatchRun, AllTypesWithEmptyListAsksAndThenSaysThereAreNoFiles) {
    RecordingPrompter prompter(PromptAnswer::Yes);

    EXPECT_EQ(BatchOutcome::NoFiles, RunBatch(allFiles("*.*"), options, settings, prompter));

    EXPECT_EQ(Box(text::kAllFilesQuestion, PromptIcon::Question, PromptButtons::YesNo) +
                  Box(text::kNoFiles),
              DescribeCalls(prompter.calls()));
}

TEST_F(BatchRun, UnreadableSecondFileIsReportedAndTheOthersAreConverted) {
    addFiles({"a.c", "b.c", "c.c"});
    ASSERT_EQ(0, ::chmod(dir.path().c_str(), 0777));
    ASSERT_EQ(0, ::chmod((dir / "b.c").c_str(), 0000));
    const BatchRequest request = allFiles();

    std::optional<std::string> messages = testing::CaptureAsNobody([&] {
        RecordingPrompter prompter;
        BatchOutcome outcome = RunBatch(request, options, settings, prompter);
        return DescribeCalls(prompter.calls()) +
               (outcome == BatchOutcome::Failed ? "failed" : "other outcome");
    });

    ASSERT_TRUE(messages.has_value());
    EXPECT_EQ(Box(text::kInputOpenError) + "failed", *messages);
    EXPECT_EQ("a.c c.c", output());
    EXPECT_EQ(kConverted, ReadFile(dir / "NewFolder/c.c"));
}

TEST_F(BatchRun, MissingTemplateIsReportedPerFileButIsNoFailure) {
    addFiles({"a.c", "b.c"});
    options.insertHeaderTemplate = 1;
    RecordingPrompter prompter;

    EXPECT_EQ(BatchOutcome::Converted, RunBatch(allFiles(), options, settings, prompter));

    EXPECT_EQ(Box(text::kTemplateMissing) + Box(text::kTemplateMissing) + Box(text::kAllConverted),
              DescribeCalls(prompter.calls()));
}

// The wait cursor: an all-files run keeps it until its final message has been closed, a
// single file drops it before the message.
TEST_F(BatchRun, BusyHookBracketsTheConversions) {
    addFiles({"a.c"});
    struct Case {
        BatchRequest request;
        std::string expected; // "+n" busy on, "-n" off, n = messages shown before
    };
    const Case cases[] = {{allFiles(), "+0-1"}, {selected(0), "+0-0"}};
    for (const Case& c : cases) {
        RecordingPrompter prompter;
        std::string log;
        RunBatch(c.request, options, settings, prompter, [&](bool on) {
            log += (on ? "+" : "-") + std::to_string(prompter.calls().size());
        });
        EXPECT_EQ(c.expected, log);
        EXPECT_EQ(1u, prompter.calls().size());
    }
}

// A stop asked for during a file lets that file finish and touches none after it; a file that
// failed before it does not change how the run ends, which the user must hear of.
TEST_F(BatchRun, StopsBetweenFilesWhenCancelled) {
    for (bool firstFails : {false, true}) {
        SCOPED_TRACE(firstFails ? "first fails" : "all fine");
        addFiles({"a.c", "b.c", "c.c", "d.c"});
        ASSERT_EQ(0, ::chmod((dir / "a.c").c_str(), firstFails ? 0444 : 0644));
        BatchRequest request = allFiles();
        request.overwrite = true;
        StoppingControl stop(1);
        RecordingPrompter prompter;

        EXPECT_EQ(BatchOutcome::Cancelled,
                  RunBatch(request, options, settings, prompter, {}, &stop.control));

        EXPECT_EQ("0/4 a.c;1/4 b.c;", stop.seen);
        const std::string failed =
            firstFails ? Box(FormatText(text::kReadOnlyInput, dir / "a.c")) : "";
        EXPECT_EQ(failed + Box(text::kRunCancelled), DescribeCalls(prompter.calls()));
        EXPECT_EQ(firstFails ? kSource : kConverted, ReadFile(dir / "a.c"));
        EXPECT_EQ(kConverted, ReadFile(dir / "b.c"));
        EXPECT_EQ(kSource, ReadFile(dir / "c.c"));
        EXPECT_EQ(kSource, ReadFile(dir / "d.c"));
        EXPECT_EQ("a.c b.c c.c d.c", ListFolder(dir.path())); // no temporary file left
    }
}

// An undo store that goes away during an overwrite run cannot keep the file in hand: the
// user is asked once whether to go on without it, and No stops before that file is touched.
TEST_F(BatchRun, UndoStoreLostDuringTheRunAsksWhetherToGoOn) {
    constexpr int kAll = -2;
    const std::string question =
        Box(text::kUndoUnavailable, PromptIcon::Question, PromptButtons::YesNo);
    struct Case {
        int selected; // kAll: all files
        PromptAnswer answer;
        BatchOutcome outcome;
        std::string messages;
        const char* converted; // the files that hold their conversion afterwards
    };
    const Case cases[] = {
        {kAll, PromptAnswer::No, BatchOutcome::Cancelled, question + Box(text::kRunCancelled),
         "a.c"},
        {kAll, PromptAnswer::Yes, BatchOutcome::Converted, question + Box(text::kAllConverted),
         "a.c b.c c.c"},
        {1, PromptAnswer::No, BatchOutcome::Declined, question, ""},
        {1, PromptAnswer::Yes, BatchOutcome::Converted, question + Box(text::kSelectedConverted),
         "b.c"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        addFiles({"a.c", "b.c", "c.c"});
        BatchRequest request = c.selected == kAll ? allFiles() : selected(c.selected);
        request.overwrite = true;
        TempDir state;
        UndoStore undo(state / "undo");
        RunControl control;
        control.progress = [&](size_t, size_t, const std::string& name) {
            if (name == "b.c")
                std::filesystem::remove_all(state / "undo");
        };
        RecordingPrompter prompter(c.answer);

        EXPECT_EQ(c.outcome, RunBatch(request, options, settings, prompter, {}, &control, &undo));

        EXPECT_EQ(c.messages, DescribeCalls(prompter.calls()));
        std::string converted;
        for (const char* name : {"a.c", "b.c", "c.c"}) {
            if (ReadFile(dir / name) == kConverted)
                converted += (converted.empty() ? "" : " ") + std::string(name);
        }
        EXPECT_EQ(c.converted, converted);
    }
}

} // namespace
} // namespace srctdy
