#include "batch/file_renaming.h"

#include "batch/file_list.h"
#include "batch/run_control.h"
#include "platform/scripted_prompter.h"
#include "platform/string_table.h"
#include "support/nobody_capture.h"
#include "support/stopping_control.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <set>
#include <sys/stat.h>

namespace srctdy {
namespace {

using testing::Box;
using testing::DescribeCalls;
using testing::ListFolder;
using testing::ReadFile;
using testing::StoppingControl;
using testing::TempDir;
using testing::WriteFile;

TEST(FileRenaming, MapsAsciiLettersAndKeepsDoubleByteCharactersWhole) {
    struct Case {
        const char* name;
        bool upper;
        const char* expected;
    };
    const Case cases[] = {
        {"main.c", true, "MAIN.C"},
        {"Main.CPP", false, "main.cpp"},
        {"MAIN.C", true, "MAIN.C"},
        {"日本語abc.c", true, "日本語ABC.C"},  // UTF-8: no ASCII byte inside a character
        {"\x83\x41x.c", false, "\x83\x41x.c"}, // code page 932 "ア": its second byte is 'A'
        {"\x83\x61x.c", true, "\x83\x61X.C"},  // ... and "ヂ" ends in 'a'
        {"\xB1z.c", true, "\xB1Z.C"},          // half-width katakana is one byte
        {"z\x83", true, "Z\x83"},              // a lead byte at the end stands alone
        // A name is UTF-8 only when every sequence is: an overlong form, a surrogate or a code
        // point past U+10FFFF makes it code page 932, whose "\x81a" is one character.
        {"\xE3\x81\x81\x61.c", true, "\xE3\x81\x81\x41.C"}, // UTF-8 "ぁa"
        {"\xE0\x80\x81\x61.c", true, "\xE0\x80\x81\x61.C"},
        {"\xC1\x81\x61.c", true, "\xC1\x81\x61.C"}, // two bytes can be overlong too
        {"\xED\xA0\x81\x61.c", true, "\xED\xA0\x81\x61.C"},
        {"\xF0\x80\x80\x81\x61.c", true, "\xF0\x80\x80\x81\x61.C"},
        {"\xF4\x90\x80\x81\x61.c", true, "\xF4\x90\x80\x81\x61.C"},
        {"\xF5\x80\x80\x81\x61.c", true, "\xF5\x80\x80\x81\x61.C"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, MapNameCase(c.name, c.upper)) << c.name;
}

TEST(FileRenaming, ExtensionCommandsChangeOnlyTheirSourceExtension) {
    struct Case {
        const char* name;
        RenameKind kind;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {"a.c", RenameKind::CToCpp, "a.cpp"},
        {"A.C", RenameKind::CToCpp, "A.cpp"}, // the base keeps its case
        {"a.cpp", RenameKind::CToCpp, std::nullopt},
        {"a.h", RenameKind::CToCpp, std::nullopt},
        {"a", RenameKind::CToCpp, std::nullopt},
        {"a.c.bak", RenameKind::CToCpp, std::nullopt},
        {"a.b.c", RenameKind::CToCpp, "a.b.cpp"},
        {".c", RenameKind::CToCpp, ".cpp"},
        {"x.CPP", RenameKind::CppToC, "x.c"},
        {"x.c", RenameKind::CppToC, std::nullopt},
        {"x.cpp", RenameKind::Upper, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, ExtensionTarget(c.name, c.kind)) << c.name;
}

constexpr int kAll = -2; // every entry rather than the selected one

// Each file holds its own name, so that a test can see which file ended under which name.
void AddFiles(const std::string& folder, std::string_view names) {
    while (!names.empty()) {
        const size_t end = std::min(names.find(' '), names.size());
        const std::string name(names.substr(0, end));
        WriteFile(folder + "/" + name, name);
        names.remove_prefix(std::min(end + 1, names.size()));
    }
}

std::string Join(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& name : names)
        out += (out.empty() ? "" : " ") + name;
    return out;
}

// "name=content" for every file of folder, in list order.
std::string Contents(const std::string& folder) {
    std::vector<std::string> files = ListFiles(folder, "*.*");
    for (std::string& name : files)
        name += "=" + ReadFile(folder + "/" + name);
    return Join(files);
}

RenameRequest Request(const std::string& folder, const char* fileType, int selected) {
    RenameRequest r;
    r.folderPath = folder;
    r.fileType = fileType;
    r.entries = ListFiles(folder, fileType);
    r.selectedIndex = selected == kAll ? -1 : selected;
    r.allFiles = selected == kAll;
    return r;
}

std::string Failed(std::string_view message, const char* name) {
    return Box(FormatText(message, name));
}
std::string FailedStop(std::string_view message, const char* name) {
    return Box(FormatText(message, name), PromptIcon::Exclamation, PromptButtons::YesNo);
}

// A folder that ignores letter case, over a real one that does not: a name is taken when a
// file has it in any case. failAt makes the rename calls with those numbers (from 1) fail.
class CaseBlindFolder {
public:
    explicit CaseBlindFolder(std::set<int> failAt = {}) : failAt_(std::move(failAt)) {}

    RenameCalls calls() {
        return {[this](const std::string& from, const std::string& to) {
                    if (failAt_.count(++renames_) || find(to)) {
                        errno = failAt_.count(renames_) ? EACCES : EEXIST;
                        return false;
                    }
                    return RealRenameCalls().renameNoReplace(find(from).value_or(from), to);
                },
                [this](const std::string& a, const std::string& b) {
                    const auto x = find(a), y = find(b);
                    return x && y && RealRenameCalls().sameFile(*x, *y);
                }};
    }

private:
    // The path of the file that path names when case is ignored.
    static std::optional<std::string> find(const std::string& path) {
        const size_t slash = path.find_last_of('/');
        const std::string folder = path.substr(0, slash);
        const std::string name = MapNameCase(path.substr(slash + 1), false);
        for (const std::string& entry : ListFiles(folder, "*.*"))
            if (MapNameCase(entry, false) == name)
                return folder + "/" + entry;
        return std::nullopt;
    }

    std::set<int> failAt_;
    int renames_ = 0;
};

TEST(RenameListedFiles, RenamesAndReportsAsEachCommandRequires) {
    using enum RenameKind;
    const std::string renameError = Box(text::kRenameError);
    const std::string noSelection = Box(text::kNoSelection);
    const char* swapPresent = "a.c=a.c b.c=b.c c.c=c.c fnswap_temp_name.tmp=fnswap_temp_name.tmp";
    struct Case {
        const char* files; // each file holds its own name
        RenameKind kind;
        const char* fileType;
        int selected;
        std::string messages;
        const char* after; // "name=content" afterwards
        int selectedAfter;
        PromptAnswer answer = PromptAnswer::No;
        bool caseBlind = false;           // the folder ignores letter case
        const char* firstEntry = nullptr; // replaces the first list entry when not null
    };
    // clang-format off
    const Case cases[] = {
        {"main.c x.c", Upper, "*.c", 0, "", "MAIN.C=main.c x.c=x.c", 0},
        {"a.cpp Main.CPP", Lower, "*.cpp", 1, "", "a.cpp=a.cpp main.cpp=Main.CPP", 1},
        {"MAIN.C", Upper, "*.c", 0, "", "MAIN.C=MAIN.C", 0},
        {"a.c b.c 日本.c", Upper, "*.c", kAll, "", "A.C=a.c B.C=b.c 日本.C=日本.c", -1},
        {"a.c B.C x.h noext a.c.bak y.cpp", CToCpp, "*.*", kAll, "",
         "a.c.bak=a.c.bak a.cpp=a.c B.cpp=B.C noext=noext x.h=x.h y.cpp=y.cpp", -1},
        {"a.c b.c", CToCpp, "*.c", kAll, "", "a.cpp=a.c b.cpp=b.c", -1}, // the list empties
        {"a.cpp b.cpp", CppToC, "*.cpp", 0, "", "a.c=a.cpp b.cpp=b.cpp", -1},
        // An extension command never replaces a file, and goes on.
        {"x.cpp x.c", CppToC, "*.cpp", 0, renameError, "x.c=x.c x.cpp=x.cpp", -1},
        {"x.cpp x.c y.cpp", CppToC, "*.cpp", kAll, renameError, "x.c=x.c x.cpp=x.cpp y.c=y.cpp", -1},
        // main.c and MAIN.C are two files: the new name is taken by another file.
        {"main.c MAIN.C", Upper, "*.c", 1, Failed(text::kRenameFailed, "main.c"),
         "MAIN.C=MAIN.C main.c=main.c", 1},
        {"main.c MAIN.C x.c", Upper, "*.c", kAll, FailedStop(text::kRenameFailedStop, "main.c"),
         "MAIN.C=MAIN.C main.c=main.c X.C=x.c", -1},
        // One rename, no swap name: a swap file (a leftover) is in nobody's way.
        {"a.c b.c fnswap_temp_name.tmp", Upper, "*.c", kAll, "",
         "A.C=a.c B.C=b.c fnswap_temp_name.tmp=fnswap_temp_name.tmp", -1},
        // A folder that ignores case: two steps through the swap name, so a present swap
        // file makes every first step fail.
        {"a.c b.c c.c", Upper, "*.c", kAll, "", "A.C=a.c B.C=b.c C.C=c.c", -1, PromptAnswer::No,
         true},
        {"Main.CPP", Lower, "*.*", 0, "", "main.cpp=Main.CPP", 0, PromptAnswer::No, true},
        {"a.c b.c c.c fnswap_temp_name.tmp", Upper, "*.c", kAll,
         FailedStop(text::kRenameFailedStop, "a.c") + FailedStop(text::kRenameFailedStop, "b.c") +
             FailedStop(text::kRenameFailedStop, "c.c"), swapPresent, -1, PromptAnswer::No, true},
        {"a.c b.c c.c fnswap_temp_name.tmp", Upper, "*.c", kAll,
         FailedStop(text::kRenameFailedStop, "a.c"), swapPresent, -1, PromptAnswer::Yes, true},
        {"a.c b.c c.c fnswap_temp_name.tmp", Upper, "*.c", 1, Failed(text::kRenameFailed, "b.c"),
         swapPresent, 1, PromptAnswer::No, true},
        // Nothing selected: reported, and the list is refilled.
        {"a.c b.cpp", Upper, "*.*", -1, noSelection, "a.c=a.c b.cpp=b.cpp", -1},
        {"a.c b.cpp", Lower, "*.*", -1, noSelection, "a.c=a.c b.cpp=b.cpp", -1},
        {"a.c b.cpp", CToCpp, "*.*", -1, noSelection, "a.c=a.c b.cpp=b.cpp", -1},
        {"a.c b.cpp", CppToC, "*.*", -1, noSelection, "a.c=a.c b.cpp=b.cpp", -1},
        // A selection just past the list, or on an empty entry, is none either.
        {"a.c b.cpp", Upper, "*.*", 2, noSelection, "a.c=a.c b.cpp=b.cpp", -1},
        {"a.c b.cpp", Upper, "*.*", 0, noSelection, "a.c=a.c b.cpp=b.cpp", 0, PromptAnswer::No,
         false, ""},
        {"a.c b.cpp", CToCpp, "*.*", 0, noSelection, "a.c=a.c b.cpp=b.cpp", -1, PromptAnswer::No,
         false, ""},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.files);
        TempDir dir;
        AddFiles(dir.path(), c.files);
        RecordingPrompter prompter(c.answer);
        CaseBlindFolder blind;
        RenameRequest request = Request(dir.path(), c.fileType, c.selected);
        if (c.firstEntry)
            request.entries[0] = c.firstEntry;
        RenameResult result = RenameListedFiles(c.kind, request, prompter, nullptr,
                                                c.caseBlind ? blind.calls() : RealRenameCalls());

        EXPECT_EQ(c.messages, DescribeCalls(prompter.calls()));
        EXPECT_EQ(c.after, Contents(dir.path()));
        EXPECT_TRUE(result.refreshed);
        EXPECT_EQ(Join(ListFiles(dir.path(), c.fileType)), Join(result.entries));
        EXPECT_EQ(c.selectedAfter, result.selectedIndex);
    }
}

// In a folder that ignores case, the second step (swap name to new name) can fail when
// something interferes: the file gets its old name back, or, failing that, the message says
// where it is.
TEST(RenameListedFiles, CaseBlindSecondStepFailureRestoresOrNamesTheSwapFile) {
    struct Case {
        std::set<int> failAt; // 1: one-step rename, 2: to swap, 3: to new name, 4: back
        int selected;
        std::string messages;
        const char* after;
    };
    const Case cases[] = {
        {{3}, 0, Failed(text::kRenameRestored, "a.c"), "a.c=a.c"},
        {{3}, kAll, FailedStop(text::kRenameRestoredStop, "a.c"), "a.c=a.c"},
        {{3, 4}, 0, Failed(text::kRenameStranded, "a.c"), "fnswap_temp_name.tmp=a.c"},
        {{3, 4}, kAll, FailedStop(text::kRenameStrandedStop, "a.c"), "fnswap_temp_name.tmp=a.c"},
        {{2}, 0, Failed(text::kRenameFailed, "a.c"), "a.c=a.c"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.messages);
        TempDir dir;
        AddFiles(dir.path(), "a.c");
        RecordingPrompter prompter;
        CaseBlindFolder blind(c.failAt);
        RenameListedFiles(RenameKind::Upper, Request(dir.path(), "*.c", c.selected), prompter,
                          nullptr, blind.calls());
        EXPECT_EQ(c.messages, DescribeCalls(prompter.calls()));
        EXPECT_EQ(c.after, Contents(dir.path()));
    }
}

TEST(RenameListedFiles, StopsAtOnceWithoutAFolderOrFiles) {
    for (RenameKind kind :
         {RenameKind::Upper, RenameKind::Lower, RenameKind::CToCpp, RenameKind::CppToC}) {
        RecordingPrompter prompter;
        RenameRequest noFolder; // and no entries either
        EXPECT_FALSE(RenameListedFiles(kind, noFolder, prompter).refreshed);

        TempDir dir;
        AddFiles(dir.path(), "a.h");
        RenameResult emptyList = RenameListedFiles(kind, Request(dir.path(), "*.c", 0), prompter);
        EXPECT_FALSE(emptyList.refreshed);
        EXPECT_TRUE(emptyList.entries.empty());

        EXPECT_EQ(Box(text::kNoFolder, PromptIcon::Stop) + Box(text::kNoFiles),
                  DescribeCalls(prompter.calls()));
        EXPECT_EQ("a.h=a.h", Contents(dir.path()));
    }
}

TEST(RenameListedFiles, SelectsNothingWhenTheOldPositionIsPastTheRefilledList) {
    TempDir dir;
    AddFiles(dir.path(), "a.c b.c");
    RenameRequest request = Request(dir.path(), "*.c", 1);
    ASSERT_EQ(0, ::unlink((dir / "a.c").c_str())); // removed behind the program's back
    RecordingPrompter prompter;

    RenameResult result = RenameListedFiles(RenameKind::Upper, request, prompter);

    EXPECT_EQ("B.C", Join(result.entries));
    EXPECT_EQ(-1, result.selectedIndex);
    EXPECT_TRUE(prompter.calls().empty());
}

// A stop asked for during a rename lets that file finish and renames none after it.
TEST(RenameListedFiles, StopsBetweenFilesWhenCancelled) {
    TempDir dir;
    AddFiles(dir.path(), "a.c b.c c.c d.c");
    StoppingControl stop(1);
    RecordingPrompter prompter;

    RenameResult result = RenameListedFiles(RenameKind::Upper, Request(dir.path(), "*.c", kAll),
                                            prompter, &stop.control);

    EXPECT_EQ("0/4 a.c;1/4 b.c;", stop.seen);
    EXPECT_EQ("A.C=a.c B.C=b.c c.c=c.c d.c=d.c", Contents(dir.path()));
    EXPECT_TRUE(result.refreshed);
    EXPECT_EQ("A.C B.C c.c d.c", Join(result.entries));
    EXPECT_TRUE(prompter.calls().empty());
}

// A folder the user may not write to refuses every rename.
TEST(RenameListedFiles, RefusedRenamesAreReportedAndLeaveTheFiles) {
    struct Case {
        RenameKind kind;
        int selected;
        std::string messages;
    };
    const Case cases[] = {
        {RenameKind::Upper, 0, Failed(text::kRenameFailed, "a.c")},
        {RenameKind::Upper, kAll,
         FailedStop(text::kRenameFailedStop, "a.c") + FailedStop(text::kRenameFailedStop, "b.c")},
        {RenameKind::Lower, kAll, ""}, // already lower case: nothing to do, nothing refused
        {RenameKind::CToCpp, 1, Box(text::kRenameError)},
        {RenameKind::CToCpp, kAll, Box(text::kRenameError) + Box(text::kRenameError)},
    };
    for (const Case& c : cases) {
        TempDir dir;
        AddFiles(dir.path(), "a.c b.c");
        ASSERT_EQ(0, ::chmod(dir.path().c_str(), 0555));
        const RenameRequest request = Request(dir.path(), "*.c", c.selected);

        std::optional<std::string> messages = testing::CaptureAsNobody([&] {
            RecordingPrompter prompter;
            RenameResult result = RenameListedFiles(c.kind, request, prompter);
            return DescribeCalls(prompter.calls()) + Join(result.entries);
        });

        ASSERT_TRUE(messages.has_value());
        EXPECT_EQ(c.messages + "a.c b.c", *messages);
        EXPECT_EQ("a.c=a.c b.c=b.c", Contents(dir.path()));
    }
}

} // namespace
} // namespace srctdy
