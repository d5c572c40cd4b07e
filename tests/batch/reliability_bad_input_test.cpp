// Inputs that are not tidy C sources at all, through the batch run: binary files, broken code
// page 932, huge lines and huge line counts, file names no one would choose, templates that
// are no text file, and files too large for the memory. The file on
// disk must always get exactly what the in-memory conversion makes of its bytes.

#include "batch/batch_run.h"
#include "batch/file_list.h"
#include "engine/convert_file.h"
#include "engine/line_reader.h"
#include "platform/scripted_prompter.h"
#include "platform/string_table.h"
#include "support/nobody_capture.h"
#include "support/reliability_support.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace srctdy {
namespace {

using namespace srctdy::testing;

std::string RunAll(const std::string& folder, const std::string& fileType, bool overwrite,
                   const FormatOptions& options = {}, const ConvertSettings& settings = {}) {
    BatchRequest request;
    request.folderPath = folder;
    request.fileType = fileType;
    request.entries = ListFiles(folder, fileType);
    request.allFiles = true;
    request.overwrite = overwrite;
    RecordingPrompter prompter(PromptAnswer::Yes);
    RunBatch(request, options, settings, prompter);
    return DescribeCalls(prompter.calls());
}

FormatOptions EverythingOff() {
    FormatOptions options;
    options.collapseEmptyLines = options.fullWidthToHalfWidth = options.trimBlanks = 0;
    return options;
}

// Every condition and every stage on, with texts that occur in the inputs below.
FormatOptions EverythingOn(int commentMode) {
    FormatOptions options;
    options.conditionText = "DEBUG";
    options.searchText = "int";
    options.replaceText = "%filename%";
    options.templatePath = "/nonexistent/FileTitle.txt";
    options.insertFunctionNames = options.deleteConditionalBlocks = options.replaceOrDelete = 1;
    options.insertDefinitionComments = options.deleteMatchingLines = 1;
    options.commentMode = commentMode;
    return options;
}

std::string AllFilesBox() {
    return Box(text::kAllFilesQuestion, PromptIcon::Question, PromptButtons::YesNo);
}

TEST(BadInput, BinaryFilesUnderAllTypesComeOutAsTheirConversion) {
    const std::string image = ReadFile(ImagePath());
    const std::string program = ReadFile("/bin/true");
    ASSERT_GT(image.size(), 1000u);
    ASSERT_GT(program.size(), 1000u);
    for (bool overwrite : {true, false}) {
        SCOPED_TRACE(overwrite ? "overwrite" : "sub-folder");
        TempDir dir;
        WriteFile(dir / "bitmap.png", image);
        WriteFile(dir / "true", program);
        SetMode(dir / "true", 0755);
        EXPECT_EQ(AllFilesBox() + Box(text::kAllConverted), RunAll(dir.path(), "*.*", overwrite));
        const std::string out = overwrite ? dir.path() : dir / "NewFolder";
        EXPECT_EQ(Converted(image, "bitmap.png"), ReadFile(out + "/bitmap.png"));
        EXPECT_EQ(Converted(program, "true"), ReadFile(out + "/true"));
        if (overwrite) {
            struct stat st;
            ASSERT_EQ(0, ::stat((dir / "true").c_str(), &st));
            EXPECT_EQ(0755u, st.st_mode & 07777);
        } else {
            EXPECT_EQ(image, ReadFile(dir / "bitmap.png"));
            EXPECT_EQ(program, ReadFile(dir / "true"));
        }
        EXPECT_EQ(std::vector<std::string>{}, TemporaryFiles(dir.path()));
    }
}

TEST(BadInput, BinaryFilesKeepEveryByteWithEveryConditionOffAndLineEndsKept) {
    TempDir dir;
    const std::string image = ReadFile(ImagePath());
    const std::string program = ReadFile("/bin/true");
    ASSERT_GT(image.size(), 1000u);
    std::string allBytes;
    for (int i = 0; i < 256 * 4; ++i)
        allBytes += static_cast<char>(i * 7 % 256);
    WriteFile(dir / "bitmap.png", image);
    WriteFile(dir / "true", program);
    WriteFile(dir / "bytes", allBytes);
    ConvertSettings settings;
    settings.indentOn = false;
    settings.lineEnds = LineEnds::Keep;
    EXPECT_EQ(AllFilesBox() + Box(text::kAllConverted),
              RunAll(dir.path(), "*.*", false, EverythingOff(), settings));
    EXPECT_EQ(image, ReadFile(dir / "NewFolder/bitmap.png"));
    EXPECT_EQ(program, ReadFile(dir / "NewFolder/true"));
    EXPECT_EQ(allBytes, ReadFile(dir / "NewFolder/bytes"));
}

TEST(BadInput, AllTypesAnsweredNoLeavesBinaryFilesAlone) {
    TempDir dir;
    WriteFile(dir / "true", ReadFile("/bin/true"));
    const FolderState before = Snapshot(dir.path());
    BatchRequest request;
    request.folderPath = dir.path();
    request.fileType = "*.*";
    request.entries = ListFiles(dir.path(), "*.*");
    request.allFiles = true;
    request.overwrite = true;
    RecordingPrompter prompter(PromptAnswer::No);
    EXPECT_EQ(BatchOutcome::Declined, RunBatch(request, {}, {}, prompter));
    EXPECT_EQ("", Differences(before, Snapshot(dir.path())));
}

// Lead bytes with nothing after them in the line or in the file never take the line end
// with them, and the bytes around them are kept.
TEST(BadInput, StrayLeadBytesAtLineAndFileEnds) {
    struct Case {
        std::string_view expected; // with every condition and indentation off
        std::string_view input;
    };
    const Case cases[] = {
        {"a\x81\r\nb\r\n", "a\x81\nb"},
        {"a\x81\r\n", "a\x81\r\n"},
        {"\x81\r\n\x81\r\n", "\x81\n\x81"},
        {"x\xFC\r\n", "x\xFC"},
        {"\x9F\r\r\n", "\x9F\r"},
        {"\x82\xA0\x82\r\n\xE0\r\n", "\x82\xA0\x82\n\xE0\n"},
        {"/* \x81*/ \x81\r\n{\x81\r\n}\x81\r\n", "/* \x81*/ \x81\n{\x81\n}\x81"},
        {std::string_view("\x81\0\r\n", 4), std::string_view("\x81\0", 2)},
    };
    ConvertSettings off;
    off.indentOn = false;
    for (bool overwrite : {true, false}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(::testing::Message() << (overwrite ? "overwrite " : "sub-folder ")
                                              << ::testing::PrintToString(std::string(c.input)));
            TempDir dir;
            WriteFile(dir / "b.c", std::string(c.input));
            EXPECT_EQ(Box(text::kAllConverted),
                      RunAll(dir.path(), "*.c", overwrite, EverythingOff(), off));
            EXPECT_EQ(c.expected, ReadFile(dir / (overwrite ? "b.c" : "NewFolder/b.c")));
            // With every stage on the file is what the in-memory conversion makes of it.
            for (int mode = 0; mode < 4; ++mode) {
                WriteFile(dir / "b.c", std::string(c.input));
                RunAll(dir.path(), "*.c", overwrite, EverythingOn(mode));
                EXPECT_EQ(Converted(c.input, "b.c", EverythingOn(mode)),
                          ReadFile(dir / (overwrite ? "b.c" : "NewFolder/b.c")))
                    << "comment mode " << mode;
            }
        }
    }
}

