#include "engine/convert_file.h"

#include "engine/comment_conversion.h"
#include "engine/cp932.h"
#include "engine/file_checks.h"
#include "engine/line_output.h"
#include "engine/line_reader.h"
#include "engine/line_writer.h"
#include "engine/module_header.h"
#include "engine/temporary_file.h"
#include "platform/prompter.h"
#include "platform/string_table.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <new>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace srctdy {

namespace {

// Closes a file descriptor when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes now; false when close reported an error (a delayed write error included).
    bool reset() {
        int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int fd_;
};

// Opens a file for reading without blocking: a pipe or device in a source file's place must
// fail the file (callers check that it is a plain file), not hang the batch.
int OpenForReading(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd >= 0)
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Join(const std::string& folder, const std::string& name) {
    return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

// The file a path finally names: symbolic links are followed so that an overwrite replaces
// the target and leaves the link a link.
std::string ResolveLinks(const std::string& path) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved))
        return resolved;
    return path;
}

// Flushes a folder's entries to disk, so that a rename in it survives a power loss.
void SyncFolder(const std::string& folder) {
    Fd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.valid())
        ::fsync(fd.get());
}

// A template is a small text: anything else (a device, a pipe, a huge file) counts as missing
// rather than being read without end.
constexpr size_t kMaxTemplateSize = 1 << 20;

void CopyTemplate(const FormatOptions& options, const FileContext& file, LineWriter& out,
                  Prompter& prompter) {
    Fd fd(OpenForReading(options.templatePath));
    struct stat st;
    std::string bytes;
    bool ok = fd.valid() && ::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode) &&
              static_cast<uint64_t>(st.st_size) <= kMaxTemplateSize;
    while (ok && bytes.size() <= kMaxTemplateSize) { // the file may grow meanwhile
        char buffer[16384];
        ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        bytes.append(buffer, static_cast<size_t>(n));
    }
    if (!ok || bytes.size() > kMaxTemplateSize) {
        prompter.tell(text::kTemplateMissing);
        return;
    }
    LineReader reader(bytes);
    std::string line;
    while (reader.next(line)) {
        if (line.compare(0, 2, ".c") == 0)
            out.writeLine(file.nameOnly);
        else
            out.writeLine(line);
    }
}

// The message for a conversion whose input did not read to its end.
std::string ReadFailure(const LineReader& reader, const std::string& path) {
    return FormatText(reader.lineTooLong() ? text::kLineTooLong : text::kReadError, path);
}

} // namespace

bool ConvertLines(LineReader& in, LineWriter& out, const FormatOptions& options,
                  const ConvertSettings& settings, const FileContext& file, Prompter& prompter) {
    const Indentation indentation{settings.indentOn, IndentUnitFor(settings.indentSizeIndex)};
    ConversionState state;
    ModuleHeaderStage moduleHeader;
    std::string_view next;

    // The first line is read before the template is copied: its line end is the one that
    // added lines get when line ends are kept.
    bool haveLine = in.next(state.rawLine);
    state.rawLineEnd = in.lineEnd();
    out.setAddedLineEnd(haveLine ? in.lineEnd() : "");
    if (options.insertHeaderTemplate)
        CopyTemplate(options, file, out, prompter);

    auto readNext = [&] {
        bool more = in.next(state.rawLine);
        state.rawLineEnd = in.lineEnd();
        return more;
    };
    while (haveLine) {
        state.splitComment.clear();
        state.splitPending = false;
        if (ApplyLineFilters(options, file, state, out) == LineFate::Drop) {
            haveLine = readNext();
            continue;
        }
        ConvertComments(options.commentMode, state);
        if (options.insertFunctionNames) {
            auto action = moduleHeader.process(options.commentMode, state, out);
            if (action == ModuleHeaderStage::Action::Hold) {
                haveLine = readNext();
                continue;
            }
            if (action == ModuleHeaderStage::Action::BlockClosed) {
                // The function line names the block, then goes through the pipeline itself.
                haveLine = in.next(next);
                moduleHeader.closeBlock(haveLine ? &next : nullptr, options.commentMode, state,
                                        out);
                state.rawLine = next;
                state.rawLineEnd = in.lineEnd();
                continue;
            }
        }
        WriteOutputLine(indentation, options.commentMode, state, out);
        haveLine = readNext();
    }
    moduleHeader.flush(options.commentMode, state, out);
    return !in.failed();
}

