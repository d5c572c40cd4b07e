#include "engine/line_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <unistd.h>
#include <utility>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace srctdy {

namespace {

constexpr size_t kReadSize = 256 * 1024;

// One spare block per thread: allocating and freeing a large block for every file makes the
// allocator hand memory back and fault it in again, which costs more than small files take.
struct SpareBlock {
    char* block = nullptr;
    size_t capacity = 0;
    ~SpareBlock() { std::free(block); }
};
thread_local SpareBlock spare;

char* Allocate(char* old, size_t size) {
    char* block = static_cast<char*>(std::realloc(old, size));
    if (!block)
        throw std::bad_alloc(); // caught per file by the driver; old is still owned
    return block;
}

} // namespace

void LineReader::Free::operator()(char* p) const {
    std::free(p);
}

LineReader::LineReader(int fd) : fd_(fd) {
    if (spare.block) {
        owned_.reset(std::exchange(spare.block, nullptr));
        capacity_ = spare.capacity;
    } else {
        owned_.reset(Allocate(nullptr, kReadSize));
        capacity_ = kReadSize;
    }
    data_ = owned_.get();
}

LineReader::LineReader(std::string_view bytes)
    : data_(bytes.data()), size_(bytes.size()), eof_(true) {}

LineReader::~LineReader() {
    // Blocks grown for one very long line are not kept.
    if (owned_ && capacity_ <= 4 * kReadSize && !spare.block) {
        spare.block = owned_.release();
        spare.capacity = capacity_;
    }
}

bool LineReader::tooLong() {
    eof_ = failed_ = tooLong_ = true;
    windowSet_ = false; // no line is returned after this
    return false;
}

bool LineReader::fill() {
    // Keep the unread tail at the front; the block grows only while one line is longer.
    size_t tail = size_ - pos_;
    if (tail > kMaxLineLength + 1) // no line end in it: the line is too long (a CR may end it)
        return tooLong();
    if (pos_ > 0)
        std::memmove(owned_.get(), owned_.get() + pos_, tail);
    if (capacity_ - tail < kReadSize) {
        // Grow by half, in place where the allocator can: the block stays within 1.5 times
        // the longest line plus a read, and a large block is remapped rather than copied.
        size_t bigger = std::max(capacity_ + capacity_ / 2, tail + kReadSize);
        owned_.reset(Allocate(owned_.release(), bigger));
        capacity_ = bigger;
    }
    data_ = owned_.get();
    pos_ = 0;
    size_ = tail;
    windowSet_ = false; // the bytes moved
    return readMore();
}

bool LineReader::readMore() {
    ssize_t n;
    do {
        n = ::read(fd_, owned_.get() + size_, capacity_ - size_);
    } while (n < 0 && errno == EINTR);
    if (n <= 0) {
        eof_ = true;
        failed_ = n < 0;
        return false;
    }
    if (watcher_)
        watcher_(std::string_view(owned_.get() + size_, static_cast<size_t>(n)));
    size_ += static_cast<size_t>(n);
    bytesRead_ += static_cast<uint64_t>(n);
    eof_ = bytesRead_ == expected_;
    return true;
}

bool LineReader::readAhead(std::string_view& bytes, bool& whole) {
    while (!eof_ && size_ < capacity_ && readMore()) {
    }
    bytes = std::string_view(data_, size_);
    whole = eof_;
    return !failed_;
}

bool LineReader::rewind() {
    if (::lseek(fd_, 0, SEEK_SET) != 0)
        return false;
    pos_ = size_ = 0;
    eof_ = failed_ = tooLong_ = false;
    bytesRead_ = 0;
    windowSet_ = false;
    return true;
}

bool LineReader::next(std::string& line) {
    std::string_view view;
    if (!next(view))
        return false;
    line.assign(view);
    return true;
}

size_t LineReader::findNewline(size_t from) {
#if defined(__SSE2__)
    if (windowSet_ && from >= window_ && from - window_ < 64) {
        const uint64_t rest = newlines_ & (~uint64_t{0} << (from - window_));
        if (rest)
            return window_ + static_cast<size_t>(__builtin_ctzll(rest));
        from = window_ + 64;
    }
    // Windows lie wholly within the bytes read: nothing past them is touched.
    for (; from + 64 <= size_; from += 64) {
        if (const uint64_t bits = NewlineBits(data_ + from)) {
            window_ = from;
            newlines_ = bits;
            windowSet_ = true;
            return from + static_cast<size_t>(__builtin_ctzll(bits));
        }
    }
#endif
    if (from >= size_)
        return std::string_view::npos;
    const void* nl = std::memchr(data_ + from, '\n', size_ - from);
    return nl ? static_cast<size_t>(static_cast<const char*>(nl) - data_) : std::string_view::npos;
}

bool LineReader::nextBeyondWindow(std::string_view& line) {
    if (tooLong_)
        return false;
    size_t searchFrom = pos_;
    for (;;) {
        const size_t end = findNewline(searchFrom);
        if (end != std::string_view::npos)
            return takeLine(end, line);
        size_t tail = size_ - pos_;
        if (eof_ || !fill()) {
            if (pos_ >= size_ || tooLong_)
                return false;
            if (size_ - pos_ > kMaxLineLength && fd_ >= 0)
                return tooLong();
            line = std::string_view(data_ + pos_, size_ - pos_); // last line, no line end
            pos_ = size_;
            lineEnd_ = "";
            return true;
        }
        searchFrom = tail; // fill() moved the unread tail to the front; it holds no LF
    }
}

} // namespace srctdy