TEST(BadInput, TenMegabyteLineAndMillionLines) {
    // Mostly plain code, with a full-width space, a double-byte character and a comment in
    // every megabyte.
    std::string longLine;
    std::string longLineTidy; // full-width spaces made two spaces
    while (longLine.size() < 10 << 20) {
        const size_t mark = longLine.size() + (1 << 20);
        longLine += "x = \x81\x40 a; /* \x82\xA0 */ ";
        longLineTidy += "x =    a; /* \x82\xA0 */ ";
        while (longLine.size() < mark) {
            longLine += "y = b + c; ";
            longLineTidy += "y = b + c; ";
        }
    }
    std::string manyLines;
    for (int i = 0; i < 1000000; ++i)
        manyLines += i % 3 ? "a;\n" : "\n";
    struct Case {
        const char* name;
        const std::string& input;
        int commentMode;
    };
    const Case cases[] = {
        {"long line, comments kept", longLine, 0},
        {"long line, comments split off", longLine, 3},
        {"million lines, comments to line", manyLines, 1},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FormatOptions options;
        options.commentMode = c.commentMode;
        WriteFile(dir / "big.c", c.input);
        EXPECT_EQ(Box(text::kAllConverted), RunAll(dir.path(), "*.c", true, options));
        EXPECT_EQ("",
                  FirstDifference(Converted(c.input, "big.c", options), ReadFile(dir / "big.c")));
    }
    // The one line, trimmed, and the lines, collapsed, as they must come out.
    WriteFile(dir / "big.c", longLine + "\n");
    RunAll(dir.path(), "*.c", true);
    longLineTidy.pop_back(); // the trailing blank
    EXPECT_EQ("", FirstDifference(longLineTidy + "\r\n", ReadFile(dir / "big.c")));
    WriteFile(dir / "big.c", manyLines);
    RunAll(dir.path(), "*.c", true);
    std::string collapsed;
    for (int i = 0; i < 1000000; ++i)
        collapsed += i % 3 ? "a;\r\n" : "\r\n";
    EXPECT_EQ("", FirstDifference(collapsed, ReadFile(dir / "big.c")));
}

