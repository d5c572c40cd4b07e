// Writes that fail part way through a batch: the file-size limit and a full file system. Each
// file must end up either exactly as before or exactly converted, and no temporary file may
// be left behind.

#include "batch/batch_run.h"
#include "batch/file_list.h"
#include "engine/convert_file.h"
#include "platform/scripted_prompter.h"
#include "platform/string_table.h"
#include "support/nobody_capture.h"
#include "support/reliability_support.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/statvfs.h>

namespace srctdy {
namespace {

using namespace srctdy::testing;

constexpr size_t kSizes[] = {0, 900, 9000, 70000, 140000, 250000};

// The sources of a batch (f0.c, f1.c, ...) and what they convert to.
struct Sources {
    std::vector<std::string> texts;
    std::vector<std::string> converted;

    explicit Sources(size_t count = std::size(kSizes)) {
        for (size_t i = 0; i < count; ++i) {
            texts.push_back(
                SourceText(kSizes[i % std::size(kSizes)], static_cast<unsigned>(i + 1)));
            converted.push_back(Converted(texts.back(), name(i)));
        }
    }
    static std::string name(size_t i) { return "f" + std::to_string(i) + ".c"; }
    void write(const std::string& folder) const {
        for (size_t i = 0; i < texts.size(); ++i)
            WriteFile(folder + "/" + name(i), texts[i]);
    }
};

BatchRequest AllFiles(const std::string& folder, bool overwrite) {
    BatchRequest request;
    request.folderPath = folder;
    request.fileType = "*.c";
    request.entries = ListFiles(folder, "*.c");
    request.allFiles = true;
    request.overwrite = overwrite;
    return request;
}

// What is wrong with folder after a batch in which each file either failed or was converted
// (converted[i]); empty when nothing is. Inputs of sub-folder output must be untouched.
std::string CheckOutcome(const std::string& folder, const Sources& sources,
                         const std::vector<bool>& converted, bool overwrite) {
    std::string problems;
    for (size_t i = 0; i < sources.texts.size(); ++i) {
        const std::string name = Sources::name(i);
        const std::string input = ReadFile(folder + "/" + name);
        const std::string output = folder + "/NewFolder/" + name;
        if (overwrite && input != (converted[i] ? sources.converted[i] : sources.texts[i]))
            problems += name + (converted[i] ? " not converted\n" : " damaged\n");
        if (!overwrite && input != sources.texts[i])
            problems += name + " input changed\n";
        if (!overwrite && converted[i] && ReadFile(output) != sources.converted[i])
            problems += name + " output wrong\n";
        if (!overwrite && !converted[i] && FileExists(output))
            problems += name + " failed but left an output\n";
    }
    for (const std::string& temp : TemporaryFiles(folder))
        problems += temp + " left behind\n";
    return problems;
}

TEST(WriteFaults, FileSizeLimitPartWayThroughABatchLosesNothing) {
    // Below, at and above the writer's flush size, and above every file.
    const rlim_t limits[] = {0, 1, 1000, 65536, 128 * 1024, 128 * 1024 + 1, 200000, 1 << 20};
    const Sources sources;
    int failures = 0;
    for (bool overwrite : {true, false}) {
        for (rlim_t limit : limits) {
            SCOPED_TRACE(::testing::Message() << "overwrite " << overwrite << " limit " << limit);
            TempDir dir;
            sources.write(dir.path());
            const BatchRequest request = AllFiles(dir.path(), overwrite);
            std::vector<bool> converted;
            std::string expectedCalls;
            for (size_t i = 0; i < sources.texts.size(); ++i) {
                converted.push_back(sources.converted[i].size() <= limit);
                if (!converted.back()) {
                    expectedCalls += Box(FormatText(text::kWriteError, dir / Sources::name(i)));
                    ++failures;
                }
            }
            if (expectedCalls.empty())
                expectedCalls = Box(text::kAllConverted);

            const auto calls = CaptureInChild([&] {
                ::signal(SIGXFSZ, SIG_IGN); // the write fails with EFBIG instead
                const rlimit rl{limit, limit};
                if (::setrlimit(RLIMIT_FSIZE, &rl) != 0)
                    return std::string("setrlimit failed");
                RecordingPrompter prompter;
                RunBatch(request, FormatOptions{}, ConvertSettings{}, prompter);
                return DescribeCalls(prompter.calls());
            });
            ASSERT_TRUE(calls.has_value());
            EXPECT_EQ(expectedCalls, *calls);
            EXPECT_EQ("", CheckOutcome(dir.path(), sources, converted, overwrite));
        }
    }
    RecordProperty("failedWrites", failures);
    EXPECT_GT(failures, 40); // the table really makes writes fail
}

// Mounts a small tmpfs over folder in a mount namespace of its own; the reason when that
// cannot be done here.
std::string MountSmallFileSystem(const std::string& folder, size_t bytes) {
    if (::unshare(CLONE_NEWNS) != 0)
        return std::string("unshare(CLONE_NEWNS): ") + std::strerror(errno);
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return std::string("making mounts private: ") + std::strerror(errno);
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
    if (::mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) != 0)
        return std::string("mount tmpfs: ") + std::strerror(errno);
    return {};
}

size_t FreeBytes(const std::string& folder) {
    struct statvfs vfs;
    return ::statvfs(folder.c_str(), &vfs) == 0 ? vfs.f_bavail * vfs.f_frsize : 0;
}

// Leaves about free bytes free in folder with a filler file.
void FillUpTo(const std::string& folder, size_t free) {
    const size_t available = FreeBytes(folder);
    if (available > free)
        WriteFile(folder + "/filler", std::string(available - free, 'x'));
}

// One batch of sources on the small file system with about free bytes left: the problems
// found, and in failed the number of files that could not be converted.
std::string RunOnFullDisk(const std::string& small, const Sources& sources, bool overwrite,
                          size_t free, size_t& failed) {
    const std::string folder = small + "/f";
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    ::unlink((small + "/filler").c_str());
    ::mkdir(folder.c_str(), 0755);
    sources.write(folder);
    FillUpTo(small, free);

    RecordingPrompter prompter;
    const BatchOutcome outcome =
        RunBatch(AllFiles(folder, overwrite), FormatOptions{}, ConvertSettings{}, prompter);

    // Which files fit is up to the space; that each is either converted or untouched is not.
    std::vector<bool> converted;
    size_t nonEmpty = 0;
    failed = 0;
    for (size_t i = 0; i < sources.texts.size(); ++i) {
        const std::string result = folder + (overwrite ? "/" : "/NewFolder/") + Sources::name(i);
        converted.push_back(FileExists(result) && ReadFile(result) == sources.converted[i]);
        failed += !converted.back();
        nonEmpty += !sources.converted[i].empty();
    }
    std::string problems = CheckOutcome(folder, sources, converted, overwrite);
    const size_t messages = prompter.calls().size() - (outcome == BatchOutcome::Converted);
    if (failed != messages)
        problems += std::to_string(failed) + " failed, " + std::to_string(messages) + " reported\n";
    if (free == 0 && failed != nonEmpty)
        problems += "files converted on a full file system\n";
    if (free >= 1000000 && failed != 0)
        problems += "files failed with room to spare\n";
    return problems;
}

TEST(WriteFaults, FullFileSystemPartWayThroughABatchLosesNothing) {
    TempDir dir;
    const std::string small = dir / "small";
    ::mkdir(small.c_str(), 0755);
    // Free space from none to more than two converted files, by pages and between pages.
    const size_t frees[] = {0, 4096, 6000, 20000, 45000, 80000, 150000, 300000, 1000000};
    const Sources sources(8);
    size_t failures = 0;
    const auto report = CaptureInChild([&]() -> std::string {
        const std::string why = MountSmallFileSystem(small, 3 << 20);
        if (!why.empty())
            return "skip: " + why;
        std::string problems;
        size_t total = 0;
        for (bool overwrite : {true, false}) {
            for (size_t free : frees) {
                size_t failed = 0;
                const std::string found = RunOnFullDisk(small, sources, overwrite, free, failed);
                total += failed;
                if (!found.empty())
                    problems += (overwrite ? "overwrite" : "sub-folder") + std::string(", free ") +
                                std::to_string(free) + ":\n" + found;
            }
        }
        return std::to_string(total) + "\n" + problems;
    });
    ASSERT_TRUE(report.has_value());
    if (report->rfind("skip: ", 0) == 0)
        GTEST_SKIP() << "no small file system can be mounted here (" << report->substr(6) << ")";
    const size_t newline = report->find('\n');
    failures = std::stoul(report->substr(0, newline));
    EXPECT_EQ("", report->substr(newline + 1));
    RecordProperty("failedWrites", static_cast<int>(failures));
    EXPECT_GT(failures, 20u); // the space really ran out
}

} // namespace
} // namespace srctdy
