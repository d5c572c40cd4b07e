// srctdy-cli killed (SIGKILL) at random points of an overwrite batch: every file must be its
// old text or its whole converted text, and only the temporary file being written (one per
// job) may be left. A second run then finishes the work. Interrupted (SIGINT, SIGTERM,
// SIGHUP) instead, it leaves no temporary file at all and exits with 128 + the signal.

#include "support/reliability_support.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace srctdy {
namespace {

using namespace srctdy::testing;
using Clock = std::chrono::steady_clock;

struct Batch {
    std::vector<std::string> names;
    std::vector<std::string> texts;
    std::vector<std::string> converted;
};

// Sources of many sizes, the odd one already tidy (it must never be rewritten).
Batch MakeBatch() {
    Batch batch;
    const size_t sizes[] = {500, 3000, 20000, 60000, 150000, 8000};
    for (unsigned i = 0; i < 24; ++i) {
        std::string name = "f" + std::to_string(10 + i) + ".c";
        std::string text = SourceText(sizes[i % std::size(sizes)], i + 100);
        if (i % 7 == 3)
            text = Converted(text, name);
        batch.converted.push_back(Converted(text, name));
        batch.names.push_back(std::move(name));
        batch.texts.push_back(std::move(text));
    }
    return batch;
}

void WriteBatch(const std::string& folder, const Batch& batch) {
    for (size_t i = 0; i < batch.names.size(); ++i)
        WriteFile(folder + "/" + batch.names[i], batch.texts[i]);
}

pid_t StartCli(const std::vector<std::string>& args) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
        std::vector<char*> argv{const_cast<char*>(SRCTDY_CLI_PATH)};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(SRCTDY_CLI_PATH, argv.data());
        ::_exit(127);
    }
    return pid;
}

int Wait(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

// What is wrong with folder after a run that may have been killed with jobs files in hand;
// counts the files found converted.
std::string Check(const std::string& folder, const Batch& batch,
                  const std::vector<ino_t>& tidyInodes, size_t jobs, size_t& convertedCount) {
    std::string problems;
    convertedCount = 0;
    for (size_t i = 0; i < batch.names.size(); ++i) {
        const std::string path = folder + "/" + batch.names[i];
        const std::string now = ReadFile(path);
        if (now == batch.converted[i])
            ++convertedCount;
        else if (now != batch.texts[i])
            problems += batch.names[i] + " is neither its old nor its converted text\n";
        struct stat st;
        if (batch.texts[i] == batch.converted[i] &&
            (::stat(path.c_str(), &st) != 0 || st.st_ino != tidyInodes[i]))
            problems += batch.names[i] + " was tidy but has been rewritten\n";
    }
    const std::vector<std::string> temps = TemporaryFiles(folder);
    if (temps.size() > jobs)
        problems += std::to_string(temps.size()) + " temporary files left\n";
    for (const std::string& temp : temps) {
        // A temporary file holds the start of one file's converted text.
        const std::string bytes = ReadFile(folder + "/" + temp);
        bool prefix = false;
        for (const std::string& converted : batch.converted)
            prefix = prefix || converted.compare(0, bytes.size(), bytes) == 0;
        if (!prefix)
            problems += temp + " holds no converted text\n";
    }
    return problems;
}

TEST(KilledBatch, EveryFileIsOldOrConvertedAndOneTemporaryFileAtMost) {
    const Batch batch = MakeBatch();
    for (size_t i = 0; i < batch.names.size(); ++i)
        ASSERT_EQ(batch.converted[i], Converted(batch.converted[i], batch.names[i]))
            << batch.names[i] << ": a second run could not finish the work";
    TempDir dir;
    const std::string folder = dir / "src";
    ::mkdir(folder.c_str(), 0755);

    // An undisturbed run shows how long a run lasts, so that the kills spread over it.
    WriteBatch(folder, batch);
    const auto start = Clock::now();
    const int status = Wait(StartCli({"--overwrite", "-j1", folder}));
    const auto runTime = Clock::now() - start;
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    for (size_t i = 0; i < batch.names.size(); ++i)
        ASSERT_EQ(batch.converted[i], ReadFile(folder + "/" + batch.names[i])) << batch.names[i];

    std::mt19937 random(20240601);
    size_t kills = 0, caughtMidway = 0, tempsLeft = 0;
    for (int round = 0; round < 36; ++round) {
        const size_t jobs = round % 4 == 3 ? 2 : 1;
        SCOPED_TRACE(::testing::Message() << "round " << round << ", -j" << jobs);
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
        ::mkdir(folder.c_str(), 0755);
        WriteBatch(folder, batch);
        std::vector<ino_t> inodes;
        for (const std::string& name : batch.names) {
            struct stat st {};
            ::stat((folder + "/" + name).c_str(), &st);
            inodes.push_back(st.st_ino);
        }

        const pid_t pid = StartCli({"--overwrite", "-j" + std::to_string(jobs), folder});
        std::this_thread::sleep_for(runTime * (random() % 1100) / 1000);
        ::kill(pid, SIGKILL);
        const int ended = Wait(pid);
        kills += WIFSIGNALED(ended);

        size_t converted = 0;
        EXPECT_EQ("", Check(folder, batch, inodes, jobs, converted));
        tempsLeft += !TemporaryFiles(folder).empty();
        caughtMidway += WIFSIGNALED(ended) && converted > 0 && converted < batch.names.size();
        if (WIFEXITED(ended)) {
            EXPECT_EQ(0, WEXITSTATUS(ended));
            EXPECT_EQ(batch.names.size(), converted);
        }

        // A temporary file is only a leftover: the next run finishes the work beside it.
        if (round % 6 == 0) {
            const int again = Wait(StartCli({"--overwrite", "-j1", folder}));
            EXPECT_TRUE(WIFEXITED(again) && WEXITSTATUS(again) == 0);
            EXPECT_EQ("", Check(folder, batch, inodes, jobs, converted));
            EXPECT_EQ(batch.names.size(), converted);
        }
    }
    RecordProperty("kills", static_cast<int>(kills));
    RecordProperty("caughtMidway", static_cast<int>(caughtMidway));
    RecordProperty("temporaryFilesLeft", static_cast<int>(tempsLeft));
    EXPECT_GT(kills, 0u); // the rounds did kill runs, they did not only watch them end
}

// Whether folder holds a temporary file, looked up by name only (cheap enough to poll).
bool HoldsTemporaryFile(const std::string& folder) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        if (entry.path().filename().string().rfind("srctdy_temp.", 0) == 0)
            return true;
    return false;
}