// Names are file-system bytes: they are listed, converted and named by %filename% as they are
// (UTF-8 names in code page 932 where they can be).
TEST(BadInput, OddFileNamesAreConvertedLikeAnyOther) {
    const std::string names[] = {
        "with space.c", "quote'\".c", "-dash.c", "--overwrite.c", "new\nline.c",
        "\xFF\xFE.c",   "\x81.c",     "表.c",    " lead.c",       "back\\slash.c",
    };
    FormatOptions options;
    options.searchText = "NAME";
    options.replaceText = "%filename%";
    options.replaceOrDelete = 1;
    for (bool overwrite : {true, false}) {
        SCOPED_TRACE(overwrite ? "overwrite" : "sub-folder");
        TempDir dir;
        for (const std::string& name : names)
            WriteFile(dir / name, "NAME  \n");
        EXPECT_EQ(Box(text::kAllConverted), RunAll(dir.path(), "*.c", overwrite, options));
        for (const std::string& name : names) {
            const std::string out = dir / (overwrite ? name : "NewFolder/" + name);
            // A newline in the name is written as a line end of the file's style.
            std::string expected = NameOnlyFor(name);
            if (size_t lf = expected.find('\n'); lf != std::string::npos)
                expected.insert(lf, "\r");
            EXPECT_EQ(expected + "\r\n", ReadFile(out)) << name;
        }
        EXPECT_EQ("\x95\x5c.c\r\n", ReadFile(dir / (overwrite ? "表.c" : "NewFolder/表.c")));
        // Nothing else: no temporary file, no output under a mangled name.
        EXPECT_EQ(overwrite ? std::size(names) : 2 * std::size(names) + 1,
                  Snapshot(dir.path()).size());
    }
}

