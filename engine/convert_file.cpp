#include "engine/convert_file.h"

#include "engine/comment_conversion.h"
#include "engine/encoded_text.h"
#include "engine/encoding_detect.h"
#include "engine/file_checks.h"
#include "engine/lexical_state.h"
#include "engine/line_output.h"
#include "engine/line_reader.h"
#include "engine/line_writer.h"
#include "engine/module_header.h"
#include "engine/temporary_file.h"
#include "engine/token_guard.h"
#include "engine/utf8.h"
#include "platform/prompter.h"
#include "platform/string_table.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <new>
#include <optional>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace srctdy {

namespace {

// Closes a file descriptor when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
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
// fail the file (callers check that it is a plain file), not hang the batch. The flag stays:
// reads of a plain file never block and ignore it.
int OpenForReading(const std::string& path, int flags = 0) {
    return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | flags);
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

// Sub-folder output over the output of an earlier run: the bytes are held, up to a limit,
// while they equal that file's, and the temporary file is made only when they part, pass the
// limit or end short. An output that already holds them is left alone: nothing is created,
// written or renamed in its folder (runs over an unchanged tree, several threads in one
// folder). Past the limit the comparing goes on, so that a large output that holds them is
// left alone too; only its temporary file was made in vain.
class DeferredOutput : public ByteSink {
public:
    DeferredOutput(int existing, const std::string& folder)
        : probe_(nullptr, existing), folder_(folder) {}

    bool write(std::string_view bytes) override {
        if (probe_.sameSoFar())
            probe_.write(bytes);
        if (!output_) {
            if (probe_.sameSoFar() && held_.size() + bytes.size() <= kMostHeld) {
                held_.append(bytes);
                return true;
            }
            if (!open())
                return false;
        }
        return FdSink(output_->fd()).write(bytes);
    }
    // At the end: whether the earlier output, of size bytes, holds exactly what was written.
    bool alreadyThere(off_t size) const { return probe_.matched(size); }
    // Makes the temporary file and writes what is held into it.
    bool open() {
        output_.emplace(folder_, 0666);
        if (!output_->valid()) {
            openFailed_ = true;
            return false;
        }
        const bool ok = FdSink(output_->fd()).write(held_);
        held_.clear();
        held_.shrink_to_fit();
        return ok;
    }
    bool openFailed() const { return openFailed_; }
    std::optional<TemporaryFile>& output() { return output_; }

private:
    static constexpr size_t kMostHeld = 1 << 20;
    ComparingSink probe_; // compares only
    const std::string& folder_;
    std::string held_;
    std::optional<TemporaryFile> output_;
    bool openFailed_ = false;
};

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
                  Prompter& prompter, LexicalTracker& tracker) {
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
        const std::string_view written =
            line.compare(0, 2, ".c") == 0 ? std::string_view(file.nameOnly) : line;
        out.writeInsertedLine(written);
        // The file's first line goes on from wherever the template leaves off.
        tracker.skip(written);
    }
}

// The message for a conversion whose input did not read to its end.
std::string ReadFailure(const LineReader& reader, const std::string& path) {
    return FormatText(reader.lineTooLong() ? text::kLineTooLong : text::kReadError, path);
}

// The "[関数名]" marker in the file's encoding.
std::string_view NameMarkerFor(TextEncoding encoding) {
    return encoding == TextEncoding::Utf8 ? text::kFunctionNameMarker
                                          : std::string_view("\x5B\x8A\xD6\x90\x94\x96\xBC\x5D");
}

thread_local bool shortWayOn = true;

// The line loop of one file: reads lines, sends each through the stages in order, and lets
// the comment and module-header stages hold lines back and hand them on later.
class LineLoop {
public:
    LineLoop(LineReader& in, LineWriter& out, const FormatOptions& options,
             const ConvertSettings& settings, const FileContext& file)
        : in_(in), out_(out), options_(options),
          file_(file), indentation_{settings.indentOn, IndentUnitFor(settings.indentSizeIndex)},
          tracker_(LexOptions{file.encoding, file.cpp || IsCppFileName(file.nameOnly)}),
          comments_(options.commentMode, options.insertFunctionNames, NameMarkerFor(file.encoding)),
          spaceLead_(encoded::FullWidthSpace(file.encoding)[0]),
          // Mode 1 may hold a line, and the module-header stage looks at every line.
          shortWay_(shortWayOn && options.commentMode != 1 && !options.insertFunctionNames &&
                    ShortWayApplies(options, file)) {
        state_.lexOptions = tracker_.options();
    }

