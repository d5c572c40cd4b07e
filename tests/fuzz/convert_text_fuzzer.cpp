// libFuzzer target: arbitrary bytes and an option set through the whole conversion pipeline.
//
// The first bytes choose the options (see DecodeOptions); the rest is the file. Every run
// checks that nothing crashes or trips a sanitizer and that converting the same input again
// gives the same bytes; runs with every condition off also check that only the line ends
// changed.

#include "engine/convert_file.h"
#include "engine/lexical_state.h"
#include "platform/scripted_prompter.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {

using namespace srctdy;

std::string g_templatePath;

// A byte source that gives zeros once the data is used up.
class Bytes {
public:
    Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint8_t next() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::string take(size_t n) {
        n = std::min(n, size_ - pos_);
        std::string s(reinterpret_cast<const char*>(data_ + pos_), n);
        pos_ += n;
        return s;
    }
    std::string_view rest() const {
        return {reinterpret_cast<const char*>(data_ + pos_), size_ - pos_};
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

struct Run {
    FormatOptions options;
    ConvertSettings settings;
    FileContext file;
    bool everythingOff = false;
};

// Header layout:
//   byte 0: bit 0 every condition and indentation off; bits 1-2 line ends (CR LF, LF, kept);
//           bits 3-5 indentation size index; bit 6 indentation on; bit 7 template missing
//   byte 1: one bit per flag: function names, #if blocks, replace, template, definitions,
//           matching lines, collapse empty, delete empty
//   byte 2: bit 0 full width, bit 1 trim, bits 2-3 comment mode, bits 4-5 replacement
//           (from the data, %filename%, %date%, empty), bits 6-7 file name
//   byte 3: lengths of the condition text (low nibble) and the search text (high nibble)
//   byte 4: length of the replacement text (low nibble)
//   then the three texts, then the file.
Run DecodeOptions(Bytes& in) {
    Run run;
    const uint8_t mode = in.next();
    const uint8_t flags = in.next();
    const uint8_t more = in.next();
    const uint8_t lengths = in.next();
    const uint8_t replaceLength = in.next();
    FormatOptions& o = run.options;
    o.conditionText = in.take(lengths & 0x0F);
    o.searchText = in.take(lengths >> 4);
    o.replaceText = in.take(replaceLength & 0x0F);

    static const LineEnds kLineEnds[] = {LineEnds::CrLf, LineEnds::Lf, LineEnds::Keep,
                                         LineEnds::CrLf};
    run.settings.lineEnds = kLineEnds[(mode >> 1) & 3];
    run.everythingOff = mode & 1;
    if (run.everythingOff) {
        o.collapseEmptyLines = o.fullWidthToHalfWidth = o.trimBlanks = 0;
        run.settings.indentOn = false;
    } else {
        run.settings.indentSizeIndex = (mode >> 3) & 7;
        run.settings.indentOn = (mode >> 6) & 1;
        o.templatePath = (mode & 0x80) ? "/nonexistent/srctdy-fuzz-template" : g_templatePath;
        o.insertFunctionNames = flags & 1;
        o.deleteConditionalBlocks = (flags >> 1) & 1;
        o.replaceOrDelete = (flags >> 2) & 1;
        o.insertHeaderTemplate = (flags >> 3) & 1;
        o.insertDefinitionComments = (flags >> 4) & 1;
        o.deleteMatchingLines = (flags >> 5) & 1;
        o.collapseEmptyLines = (flags >> 6) & 1;
        o.deleteEmptyLines = (flags >> 7) & 1;
        o.fullWidthToHalfWidth = more & 1;
        o.trimBlanks = (more >> 1) & 1;
        o.commentMode = (more >> 2) & 3;
        static const char* const kReplacements[] = {nullptr, "%filename%", "%date%", ""};
        if (const char* r = kReplacements[(more >> 4) & 3])
            o.replaceText = r;
    }
    static const char* const kNames[] = {"f.c", "", "\x95\x5c.c", "a b.cpp"};
    run.file = {kNames[more >> 6], "2024-01-02"};
    return run;
}

// The input in text mode with the given line ends: every LF, with the CR right before it,
// is one line end; a lone CR is text; a last line without a line end gets one. A text that
// ends in a CR keeps CR LF where LF is asked for (a compiler would read CR LF as one).
std::string WithLineEnds(std::string_view input, std::string_view end) {
    std::string out;
    size_t start = 0;
    while (start < input.size()) {
        size_t nl = input.find('\n', start);
        size_t stop = nl == std::string_view::npos ? input.size() : nl;
        size_t textEnd = nl != std::string_view::npos && stop > start && input[stop - 1] == '\r'
                             ? stop - 1
                             : stop;
        out.append(input.substr(start, textEnd - start));
        out.append(end == "\n" && textEnd > start && input[textEnd - 1] == '\r' ? "\r\n" : end);
        start = stop + 1;
    }
    return out;
}

[[noreturn]] void Fail(const char* what, std::string_view input, const std::string& expected,
                       const std::string& actual) {
    std::fprintf(stderr, "%s: input %zu bytes, expected %zu bytes, got %zu bytes\n", what,
                 input.size(), expected.size(), actual.size());
    // The texts themselves, escaped, so that a finding can be read without a debugger.
    const auto show = [](const char* label, std::string_view text) {
        std::fprintf(stderr, "%s: \"", label);
        for (unsigned char c : text)
            std::fprintf(stderr, c >= 0x20 && c < 0x7F && c != '"' && c != '\\' ? "%c" : "\\x%02X",
                         c);
        std::fprintf(stderr, "\"\n");
    };
    show("input", input);
    show("got", actual);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A header template with a name line, so that the template path is fuzzed too.
    char path[] = "/tmp/srctdy-fuzz-template-XXXXXX";
    int fd = ::mkstemp(path);
    if (fd < 0)
        std::abort();
    static const char kTemplate[] = "/* title */\r\n.c whatever\n\x81\x40x\nlast";
    if (::write(fd, kTemplate, sizeof kTemplate - 1) != sizeof kTemplate - 1)
        std::abort();
    ::close(fd);
    g_templatePath = path;
    std::atexit([] { ::unlink(g_templatePath.c_str()); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Bytes in(data, size);
    const Run run = DecodeOptions(in);
    const std::string_view input = in.rest();
    RecordingPrompter prompter;
    ConvertReport report;
    const std::string output =
        ConvertText(input, run.options, run.settings, run.file, prompter, &report);
    // The stages change nothing the compiler sees: the token check is only the net. A
    // replacement that brings in or takes away quotes, comment marks, backslashes, (digraph)
    // directive marks, CRs (line ends to the compiler) or NULs (blanks before a splice) edits
    // what the stages before it decided on; there the check alone stands, and refusing is
    // its answer.
    const auto marks = [](std::string_view text) {
        static constexpr std::string_view kMarks("'\"/*\\\n#%<>:\r\0", 13);
        return text.find_first_of(kMarks) != std::string_view::npos;
    };
    // In C++ any replacement may also join an R or a digit to a quote beside it ("R\" (" less
    // its blank opens a raw string, past blanks trimming took): there too.
    const bool lexicalEdit =
        run.options.replaceOrDelete &&
        (marks(run.options.searchText) || marks(run.options.replaceText) ||
         (run.options.replaceText == "%filename%" && marks(run.file.nameOnly)) ||
         IsCppFileName(run.file.nameOnly));
    if (report.guardFailed && !lexicalEdit) {
        std::fprintf(stderr, "they part at input line %ld\n", report.partingLine);
        Fail("the conversion changed the tokens", input, {}, output);
    }
    // Nothing of one conversion may reach the next (the stages keep scratch buffers), and
    // the short way plain lines take writes what every stage would: the second conversion
    // sends every line through every stage.
    RecordingPrompter again;
    SetShortWayForTesting(false);
    const std::string everyStage = ConvertText(input, run.options, run.settings, run.file, again);
    SetShortWayForTesting(true);
    if (everyStage != output)
        Fail("a second conversion, every line through every stage, differs", input, everyStage,
             output);
    // Without the token check the writer copies the short way's lines another way.
    ConvertSettings unchecked = run.settings;
    unchecked.guard = false;
    if (ConvertText(input, run.options, unchecked, run.file, again) != output)
        Fail("a conversion without the token check differs", input, {}, output);

    if (run.everythingOff) {
        std::string expected;
        switch (run.settings.lineEnds) {
        case LineEnds::CrLf:
            expected = WithLineEnds(input, "\r\n");
            break;
        case LineEnds::Lf:
            expected = WithLineEnds(input, "\n");
            break;
        case LineEnds::Keep:
            expected = std::string(input);
            break;
        }
        if (output != expected)
            Fail("with every condition off more than the line ends changed", input, expected,
                 output);
        if (!prompter.calls().empty())
            Fail("a message with every condition off", input, {}, output);
    } else if (run.settings.lineEnds != LineEnds::Keep && !output.empty() &&
               output.back() != '\n') {
        // Whatever the conditions, the output is whole lines.
        Fail("output ends inside a line", input, {}, output);
    }
    return 0;
}