// A template that is not a small regular file counts as missing: it is never read without end
// (a device), never waited for (a pipe), and never copied into every file when it is huge.
TEST(BadInput, TemplateThatIsNoSmallFileIsMissing) {
    TempDir dir;
    WriteFile(dir / "a.c", "  a;\n");
    ::mkfifo((dir / "pipe.txt").c_str(), 0644);
    ::mkdir((dir / "folder.txt").c_str(), 0755);
    const std::string largest(1 << 20, 'T'); // 1 MiB, no line end
    WriteFile(dir / "largest.txt", largest);
    WriteFile(dir / "over.txt", largest + "T");
    struct Case {
        std::string path;
        bool used;
    };
    const Case cases[] = {
        {"/dev/zero", false},      {dir / "pipe.txt", false},   {dir / "folder.txt", false},
        {dir / "over.txt", false}, {dir / "largest.txt", true}, {dir / "missing.txt", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        FormatOptions options;
        options.insertHeaderTemplate = 1;
        options.templatePath = c.path;
        const auto calls = CaptureInChild(
            [&] {
                BatchRequest request;
                request.folderPath = dir.path();
                request.entries = {"a.c"};
                request.selectedIndex = 0;
                RecordingPrompter prompter;
                RunBatch(request, options, ConvertSettings{}, prompter);
                return DescribeCalls(prompter.calls());
            },
            60);
        ASSERT_TRUE(calls.has_value()) << "the template was read without end";
        EXPECT_EQ((c.used ? "" : Box(text::kTemplateMissing)) + Box(text::kSelectedConverted),
                  *calls);
        EXPECT_EQ((c.used ? largest + "\r\n" : "") + "a;\r\n", ReadFile(dir / "NewFolder/a.c"));
    }
}

// A line over 64 MiB fails its file with a message of its own, the last one too; the batch goes
// on, and the file is left as it was. A line of exactly 64 MiB is still converted.
TEST(BadInput, LineOverTheLimitFailsItsFileAndTheBatchGoesOn) {
    TempDir dir;
    WriteFile(dir / "a.c", "  a;\n");
    {
        std::ofstream out(dir / "big.c", std::ios::binary);
        out << std::string(kMaxLineLength + 1, 'x') << "\n  after;\n";
        std::ofstream edge(dir / "edge.c", std::ios::binary);
        edge << std::string(kMaxLineLength, 'y') << "\r\n  after;\n";
        std::ofstream last(dir / "last.c", std::ios::binary); // its line end is the file's end
        last << std::string(kMaxLineLength, 'w');
        std::ofstream longLast(dir / "long.c", std::ios::binary);
        longLast << std::string(kMaxLineLength + 1, 'v');
    }
    WriteFile(dir / "z.c", "  z;\n");
    for (bool overwrite : {true, false}) {
        SCOPED_TRACE(overwrite ? "overwrite" : "sub-folder");
        struct stat before;
        ASSERT_EQ(0, ::stat((dir / "big.c").c_str(), &before));
        EXPECT_EQ(Box(FormatText(text::kLineTooLong, dir / "big.c")) +
                      Box(FormatText(text::kLineTooLong, dir / "long.c")),
                  RunAll(dir.path(), "*.c", overwrite));
        struct stat after;
        ASSERT_EQ(0, ::stat((dir / "big.c").c_str(), &after));
        EXPECT_EQ(before.st_ino, after.st_ino);
        EXPECT_EQ(before.st_size, after.st_size);
        const std::string out = overwrite ? dir.path() : dir / "NewFolder";
        EXPECT_EQ("z;\r\n", ReadFile(out + "/z.c"));
        EXPECT_EQ("a;\r\n", ReadFile(out + "/a.c"));
        EXPECT_EQ(static_cast<uintmax_t>(kMaxLineLength + 2 + 8),
                  std::filesystem::file_size(out + "/edge.c"));
        EXPECT_EQ(static_cast<uintmax_t>(kMaxLineLength + 2),
                  std::filesystem::file_size(out + "/last.c"));
        EXPECT_FALSE(FileExists(dir / "NewFolder/big.c"));
        EXPECT_FALSE(FileExists(dir / "NewFolder/long.c"));
        EXPECT_EQ(std::vector<std::string>{}, TemporaryFiles(dir.path()));
    }
}

// Memory that runs out on one file fails that file alone: the batch goes on, the file is left
// as it was and its temporary file goes.
TEST(BadInput, AllocationFailureFailsOneFileAndTheBatchGoesOn) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves its shadow memory: an address-space limit "
                    "cannot single out one file";
#endif
    for (bool overwrite : {true, false}) {
        SCOPED_TRACE(overwrite ? "overwrite" : "sub-folder");
        TempDir dir;
        WriteFile(dir / "a.c", "  a;\n");
        const std::string big = std::string(40 << 20, 'x') + "  \n";
        WriteFile(dir / "big.c", big);
        WriteFile(dir / "z.c", "  z;\n");
        const auto calls = CaptureInChild([&] {
            // Large blocks come from fresh mappings, and the free top of the heap goes back, so
            // that what earlier tests in this process freed does not lift the limit below.
            ::mallopt(M_MMAP_THRESHOLD, 1 << 20);
            ::malloc_trim(0);
            // Room for small files only: the address space in use plus 24 MiB.
            std::ifstream statm("/proc/self/statm");
            size_t pages = 0;
            statm >> pages;
            const rlim_t limit = pages * ::sysconf(_SC_PAGESIZE) + (24 << 20);
            const rlimit rl{limit, limit};
            if (::setrlimit(RLIMIT_AS, &rl) != 0)
                return std::string("setrlimit failed");
            return RunAll(dir.path(), "*.c", overwrite);
        });
        ASSERT_TRUE(calls.has_value());
        EXPECT_EQ(Box(FormatText(text::kOutOfMemory, dir / "big.c")), *calls);
        EXPECT_EQ("", FirstDifference(big, ReadFile(dir / "big.c")));
        const std::string out = overwrite ? dir.path() : dir / "NewFolder";
        EXPECT_EQ("a;\r\n", ReadFile(out + "/a.c"));
        EXPECT_EQ("z;\r\n", ReadFile(out + "/z.c"));
        EXPECT_FALSE(FileExists(dir / "NewFolder/big.c"));
        EXPECT_EQ(std::vector<std::string>{}, TemporaryFiles(dir.path()));
    }
}

} // namespace
} // namespace srctdy