    // Reads the first line: its line end is the one added lines get when line ends are kept.
    // A UTF-8 mark stays the first thing of the file, before any template; the line goes
    // through the stages without it.
    bool start() {
        haveLine_ = readNext();
        out_.setAddedLineEnd(haveLine_ ? in_.lineEnd() : "");
        if (haveLine_ && file_.encoding == TextEncoding::Utf8 &&
            state_.rawLine.starts_with(utf8::kByteOrderMark)) {
            out_.writeBytes(utf8::kByteOrderMark);
            state_.rawLine.remove_prefix(utf8::kByteOrderMark.size());
        }
        return haveLine_;
    }
    LexicalTracker& tracker() { return tracker_; }
    int commentsLeft() const { return state_.commentsLeft; }

    void run() {
        while (haveLine_) {
            state_.splitComment.clear();
            state_.splitPending = false;
            state_.commentState = 0;
            const LineLex* analysed = nullptr;
            if (shortWay_ && takeShortWay(analysed)) {
                haveLine_ = readNext();
                continue;
            }
            if (ApplyLineFilters(options_, file_, state_, out_, tracker_, analysed) ==
                LineFate::Drop) {
                haveLine_ = readNext();
                continue;
            }
            const CommentStage::Action action = comments_.process(
                state_, tracker_, options_.insertFunctionNames && moduleHeader_.holding());
            tracker_.accept();
            if (action == CommentStage::Action::Hold) {
                haveLine_ = readNext();
                continue;
            }
            const bool consumedNext =
                action == CommentStage::Action::Pass ? writeCurrent() : writeReleased();
            if (!consumedNext)
                haveLine_ = readNext();
        }
        if (comments_.finish(state_))
            writeReleased();
        moduleHeader_.flush(options_.commentMode, state_, out_);
    }

private:
    // The short way (see ScanLine): a line the filters would only trim and no later stage
    // changes is written from where it was read. False when it needs every stage; the filters
    // then take analysed when the tracker has already looked at the line.
    bool takeShortWay(const LineLex*& analysed) {
        const LineScan scan = ScanLine(state_.rawLine);
        if (state_.inIfBlock ||
            (scan.high && options_.fullWidthToHalfWidth &&
             std::memchr(state_.rawLine.data(), spaceLead_, state_.rawLine.size())))
            return false;
        // A "#" may begin a directive: the filters that look for one need every stage.
        if (scan.hash && (options_.deleteConditionalBlocks ||
                          (options_.insertDefinitionComments && !state_.definitionsInserted)))
            return false;
        const bool plain = !scan.marks && tracker_.atPlainCode();
        LexKind start = LexKind::Code;
        if (!plain) {
            // A comment or a literal: the comment stage must have nothing to do with it.
            if (options_.commentMode == 2 ||
                (options_.commentMode == 3 && state_.rawLine.size() > kLongestUnsplitLine))
                return false;
            // Neither a line that stays in its comment nor one that closes everything it
            // opens needs the analysis: the state after it is the state before it.
            if (tracker_.staysInComment(state_.rawLine)) {
                start = LexKind::BlockComment;
            } else if (scan.high || scan.hash || !tracker_.closesEverything(state_.rawLine)) {
                const LineLex& lex = tracker_.analyse(state_.rawLine);
                analysed = &lex;
                // A CR inside the line ends the compiler's line: trimming must mind it.
                if (!OnlyTrimmed(lex) || lex.holdsCr)
                    return false;
                start = lex.start;
            }
        }
        // The output stage turns a directive's tabs into spaces where they are not part of a
        // literal or a header name. In a line with neither, every tab is turned.
        const bool respace = scan.hash && indentation_.on && directiveWithTab(scan);
        if (respace && (!plain || std::memchr(state_.rawLine.data(), '<', state_.rawLine.size())))
            return false;
        const Braces braces = scan.high && (scan.open || scan.close)
                                  ? FindBraces(file_.encoding, state_.rawLine)
                                  : Braces{scan.open, scan.close};
        std::string_view text;
        if (FilterTrimmedLine(options_, start, scan, state_, text) == LineFate::Drop)
            return true;
        if (analysed) // a line that stays in its comment leaves the state as it was
            tracker_.accept();
        if (respace) {
            respaced_.assign(text);
            std::replace(respaced_.begin(), respaced_.end(), '\t', ' ');
            text = respaced_;
        }
        WriteTrimmedLine(indentation_, state_, out_, text, braces);
        return true;
    }