std::string ConvertText(std::string_view input, const FormatOptions& options,
                        const ConvertSettings& settings, const FileContext& file,
                        Prompter& prompter) {
    std::string output;
    StringSink sink(output);
    LineReader reader(input);
    {
        LineWriter writer(sink, settings.lineEnds);
        ConvertLines(reader, writer, options, settings, file, prompter);
    }
    return output;
}

std::string NameOnlyFor(std::string_view path) {
    size_t slash = path.find_last_of('/');
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    return cp932::FromUtf8(name).value_or(std::string(name));
}

namespace {

// Runs a conversion, turning an allocation failure (a huge file) into a failure of the file:
// the batch goes on, and the temporary file goes with the unwinding.
template <typename Body>
int FailOnAllocation(const std::string& path, Prompter& prompter, Body body) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    prompter.tell(FormatText(text::kOutOfMemory, path));
    return kOutputFailed;
}

int ConvertToSink(const std::string& path, ByteSink& sink, const FormatOptions& options,
                  const ConvertSettings& settings, Prompter& prompter) {
    Fd input(OpenForReading(path));
    struct stat inputStat;
    if (!input.valid() || ::fstat(input.get(), &inputStat) != 0 || !S_ISREG(inputStat.st_mode)) {
        prompter.tell(text::kInputOpenError);
        return kInputFailed;
    }
    const FileContext file{NameOnlyFor(path), TodayText()};
    LineReader reader(input.get());
    LineWriter writer(sink, settings.lineEnds);
    bool readOk = ConvertLines(reader, writer, options, settings, file, prompter);
    bool writeOk = writer.flush();
    if (!readOk || !writeOk) {
        prompter.tell(readOk ? FormatText(text::kWriteError, path) : ReadFailure(reader, path));
        return kOutputFailed;
    }
    // What was written cannot be taken back, but a file that changed meanwhile still fails.
    if (!UnchangedSinceOpen(path, input.get(), inputStat, reader.bytesRead())) {
        prompter.tell(FormatText(text::kChangedWhileConverting, path));
        return kOutputFailed;
    }
    return kConverted;
}

