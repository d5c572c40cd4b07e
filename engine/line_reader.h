#pragma once

#include <bit>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace srctdy {

// The longest line a file may hold: a longer one fails the file rather than the memory.
inline constexpr size_t kMaxLineLength = size_t{64} << 20;

// Text-mode input: lines end at LF, and a CR right before the LF belongs to the line end. A
// line is returned whole up to kMaxLineLength bytes (from a file; a longer one ends the input
// as a failure, see lineTooLong()); a last line without a line end is a line too.
// Reads from a file descriptor in large blocks (the block is kept per thread from file to
// file), or straight from bytes in memory.
class LineReader {
public:
    explicit LineReader(int fd);
    explicit LineReader(std::string_view bytes);
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // Puts the next line, without its line end, into line. False at the end of input or on a
    // read error (see failed()).
    bool next(std::string& line);
    // The same, as a view into the reader's block that stays valid until the next call.
    bool next(std::string_view& line) {
        // Most lines end in the 64 bytes whose line ends were found with the line before.
        if (windowSet_ && pos_ >= window_ && pos_ - window_ < 64) {
            if (const uint64_t rest = newlines_ & (~uint64_t{0} << (pos_ - window_)))
                return takeLine(window_ + static_cast<size_t>(std::countr_zero(rest)), line);
            // Else most often in the 64 bytes that follow.
            if (nextWindow())
                return takeLine(window_ + static_cast<size_t>(std::countr_zero(newlines_)), line);
        }
        return nextBeyondWindow(line);
    }
    // For a reader on a file descriptor that has not returned a line yet: reads on until the
    // end of the input or until its block is full, and returns every byte read from the start.
    // whole tells whether that is the whole input (then it stays in the block for next(): a
    // small file is read once). False on a read error.
    bool readAhead(std::string_view& bytes, bool& whole);
    // Starts again from the start of the file, forgetting what was read. False when the
    // descriptor cannot be rewound.
    bool rewind();
    // The file descriptor read from (-1 for bytes in memory).
    int fd() const { return fd_; }
    bool failed() const { return failed_; }
    // Whether the input ended because a line was longer than kMaxLineLength (failed() too).
    bool lineTooLong() const { return tooLong_; }
    // Bytes read from the file descriptor so far.
    uint64_t bytesRead() const { return bytesRead_; }
    // The size the input had when it was opened (0: unknown). Once that many bytes are read,
    // the input ends without a read that returns nothing; the caller checks afterwards that
    // the file did not grow.
    void expectSize(uint64_t size) { expected_ = size; }
    // Shows watcher every piece of the input read from now on (none: no watcher).
    void watch(std::function<void(std::string_view)> watcher) { watcher_ = std::move(watcher); }
    // The line end of the line next() returned last: "\r\n", "\n", or "" for a last line
    // without one. The view stays valid for the program's lifetime.
    std::string_view lineEnd() const { return lineEnd_; }

private:
    // Returns the line from pos_ to the LF at end (a CR before it belongs to the line end) and
    // moves past it; a line too long for a file ends the input instead.
    bool takeLine(size_t end, std::string_view& line) {
        size_t length = end - pos_;
        lineEnd_ = "\n";
        if (length > 0 && data_[end - 1] == '\r') {
            --length;
            lineEnd_ = "\r\n";
        }
        if (length > kMaxLineLength && fd_ >= 0)
            return tooLong();
        line = std::string_view(data_ + pos_, length);
        pos_ = end + 1;
        return true;
    }
#if defined(__SSE2__)
    // One bit for each LF among the 64 bytes at p.
    [[gnu::always_inline]] static uint64_t NewlineBits(const char* p) {
        const __m128i lf = _mm_set1_epi8('\n');
        uint64_t bits = 0;
        for (int k = 0; k < 4; ++k) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
            bits |= static_cast<uint64_t>(
                        static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lf))))
                    << (16 * k);
        }
        return bits;
    }
#endif
    // Moves the window to the 64 bytes after it, when they were read; false when they were
    // not or hold no line end.
    bool nextWindow() {
#if defined(__SSE2__)
        const size_t from = window_ + 64;
        if (from + 64 > size_)
            return false;
        window_ = from;
        newlines_ = NewlineBits(data_ + from);
        return newlines_ != 0;
#else
        return false;
#endif
    }
    // next() where the window holds no line end: searches on, reading more when it must.
    bool nextBeyondWindow(std::string_view& line);
    bool fill();
    bool readMore(); // one read into the block's free part; false at the end or on an error
    bool tooLong();  // marks the input as ended by a line that is too long
    // The offset of the first LF at from or after, or npos.
    size_t findNewline(size_t from);

    struct Free {
        void operator()(char* p) const;
    };

    int fd_ = -1;
    std::unique_ptr<char, Free> owned_; // the block for fd input (malloc: it grows by realloc)
    size_t capacity_ = 0;
    const char* data_ = nullptr; // owned_ or the caller's bytes
    size_t pos_ = 0;             // next unread byte
    size_t size_ = 0;            // bytes in data_
    bool eof_ = false;
    bool failed_ = false;
    bool tooLong_ = false;
    uint64_t bytesRead_ = 0;
    uint64_t expected_ = 0;
    std::function<void(std::string_view)> watcher_;
    std::string_view lineEnd_;
    // The LFs of the 64 bytes from window_ on, one bit each, found in one pass: most lines are
    // shorter, and the next ones are then found without another search.
    size_t window_ = 0;
    uint64_t newlines_ = 0;
    bool windowSet_ = false;
};

} // namespace srctdy