    // Whether the line, as trimming leaves it, is a directive holding a tab.
    bool directiveWithTab(const LineScan& scan) const {
        const std::string_view raw = state_.rawLine;
        const size_t begin = options_.trimBlanks ? scan.textBegin : 0;
        const size_t end = options_.trimBlanks ? scan.textEnd : raw.size();
        return begin < end && raw[begin] == '#' &&
               std::memchr(raw.data() + begin, '\t', end - begin) != nullptr;
    }

    bool readNext() {
        const bool more = in_.next(state_.rawLine);
        state_.rawLineEnd = in_.lineEnd();
        if (more)
            ++state_.lineNumber;
        return more;
    }

    // The module-header and output stages for the line in state_. Returns true when the
    // module-header stage took the next input line into state_ (haveLine_ says whether there
    // was one): the loop goes on with it instead of reading.
    bool writeCurrent(const std::string_view* followingLine = nullptr) {
        if (options_.insertFunctionNames) {
            const auto action = moduleHeader_.process(options_.commentMode, state_, out_);
            if (action == ModuleHeaderStage::Action::Hold)
                return false;
            if (action == ModuleHeaderStage::Action::BlockClosed) {
                if (followingLine) {
                    // The next line is already on its way: it names the block.
                    moduleHeader_.closeBlock(followingLine, options_.commentMode, state_, out_);
                    return false;
                }
                // The function line names the block, then goes through the pipeline itself.
                haveLine_ = readNext();
                moduleHeader_.closeBlock(haveLine_ ? &state_.rawLine : nullptr,
                                         options_.commentMode, state_, out_);
                return true;
            }
        }
        WriteOutputLine(indentation_, options_.commentMode, state_, out_);
        return false;
    }

    bool writeReleased() {
        std::vector<HeldLine>& lines = comments_.released();
        bool consumedNext = false;
        const long lastRead = state_.lineNumber;
        for (size_t i = 0; i < lines.size(); ++i) {
            HeldLine& held = lines[i];
            state_.rawLine = held.raw;
            state_.rawLineEnd = held.rawEnd;
            state_.line.swap(held.line);
            state_.reference.swap(held.reference);
            state_.referenceEdited = held.referenceEdited;
            state_.lineNumber = held.lineNumber;
            state_.keepLeading = held.keepLeading;
            state_.startKind = held.startKind;
            state_.commentState = held.commentState;
            state_.splitPending = false;
            const bool more = i + 1 < lines.size();
            const std::string_view following = more ? std::string_view(lines[i + 1].raw) : "";
            consumedNext = writeCurrent(more ? &following : nullptr);
        }
        lines.clear();
        if (!consumedNext)
            state_.lineNumber = lastRead; // numbering goes on from the last line read
        return consumedNext;
    }

    LineReader& in_;
    LineWriter& out_;
    const FormatOptions& options_;
    const FileContext& file_;
    const Indentation indentation_;
    ConversionState state_;
    LexicalTracker tracker_;
    CommentStage comments_;
    ModuleHeaderStage moduleHeader_;
    const char spaceLead_;
    const bool shortWay_;
    std::string respaced_; // a directive whose tabs became spaces
    bool haveLine_ = false;
};

} // namespace

void SetShortWayForTesting(bool on) {
    shortWayOn = on;
}

