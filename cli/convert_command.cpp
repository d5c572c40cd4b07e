#include "cli/convert_command.h"

#include "batch/unified_diff.h"
#include "cli/file_options.h"
#include "cli/file_walk.h"
#include "cli/message_line.h"
#include "cli/progress_line.h"
#include "cli/rename_command.h"
#include "engine/convert_file.h"
#include "engine/file_checks.h"
#include "engine/line_reader.h"
#include "engine/line_writer.h"
#include "platform/message_catalogue.h"
#include "platform/prompter.h"
#include "platform/string_table.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace srctdy {

namespace {

// Collects a file's messages so that they can be written prefixed with its path. The command
// line never asks: a question gets the answer that goes on with the work.
class CollectingPrompter : public Prompter {
public:
    PromptAnswer ask(std::string_view text, PromptIcon, PromptButtons buttons) override {
        messages.emplace_back(text);
        return buttons == PromptButtons::Ok ? PromptAnswer::Ok : PromptAnswer::No;
    }
    std::vector<std::string> messages;
};

enum class Outcome { Converted, Unchanged, Failed };

// One file's work and everything it has to say.
struct Job {
    FileEntry file;
    ConversionOptions options; // the command line over the file's configuration
    Outcome outcome = Outcome::Failed;
    int commentsLeft = 0;
    CollectingPrompter prompter;
    std::string output;                   // standard output text, when it is held back for ordering
    std::optional<TextEncoding> encoding; // the encoding the file was taken in, once known
};

// The whole of a regular file, or nothing when it cannot be read.
std::optional<std::string> ReadWhole(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return std::nullopt;
    struct stat st;
    std::optional<std::string> bytes;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        bytes.emplace();
        char buffer[1 << 16];
        for (;;) {
            ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                bytes.reset();
            if (n <= 0)
                break;
            bytes->append(buffer, static_cast<size_t>(n));
        }
    }
    ::close(fd);
    return bytes;
}

// All of standard input (the encoding is decided on the whole before any line is converted),
// or nothing on a read error or a line over the length limit (tooLong says which). It is read
// through the same reader as a file, so that the same limit holds.
std::optional<std::string> ReadStandardInput(bool& tooLong) {
    std::optional<std::string> bytes(std::in_place);
    LineReader reader(0);
    std::string_view line;
    while (reader.next(line)) {
        bytes->append(line);
        bytes->append(reader.lineEnd());
    }
    tooLong = reader.lineTooLong();
    if (reader.failed())
        bytes.reset();
    return bytes;
}

// The reason standard input could not be taken, for a read error reported as failed.
std::string StandardInputFailure(bool tooLong, std::string_view failed) {
    return tooLong ? FormatText(text::kLineTooLong, "-") : std::string(failed);
}

