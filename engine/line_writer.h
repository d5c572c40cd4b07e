#pragma once

#include "engine/format_options.h"

#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace srctdy {

class TokenGuard;

// Where the converted bytes go. write() returns false on failure (a full disk included).
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual bool write(std::string_view bytes) = 0;
};

// Writes to an open file descriptor, retrying short writes.
class FdSink : public ByteSink {
public:
    explicit FdSink(int fd) : fd_(fd) {}
    bool write(std::string_view bytes) override;

private:
    int fd_;
};

// Appends to a string, for conversions in memory.
class StringSink : public ByteSink {
public:
    explicit StringSink(std::string& out) : out_(out) {}
    bool write(std::string_view bytes) override {
        out_.append(bytes);
        return true;
    }

private:
    std::string& out_;
};

// Passes bytes on to another sink (when there is one) and compares them with a file's bytes
// at the same offset, read with pread so that the file's own read position is untouched. A
// piece at a time: a huge line costs no copy of its size.
class ComparingSink : public ByteSink {
public:
    ComparingSink(ByteSink* inner, int fd, bool compare = true)
        : inner_(inner), fd_(fd), same_(compare) {}
    bool write(std::string_view bytes) override;
    // Whether everything written equals the file, whose size is size.
    bool matched(off_t size) const { return same_ && offset_ == size; }
    // Whether everything written so far equals the file's bytes at the same offsets.
    bool sameSoFar() const { return same_; }

private:
    bool matches(std::string_view bytes);

    ByteSink* inner_;
    int fd_;
    off_t offset_ = 0;
    bool same_;
    std::string buffer_;
};

// Changes a line's text before it is written; a seam for tests that plant a fault.
using LineFault = void (*)(std::string& text);
void SetLineFaultForTesting(LineFault fault);

// Text-mode output: every line is written with a CR LF line end (or LF, or the input's own,
// as lineEnds says). Buffered; the first failure is sticky and reported by ok().
class LineWriter {
public:
    explicit LineWriter(ByteSink& sink, LineEnds lineEnds = LineEnds::CrLf);
    ~LineWriter();
    LineWriter(const LineWriter&) = delete;
    LineWriter& operator=(const LineWriter&) = delete;

    // Writes head, then text, then the line end of a line the program adds: a layout line
    // (a split-off comment) that stands for no text of its own in the input.
    void writeLine(std::string_view head, std::string_view text = {});
    // Writes text the program inserts as content (template, definition comments, a function
    // name): the reference holds it too.
    void writeInsertedLine(std::string_view text);
    // Writes a line made from input line inputLine, whose own line end was inputEnd; reference
    // is that line as read, with the content edits the user asked for.
    void writeInputLine(std::string_view head, std::string_view text, std::string_view inputEnd,
                        std::string_view reference, long inputLine);
    // The same for a line whose head is fill repeated and whose text holds no LF, the most
    // common line by far, when quick() says that no one else sees the lines.
    bool quick() const { return quick_; }
    void writeIndentedLine(std::string_view head, char fill, std::string_view text,
                           std::string_view inputEnd);
    // The token guard that sees every line as it is written, and the text of the input it
    // stands for; null for none.
    void setGuard(TokenGuard* guard) {
        guard_ = guard;
        quick_ = !guard_ && !faultPlanted_;
    }
    // Whether an input line's text may hold a line break (put there by a replacement); when
    // not, writeInputLine does not look for one.
    void setInputBreaksPossible(bool possible) { inputBreaks_ = possible; }
    // Writes bytes as they are, with no line end (the UTF-8 mark at the start of a file).
    void writeBytes(std::string_view bytes) { append({}, bytes, {}); }
    // With LineEnds::Keep: the line end of the input's first line, for added lines ("" when
    // the input has none: CR LF is used).
    void setAddedLineEnd(std::string_view firstInputEnd);
    // Hands everything buffered to the sink; false when any write failed.
    bool flush();
    bool ok() const { return ok_; }

private:
    // Bytes held before they go to the sink, and the room kept past them.
    static constexpr size_t kFlushAt = 128 * 1024;
    static constexpr size_t kSpare = 4096;
    static constexpr size_t kQuickLength = kSpare - 32;

    void append(std::string_view head, std::string_view text, std::string_view end);
    void appendBytes(std::string_view head, std::string_view text, std::string_view end);
    void grow(size_t needed);
    // Counts the length bytes just copied into the buffer, and hands the buffer on when full.
    [[gnu::always_inline]] void added(size_t length) {
        size_ += length;
        if (size_ >= kFlushAt) [[unlikely]]
            flush();
    }

    ByteSink& sink_;
    bool keep_;
    std::string_view addedEnd_;
    std::unique_ptr<char[]> buffer_; // kept per thread from file to file
    size_t size_ = 0;
    size_t capacity_ = 0;
    bool ok_ = true;
    bool inputBreaks_ = true;
    bool faultPlanted_; // a test's fault seam was set when the writer was made
    TokenGuard* guard_ = nullptr;
    bool quick_; // neither a guard nor a fault sees the lines: writeIndentedLine copies them
};

} // namespace srctdy