bool ConvertLines(LineReader& in, LineWriter& out, const FormatOptions& options,
                  const ConvertSettings& settings, const FileContext& file, Prompter& prompter,
                  ConvertReport* report) {
    LineLoop loop(in, out, options, settings, file);
    // Lines are read split at LF: only a replacement can put a break into one.
    out.setInputBreaksPossible(options.replaceOrDelete != 0);
    std::optional<TokenGuard> guard;
    if (settings.guard) {
        const LexOptions& lex = loop.tracker().options();
        guard.emplace(GuardOptions{lex.encoding, lex.cpp});
        out.setGuard(&*guard);
    }
    loop.start();
    if (options.insertHeaderTemplate)
        CopyTemplate(options, file, out, prompter, loop.tracker());
    loop.run();
    out.setGuard(nullptr);
    if (report) {
        report->commentsLeft = loop.commentsLeft();
        report->guardFailed = guard && !guard->finish();
        report->partingLine = guard ? guard->partingLine() : 0;
    }
    return !in.failed();
}

std::string ConvertText(std::string_view input, const FormatOptions& options,
                        const ConvertSettings& settings, const FileContext& file,
                        Prompter& prompter, ConvertReport* report) {
    std::string output;
    StringSink sink(output);
    LineReader reader(input);
    {
        LineWriter writer(sink, settings.lineEnds);
        ConvertLines(reader, writer, options, settings, file, prompter, report);
    }
    return output;
}

bool MakeFileContext(std::string_view path, TextEncoding encoding, const FormatOptions& options,
                     FileContext& file, std::string& message) {
    file.nameOnly = NameOnlyFor(path, encoding);
    file.dateText = TodayText();
    file.encoding = encoding;
    std::string unwritable;
    if (TextsFor(options, encoding, file.texts, unwritable))
        return true;
    message = FormatText(text::kTextNotInCp932, unwritable);
    return false;
}

int ConvertBytes(std::string_view input, std::string_view path, std::string& output,
                 const FormatOptions& options, const ConvertSettings& settings, Prompter& prompter,
                 ConvertExtras* extras) {
    const TextEncoding encoding = EncodingFor(input, settings);
    if (extras)
        extras->encoding = encoding;
    FileContext file;
    std::string message;
    if (!MakeFileContext(path, encoding, options, file, message)) {
        prompter.tell(message);
        return kTextsUnwritable;
    }
    ConvertReport report;
    output = ConvertText(input, options, settings, file, prompter, &report);
    if (extras)
        extras->commentsLeft = report.commentsLeft;
    if (report.guardFailed) {
        TellTokensChanged(prompter, path.empty() ? "-" : std::string(path), report.partingLine);
        output.clear();
        return kOutputFailed;
    }
    return kConverted;
}