// --check without --diff on a file: converted as for --stdout, compared piece by piece with the
// file's bytes rather than read whole beside the output.
void CheckFileJob(Job& job) {
    const int fd = ::open(job.file.path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    ComparingSink sink(nullptr, fd); // compares only: holds no text of its own
    ConvertExtras extras;
    const int result = ConvertFileToSink(job.file.path, sink, job.options.format,
                                         job.options.settings, job.prompter, &extras);
    job.commentsLeft = extras.commentsLeft;
    struct stat st;
    if (result == kConverted && fd >= 0 && ::fstat(fd, &st) == 0) {
        job.encoding = extras.encoding;
        job.outcome = sink.matched(st.st_size) ? Outcome::Unchanged : Outcome::Converted;
    }
    if (fd >= 0)
        ::close(fd);
}

// --check and --diff: converts in memory and compares; writes nothing.
void CheckJob(const CliOptions& options, Job& job) {
    if (!options.diff && job.file.path != "-") {
        CheckFileJob(job);
        return;
    }
    bool tooLong = false;
    std::optional<std::string> input =
        job.file.path == "-" ? ReadStandardInput(tooLong) : ReadWhole(job.file.path);
    if (!input) {
        job.prompter.messages.push_back(StandardInputFailure(tooLong, text::kInputOpenError));
        return;
    }
    std::string name = job.file.path == "-" ? options.assumeFilename.value_or("") : job.file.path;
    std::string converted;
    ConvertExtras extras;
    if (ConvertBytes(*input, name, converted, job.options.format, job.options.settings,
                     job.prompter, &extras) != kConverted) {
        job.commentsLeft = extras.commentsLeft;
        return;
    }
    job.commentsLeft = extras.commentsLeft;
    job.encoding = extras.encoding;
    job.outcome = converted == *input ? Outcome::Unchanged : Outcome::Converted;
    if (options.diff && job.outcome == Outcome::Converted)
        job.output = UnifiedDiff(*input, converted, name.empty() ? job.file.path : name);
}

// The file standard output writes to, when it is a regular file: writing a file into itself
// would feed on its own output.
std::optional<std::pair<dev_t, ino_t>> StdoutFile() {
    struct stat st;
    if (::fstat(1, &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return std::make_pair(st.st_dev, st.st_ino);
}

bool IsStdoutFile(const CliOptions& options, const std::string& path) {
    static const std::optional<std::pair<dev_t, ino_t>> output = StdoutFile();
    struct stat st;
    if ((!options.toStdout && path != "-") || !output ||
        (path == "-" ? ::fstat(0, &st) : ::stat(path.c_str(), &st)) != 0)
        return false;
    return st.st_dev == output->first && st.st_ino == output->second;
}

// Converts one file. Text meant for standard output goes to sink.
// folderChecks: the run's folder look-ups, one set for each thread.
void RunJob(const CliOptions& options, Job& job, ByteSink& sink, FolderChecks& folderChecks) {
    if (!job.file.error.empty()) {
        job.prompter.messages.push_back(job.file.error);
        return;
    }
    if (IsStdoutFile(options, job.file.path)) {
        job.prompter.messages.emplace_back(text::kCliOutputIsInput);
        return;
    }
    // Reading counts too: a link out of the tree would show another file's text.
    if ((options.check || options.toStdout) && !job.file.treeRoot.empty() &&
        folderChecks.leadsOut(job.file.path, job.file.treeRoot)) {
        job.prompter.messages.push_back(FormatText(text::kOutsideFolder, job.file.path));
        return;
    }
    if (options.check) {
        CheckJob(options, job);
        return;
    }
    ConvertExtras extras;
    if (job.file.path == "-") {
        bool tooLong = false;
        std::optional<std::string> input = ReadStandardInput(tooLong);
        if (!input) {
            job.prompter.messages.push_back(StandardInputFailure(tooLong, text::kCliReadError));
            return;
        }
        std::string converted;
        if (ConvertBytes(*input, options.assumeFilename.value_or(""), converted, job.options.format,
                         job.options.settings, job.prompter, &extras) != kConverted) {
            job.commentsLeft = extras.commentsLeft;
            return;
        }
        job.commentsLeft = extras.commentsLeft;
        job.encoding = extras.encoding;
        if (!sink.write(converted)) {
            job.prompter.messages.emplace_back(text::kCliWriteError);
            return;
        }
        job.outcome = Outcome::Converted;
        return;
    }
    extras.outputFolder = job.file.outputFolder;
    extras.treeRoot = job.file.treeRoot;
    extras.folderChecks = &folderChecks;
    extras.sync = options.sync;
    const FormatOptions& format = job.options.format;
    const ConvertSettings& settings = job.options.settings;
    int result = options.toStdout ? ConvertFileToSink(job.file.path, sink, format, settings,
                                                      job.prompter, &extras)
                                  : ConvertFile(job.file.path, options.overwrite, format, settings,
                                                job.prompter, &extras);
    job.commentsLeft = extras.commentsLeft;
    if (result == kConverted)
        job.encoding = extras.encoding;
    job.outcome = result != kConverted ? Outcome::Failed
                  : extras.unchanged   ? Outcome::Unchanged
                                       : Outcome::Converted;
}

class Reporter {
public:
    Reporter(const CliOptions& options, std::ostream& err, ProgressLine* progress)
        : options_(options), err_(err), progress_(progress) {}

    void report(Job& job) {
        const bool failed = job.outcome == Outcome::Failed;
        // Messages of a file that went through are warnings; --quiet keeps failures only.
        if (failed || !options_.quiet) {
            for (const std::string& message : job.prompter.messages)
                line(job.file.path, message);
        }
        if (options_.verbose && job.commentsLeft > 0)
            line(job.file.path,
                 FormatText(text::kCliCommentsLeft, std::to_string(job.commentsLeft)));
        if (options_.check && job.outcome == Outcome::Converted && !options_.quiet)
            line(job.file.path, withEncoding(text::kCliWouldChange, job));
        else if (options_.verbose && !failed)
            line(job.file.path,
                 withEncoding(job.outcome == Outcome::Unchanged
                                  ? (options_.check ? text::kCliTidy : text::kCliUnchanged)
                                  : text::kCliConverted,
                              job));
        ++counts_[static_cast<int>(job.outcome)];
    }

    void summary() {
        if (progress_)
            progress_->erase();
        if (!options_.verbose)
            return;
        const std::string changed = std::to_string(counts_[0]);
        const std::string unchanged = std::to_string(counts_[1]);
        const std::string failed = std::to_string(counts_[2]);
        err_ << FormatText(CliText(options_.check ? text::kCliCheckSummary : text::kCliSummary),
                           {changed, unchanged, failed})
             << "\n";
    }

    int status() const {
        if (options_.check)
            return counts_[2] ? 2 : counts_[0] ? 1 : 0;
        return counts_[2] ? 1 : 0;
    }

private:
    // --verbose names the encoding each file was taken in.
    std::string withEncoding(std::string_view status, const Job& job) const {
        // Each piece is looked up in the catalogue on its own: the joined text is no message.
        std::string out = CliText(status);
        if (options_.verbose && job.encoding)
            out += CliText(*job.encoding == TextEncoding::Utf8 ? text::kCliUtf8 : text::kCliCp932);
        return out;
    }

    void line(const std::string& path, std::string_view text) {
        if (progress_)
            progress_->erase();
        WriteMessageLine(err_, path, text);
    }

    const CliOptions& options_;
    std::ostream& err_;
    ProgressLine* progress_;
    int counts_[3] = {0, 0, 0};
};

// The size of a file, for the progress line; 0 when it cannot be looked at.
uint64_t FileSize(const std::string& path) {
    struct stat st;
    return path != "-" && ::stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

} // namespace

int RunConversion(const CliOptions& options, std::ostream& err, unsigned progressWidth) {
    FileOptions fileOptions(options);
    WalkOptions walk;
    walk.fileTypes = options.fileTypes;
    walk.recursive = options.recursive;
    walk.excludes = options.excludes;
    walk.subFolderName = options.settings.subFolderName;
    walk.followLinks = options.followLinks;
    walk.rulesFor = [&](const std::string& folder) { return fileOptions.rulesFor(folder); };
    std::vector<FileEntry> files = ExpandPaths(options.paths, walk);
    std::vector<Job> jobs(files.size());
    // Every file's options are settled before the first is converted: a bad configuration
    // converts nothing.
    for (size_t i = 0; i < files.size() && fileOptions.error().empty(); ++i) {
        jobs[i].file = std::move(files[i]);
        if (!jobs[i].file.error.empty())
            continue; // nothing to convert: the walk's failure is reported
        ResolvedOptions resolved;
        if (fileOptions.resolve(jobs[i].file.path, resolved))
            jobs[i].options = std::move(resolved.options);
    }
    if (!fileOptions.error().empty()) {
        err << "srctdy-cli: " << fileOptions.error() << "\n";
        return 2;
    }
    unsigned threads = options.jobs ? options.jobs : std::thread::hardware_concurrency();
    threads = std::max(1u, std::min<unsigned>(threads, static_cast<unsigned>(jobs.size())));

    FdSink stdoutSink(1);
    std::optional<ProgressLine> progress;
    if (options.progress)
        progress.emplace(err, jobs.size(), progressWidth);
    Reporter reporter(options, err, progress ? &*progress : nullptr);
    size_t done = 0;
    uint64_t bytesDone = 0;
    auto showProgress = [&](size_t next) {
        if (progress)
            progress->update(done, bytesDone, next < jobs.size() ? jobs[next].file.path : "");
    };
    auto finish = [&](Job& job) {
        if (!job.output.empty() && !stdoutSink.write(job.output)) {
            job.prompter.messages.emplace_back(text::kCliWriteError);
            job.outcome = Outcome::Failed;
        }
        job.output.clear();
        job.output.shrink_to_fit();
        reporter.report(job);
        ++done;
        if (progress)
            bytesDone += FileSize(job.file.path);
    };

    if (threads <= 1) {
        FolderChecks folderChecks;
        for (size_t i = 0; i < jobs.size(); ++i) {
            showProgress(i);
            RunJob(options, jobs[i], stdoutSink, folderChecks); // streams to standard output
            finish(jobs[i]);
        }
    } else {
        // Threads take files in order, this one too. Results are written in the files' order,
        // as with one job: whichever thread finishes the earliest file not yet written writes
        // it and every finished file after it. No thread waits for another but at the end: a
        // thread woken for every file costs more than the file.
        std::vector<char> finished(jobs.size(), 0);
        std::mutex mutex;
        size_t written = 0;
        std::atomic<size_t> nextJob{0};
        MadeFolders madeFolders;
        auto work = [&] {
            FolderChecks folderChecks(&madeFolders);
            for (size_t i; (i = nextJob++) < jobs.size();) {
                StringSink sink(jobs[i].output);
                RunJob(options, jobs[i], sink, folderChecks);
                std::lock_guard lock(mutex);
                finished[i] = 1;
                for (; written < jobs.size() && finished[written]; ++written) {
                    finish(jobs[written]);
                    showProgress(written + 1);
                }
            }
        };
        std::vector<std::thread> helpers;
        for (unsigned t = 1; t < threads; ++t)
            helpers.emplace_back(work);
        work();
        for (auto& helper : helpers)
            helper.join();
    }
    reporter.summary();
    err.flush();
    return reporter.status();
}

int RunRenameFromCommandLine(const CliOptions& options, std::ostream& err) {
    return RunRenameCommand(*options.rename, options.paths, options.fileTypes, err);
}

} // namespace srctdy