TEST(InterruptedBatch, SignalsRemoveEveryTemporaryFileAndExitWith128PlusTheSignal) {
    // Files large enough to be caught in the middle, one per job.
    const std::string big = SourceText(12 << 20, 7);
    const std::string bigConverted = Converted(big, "big1.c");
    struct Case {
        int signal;
        bool overwrite;
        const char* jobs;
    };
    const Case cases[] = {
        {SIGTERM, true, "-j1"},  {SIGINT, true, "-j2"},  {SIGHUP, true, "-j1"},
        {SIGTERM, false, "-j2"}, {SIGINT, false, "-j1"}, {SIGHUP, false, "-j2"},
    };
    TempDir dir;
    const std::string folder = dir / "src";
    size_t caught = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "signal " << c.signal << (c.overwrite ? " overwrite " : " sub-folder ")
                     << c.jobs);
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
        ::mkdir(folder.c_str(), 0755);
        WriteFile(folder + "/big1.c", big);
        WriteFile(folder + "/big2.c", big);
        std::vector<std::string> args = {c.jobs, folder};
        if (c.overwrite)
            args.insert(args.begin(), "--overwrite");
        const pid_t pid = StartCli(args);
        // Wait for a file in progress, then interrupt.
        const auto deadline = Clock::now() + std::chrono::seconds(30);
        bool inProgress = false;
        while (!inProgress && Clock::now() < deadline) {
            inProgress = HoldsTemporaryFile(folder) || HoldsTemporaryFile(folder + "/NewFolder");
            if (!inProgress)
                std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        ::kill(pid, c.signal);
        const int status = Wait(pid);
        if (!inProgress)
            continue;
        ++caught;
        EXPECT_TRUE(WIFEXITED(status)) << "ended by the signal itself";
        EXPECT_EQ(128 + c.signal, WEXITSTATUS(status));
        EXPECT_EQ(std::vector<std::string>{}, TemporaryFiles(folder));
        for (const char* name : {"/big1.c", "/big2.c"}) {
            const std::string now = ReadFile(folder + name);
            EXPECT_TRUE(now == big || (c.overwrite && now == bigConverted)) << name;
            const std::string output = folder + "/NewFolder" + name;
            if (!c.overwrite && FileExists(output)) {
                EXPECT_EQ("", FirstDifference(bigConverted, ReadFile(output)));
            }
        }
    }
    RecordProperty("caughtInProgress", static_cast<int>(caught));
    EXPECT_GE(caught, 4u); // the rounds really interrupted files in progress
}

} // namespace
} // namespace srctdy