namespace {

// What a pass over a file returns when the file must be converted again (see ConvertToFile).
constexpr int kConvertAgain = -1;

// While hold is set, holds what a conversion tells until the conversion is known to stand: a
// pass that is done again tells nothing. A question cannot wait: what is held goes first.
class HoldingPrompter : public Prompter {
public:
    HoldingPrompter(Prompter& to, bool hold) : to_(to), hold_(hold) {}
    PromptAnswer ask(std::string_view text, PromptIcon icon, PromptButtons buttons) override {
        if (!hold_ || buttons != PromptButtons::Ok) {
            release();
            return to_.ask(text, icon, buttons);
        }
        held_.emplace_back(text, icon);
        return PromptAnswer::Ok;
    }
    // Tells what is held; from now on everything goes straight through.
    void release() {
        for (const auto& [text, icon] : held_)
            to_.tell(text, icon);
        drop();
    }
    // Forgets what is held; from now on everything goes straight through.
    void drop() {
        held_.clear();
        hold_ = false;
    }

private:
    Prompter& to_;
    bool hold_;
    std::vector<std::pair<std::string, PromptIcon>> held_;
};

// Makes the file's context in encoding, and tells the caller which it is. Tells the user and
// returns the result when the file cannot go on.
int TakeEncoding(const std::string& path, TextEncoding encoding, const FormatOptions& options,
                 Prompter& prompter, FileContext& file, ConvertExtras* extras) {
    if (extras)
        extras->encoding = encoding;
    std::string message;
    if (!MakeFileContext(path, encoding, options, file, message)) {
        prompter.tell(message);
        return kTextsUnwritable;
    }
    return kConverted;
}

// Decides the encoding of an input whose reader has returned no line yet (see EncodingOfFile)
// and makes the file's context. With guess, a larger file's encoding may be the guess from its
// first block (see PassStands). Tells the user and returns the result when the file cannot go
// on.
int PrepareInput(LineReader& reader, const std::string& path, const FormatOptions& options,
                 const ConvertSettings& settings, Prompter& prompter, FileContext& file,
                 ConvertExtras* extras, EncodingGuess* guess = nullptr) {
    TextEncoding encoding;
    if (!EncodingOfFile(reader, settings, encoding, guess)) {
        prompter.tell(FormatText(text::kReadError, path));
        return kOutputFailed;
    }
    if (guess && guess->tentative) {
        std::string unwritable;
        if (MakeFileContext(path, encoding, options, file, unwritable)) {
            if (extras)
                extras->encoding = encoding;
            // The rest of the bytes are looked at as the conversion reads them.
            reader.watch([guess](std::string_view bytes) { guess->detector.feed(bytes); });
            return kConverted;
        }
        // A text the guess cannot hold may fit the encoding the whole file shows: that decides.
        guess->tentative = false;
        if (!DecideFromTheRest(reader, settings, guess->detector, encoding)) {
            prompter.tell(FormatText(text::kReadError, path));
            return kOutputFailed;
        }
    }
    return TakeEncoding(path, encoding, options, prompter, file, extras);
}

// After a pass over a file: whether its output stands. It does unless the file's encoding was
// guessed and the whole file, read through, shows another; then the pass must be done again
// (StartAgain), and what it told goes unsaid. Else what it told is told now.
bool PassStands(EncodingGuess& guess, LineReader& reader, bool readOk, const FileContext& file,
                const ConvertSettings& settings, HoldingPrompter& held) {
    if (!guess.tentative)
        return true;
    guess.tentative = false;
    reader.watch(nullptr);
    if (readOk && guess.detector.result(settings.asciiEncoding) != file.encoding) {
        held.drop();
        return false;
    }
    held.release();
    return true;
}

// Rewinds a file whose whole showed another encoding than its first block, and makes its
// context in that encoding (see ConvertToFile). Returns kConverted when the file can be
// converted again; else tells why and returns the result.
int StartAgain(LineReader& reader, const EncodingDetector& detector, const std::string& path,
               const FormatOptions& options, const ConvertSettings& settings, Prompter& prompter,
               FileContext& file, ConvertExtras* extras) {
    if (!reader.rewind()) {
        prompter.tell(FormatText(text::kReadError, path));
        return kOutputFailed;
    }
    return TakeEncoding(path, detector.result(settings.asciiEncoding), options, prompter, file,
                        extras);
}

} // namespace