int ConvertToFile(const std::string& path, bool overwrite, const FormatOptions& options,
                  const ConvertSettings& settings, Prompter& prompter, ConvertExtras* extras) {
    if (extras)
        extras->unchanged = false;
    if (!overwrite && settings.subFolderName.empty()) {
        prompter.tell(text::kEmptySubFolderName);
        return kOutputFailed;
    }
    const std::string treeRoot = extras ? extras->treeRoot : std::string();
    if (!treeRoot.empty() && LeadsOutOf(path, treeRoot)) {
        prompter.tell(FormatText(text::kOutsideFolder, path));
        return kInputFailed;
    }

    std::string outputFolder;
    std::string finalPath;
    if (overwrite) {
        std::string target = ResolveLinks(path);
        outputFolder = FolderOf(target);
        finalPath = target;
    } else {
        outputFolder = extras && !extras->outputFolder.empty()
                           ? extras->outputFolder
                           : Join(FolderOf(path), settings.subFolderName);
        // A sub-folder that a link leads out of the tree is not even created.
        if (!treeRoot.empty() &&
            !IsWithin(ResolveExistingPart(outputFolder), ResolveExistingPart(treeRoot))) {
            prompter.tell(FormatText(text::kOutsideFolder, path));
            return kOutputFailed;
        }
        std::error_code ignored; // a failure shows when the output cannot be created
        std::filesystem::create_directories(outputFolder, ignored);
        // Output into the file's own folder or above it would replace sources (this one or
        // others) without any of overwrite mode's care.
        char resolved[PATH_MAX];
        if (::realpath(outputFolder.c_str(), resolved) &&
            IsWithin(ResolveExistingPart(FolderOf(path)), resolved)) {
            prompter.tell(FormatText(text::kSubFolderIsSource, path));
            return kOutputFailed;
        }
        finalPath = Join(outputFolder, BaseNameOf(path));
    }

    Fd input(OpenForReading(path));
    struct stat inputStat;
    if (!input.valid() || ::fstat(input.get(), &inputStat) != 0 || !S_ISREG(inputStat.st_mode)) {
        prompter.tell(text::kInputOpenError);
        return kInputFailed;
    }
    // The original could not replace a read-only file either; refuse it whoever runs us, and
    // refuse a file this user may not write, though the folder would let us replace it.
    if (overwrite && ((inputStat.st_mode & 0222) == 0 ||
                      ::faccessat(AT_FDCWD, finalPath.c_str(), W_OK, AT_EACCESS) != 0)) {
        prompter.tell(FormatText(text::kReadOnlyInput, path));
        return kOutputFailed;
    }

    TemporaryFile output(outputFolder, overwrite ? 0600 : 0666);
    if (!output.valid()) {
        prompter.tell(text::kOutputOpenError);
        return kOutputFailed;
    }

    const FileContext file{NameOnlyFor(path), TodayText()};
    FdSink fileSink(output.fd());
    // Only an overwrite can find the file unchanged; sub-folder output is always written.
    ComparingSink sink(&fileSink, input.get(), overwrite);
    LineReader reader(input.get());
    bool readOk;
    bool writeOk;
    {
        LineWriter writer(sink, settings.lineEnds);
        readOk = ConvertLines(reader, writer, options, settings, file, prompter);
        writeOk = writer.flush();
    }
    if (overwrite && writeOk) {
        // The owner first: changing it clears the set-id bits, which the mode then restores.
        if (geteuid() == 0) // keep the owner where we may; failure leaves the file ours
            (void)!::fchown(output.fd(), inputStat.st_uid, inputStat.st_gid);
        writeOk = ::fchmod(output.fd(), inputStat.st_mode & 07777) == 0;
    }
    const bool sync = extras ? extras->sync : kSyncByDefault;
    if (sync && writeOk)
        writeOk = ::fsync(output.fd()) == 0;
    writeOk = output.close() && writeOk;

    if (!readOk || !writeOk) {
        prompter.tell(readOk ? FormatText(text::kWriteError, path) : ReadFailure(reader, path));
        return kOutputFailed; // the temporary file goes with output
    }
    // An edit saved meanwhile (by rename or in place) must not be replaced by the old text.
    if (!UnchangedSinceOpen(path, input.get(), inputStat, reader.bytesRead())) {
        prompter.tell(FormatText(text::kChangedWhileConverting, path));
        return kOutputFailed;
    }
    // An overwrite that changes nothing leaves the file alone, timestamps included, so that
    // build tools see no change.
    if (overwrite && sink.matched(inputStat.st_size)) {
        if (extras)
            extras->unchanged = true;
        return kConverted;
    }
    if (!output.placeAs(finalPath)) {
        prompter.tell(FormatText(text::kReplaceError, path));
        return kOutputFailed;
    }
    if (sync)
        SyncFolder(outputFolder);
    return kConverted;
}

} // namespace

int ConvertFileToSink(const std::string& path, ByteSink& sink, const FormatOptions& options,
                      const ConvertSettings& settings, Prompter& prompter) {
    return FailOnAllocation(path, prompter,
                            [&] { return ConvertToSink(path, sink, options, settings, prompter); });
}

int ConvertFile(const std::string& path, bool overwrite, const FormatOptions& options,
                const ConvertSettings& settings, Prompter& prompter, ConvertExtras* extras) {
    return FailOnAllocation(path, prompter, [&] {
        return ConvertToFile(path, overwrite, options, settings, prompter, extras);
    });
}

} // namespace srctdy