void TellTokensChanged(Prompter& prompter, const std::string& path, long partingLine) {
    prompter.tell(
        FormatText(FormatText(text::kTokensWouldChange, path), std::to_string(partingLine)));
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
                  const ConvertSettings& settings, Prompter& prompter, ConvertExtras* extras) {
    Fd input(OpenForReading(path));
    struct stat inputStat;
    if (!input.valid() || ::fstat(input.get(), &inputStat) != 0 || !S_ISREG(inputStat.st_mode)) {
        prompter.tell(text::kInputOpenError);
        return kInputFailed;
    }
    FileContext file;
    LineReader reader(input.get());
    // A file that grows meanwhile is told by the check after the run.
    reader.expectSize(static_cast<uint64_t>(inputStat.st_size));
    EncodingGuess guess;
    if (int result = PrepareInput(reader, path, options, settings, prompter, file, extras, &guess);
        result != kConverted)
        return result;
    HoldingPrompter told(prompter, guess.tentative);
    // The output waits in memory until its tokens have been checked, and until the file is
    // known not to have changed meanwhile: what reaches the sink cannot be taken back.
    std::string output;
    ConvertReport report;
    bool readOk;
    for (;;) {
        StringSink held(output);
        {
            LineWriter writer(held, settings.lineEnds);
            readOk = ConvertLines(reader, writer, options, settings, file, told, &report);
        }
        if (PassStands(guess, reader, readOk, file, settings, told))
            break;
        output.clear();
        report = {};
        if (int result =
                StartAgain(reader, guess.detector, path, options, settings, prompter, file, extras);
            result != kConverted)
            return result;
    }
    if (extras)
        extras->commentsLeft = report.commentsLeft;
    if (!readOk) {
        prompter.tell(ReadFailure(reader, path));
        return kOutputFailed;
    }
    if (!UnchangedSinceOpen(path, inputStat, reader.bytesRead())) {
        prompter.tell(FormatText(text::kChangedWhileConverting, path));
        return kOutputFailed;
    }
    if (report.guardFailed) {
        TellTokensChanged(prompter, path, report.partingLine);
        return kOutputFailed;
    }
    if (!sink.write(output)) {
        prompter.tell(FormatText(text::kWriteError, path));
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
    // A caller without a run of its own gets look-ups for this file alone.
    FolderChecks ownChecks;
    FolderChecks* checks = extras && extras->folderChecks ? extras->folderChecks : &ownChecks;
    std::string resolvedRoot;
    Fd input;
    if (!treeRoot.empty()) {
        resolvedRoot = checks->resolvedRoot(treeRoot);
        // A file opened without following a link lies where its folder does: no look-up of
        // its own. A link is looked up, then opened as it leads.
        input = Fd(OpenForReading(path, O_NOFOLLOW));
        if (checks->leadsOut(path, treeRoot, input.valid())) {
            prompter.tell(FormatText(text::kOutsideFolder, path));
            return kInputFailed;
        }
    }

    std::string outputFolder;
    std::string finalPath;
    bool freshFolder = false; // a sub-folder this run created: no earlier output to look for
    if (overwrite) {
        std::string target = ResolveLinks(path);
        outputFolder = FolderOf(target);
        finalPath = target;
    } else {
        outputFolder = extras && !extras->outputFolder.empty()
                           ? extras->outputFolder
                           : Join(FolderOf(path), settings.subFolderName);
        // The files of one folder share their checks: a run looks them up once.
        const std::string sourceFolder = FolderOf(path);
        std::string key = outputFolder;
        key.append(1, '\0').append(treeRoot).append(1, '\0').append(sourceFolder);
        const bool known = checks->knownSafe(key);
        // A sub-folder that a link leads out of the tree is not even created.
        if (!known && !treeRoot.empty() &&
            !IsWithin(ResolveExistingPart(outputFolder), resolvedRoot)) {
            prompter.tell(FormatText(text::kOutsideFolder, path));
            return kOutputFailed;
        }
        // A folder this run has checked is there: were it removed meanwhile, creating the
        // output tells (below).
        std::error_code ignored; // a failure shows when the output cannot be created
        const bool made = !known && std::filesystem::create_directories(outputFolder, ignored);
        // Output into the file's own folder or above it would replace sources (this one or
        // others) without any of overwrite mode's care.
        char resolved[PATH_MAX];
        if (!known && ::realpath(outputFolder.c_str(), resolved)) {
            if (IsWithin(ResolveExistingPart(sourceFolder), resolved)) {
                prompter.tell(FormatText(text::kSubFolderIsSource, path));
                return kOutputFailed;
            }
            checks->markSafe(key, made);
        }
        finalPath = Join(outputFolder, BaseNameOf(path));
        freshFolder = checks->madeByRun(key);
    }

    if (!input.valid())
        input = Fd(OpenForReading(path));
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

    FileContext file;
    LineReader reader(input.get());
    // A file that grows meanwhile is told by the check after the run.
    reader.expectSize(static_cast<uint64_t>(inputStat.st_size));
    // A larger file's encoding is guessed from its first block rather than read twice; a file
    // that turns out otherwise is converted again.
    EncodingGuess guess;
    if (int result = PrepareInput(reader, path, options, settings, prompter, file, extras, &guess);
        result != kConverted)
        return result;
    HoldingPrompter held(prompter, guess.tentative);

    auto convertAndPlace = [&]() -> int {
        // An earlier sub-folder output, a plain file (a link there is replaced, not followed).
        Fd earlier(overwrite || freshFolder
                       ? -1
                       : ::open(finalPath.c_str(),
                                O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY));
        struct stat earlierStat;
        if (earlier.valid() &&
            (::fstat(earlier.get(), &earlierStat) != 0 || !S_ISREG(earlierStat.st_mode)))
            earlier.reset();
        DeferredOutput deferred(earlier.get(), outputFolder);
        std::optional<TemporaryFile>& output = deferred.output();
        if (!earlier.valid()) {
            output.emplace(outputFolder, overwrite ? 0600 : 0666);
            if (!output->valid() && errno == ENOENT && !overwrite) {
                std::error_code ignored;
                std::filesystem::create_directories(outputFolder, ignored);
                output.emplace(outputFolder, 0666);
            }
            if (!output->valid()) {
                prompter.tell(text::kOutputOpenError);
                return kOutputFailed;
            }
        }

        FdSink fileSink(output ? output->fd() : -1);
        // An overwrite compares with the input, a sub-folder output with the earlier output.
        ComparingSink sink(earlier.valid() ? static_cast<ByteSink*>(&deferred) : &fileSink,
                           input.get(), overwrite);
        bool readOk;
        bool writeOk;
        ConvertReport report;
        {
            LineWriter writer(sink, settings.lineEnds);
            readOk = ConvertLines(reader, writer, options, settings, file, held, &report);
            writeOk = writer.flush();
        }
        if (!PassStands(guess, reader, readOk, file, settings, held))
            return kConvertAgain; // this pass's output goes with its objects
        if (extras)
            extras->commentsLeft = report.commentsLeft;
        // The earlier output holds every byte and no more: it stays as it is.
        const bool leftAlone =
            writeOk && earlier.valid() && deferred.alreadyThere(earlierStat.st_size);
        if (writeOk && !leftAlone && !output)
            writeOk = deferred.open(); // shorter than the earlier output, or empty
        if (deferred.openFailed()) {
            prompter.tell(text::kOutputOpenError);
            return kOutputFailed;
        }
        if (overwrite && writeOk) {
            // The owner first: changing it clears the set-id bits, which the mode then restores.
            if (geteuid() == 0) // keep the owner where we may; failure leaves the file ours
                (void)!::fchown(output->fd(), inputStat.st_uid, inputStat.st_gid);
            writeOk = ::fchmod(output->fd(), inputStat.st_mode & 07777) == 0;
        }
        const bool sync = extras ? extras->sync : kSyncByDefault;
        if (sync && writeOk && output && !leftAlone)
            writeOk = ::fsync(output->fd()) == 0;
        if (output)
            writeOk = output->close() && writeOk;

        if (!readOk || !writeOk) {
            prompter.tell(readOk ? FormatText(text::kWriteError, path) : ReadFailure(reader, path));
            return kOutputFailed; // the temporary file goes with output
        }
        // An edit saved meanwhile (by rename or in place) must not be replaced by the old text.
        if (!UnchangedSinceOpen(path, inputStat, reader.bytesRead())) {
            prompter.tell(FormatText(text::kChangedWhileConverting, path));
            return kOutputFailed;
        }
        if (report.guardFailed) { // the temporary file goes with output
            TellTokensChanged(prompter, path, report.partingLine);
            return kOutputFailed;
        }
        // An overwrite that changes nothing leaves the file alone, timestamps included, so that
        // build tools see no change.
        if (overwrite && sink.matched(inputStat.st_size)) {
            if (extras)
                extras->unchanged = true;
            return kConverted;
        }
        if (leftAlone)
            return kConverted;
        if (!output->placeAs(finalPath)) {
            prompter.tell(FormatText(text::kReplaceError, path));
            return kOutputFailed;
        }
        if (sync)
            SyncFolder(outputFolder);
        return kConverted;
    };
    int result = convertAndPlace();
    if (result == kConvertAgain) {
        result =
            StartAgain(reader, guess.detector, path, options, settings, prompter, file, extras);
        if (result == kConverted)
            result = convertAndPlace();
    }
    return result;
}

} // namespace

int ConvertFileToSink(const std::string& path, ByteSink& sink, const FormatOptions& options,
                      const ConvertSettings& settings, Prompter& prompter, ConvertExtras* extras) {
    return FailOnAllocation(path, prompter, [&] {
        return ConvertToSink(path, sink, options, settings, prompter, extras);
    });
}

int ConvertFile(const std::string& path, bool overwrite, const FormatOptions& options,
                const ConvertSettings& settings, Prompter& prompter, ConvertExtras* extras) {
    return FailOnAllocation(path, prompter, [&] {
        return ConvertToFile(path, overwrite, options, settings, prompter, extras);
    });
}

} // namespace srctdy
